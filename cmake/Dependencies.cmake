# External libraries, each behind one target so that test builds can link a
# stand-in in its place.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCSCLITE REQUIRED IMPORTED_TARGET libpcsclite)
pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)

# Header-only view of PC/SC: the bridge's sources compile against it and the
# final library adds the real client library or a stand-in.
add_library(velk_pcsc_headers INTERFACE)
target_include_directories(velk_pcsc_headers INTERFACE ${PCSCLITE_INCLUDE_DIRS})

add_library(velk_hidapi_headers INTERFACE)
target_include_directories(velk_hidapi_headers INTERFACE ${HIDAPI_INCLUDE_DIRS})

add_library(velk::pcsclite ALIAS PkgConfig::PCSCLITE)
add_library(velk::hidapi ALIAS PkgConfig::HIDAPI)

# The JDK: JAVA_HOME's when set, else the one whose javac is on PATH (CMake's
# own search would look in a fixed list of places first).
if(NOT JAVA_HOME AND "$ENV{JAVA_HOME}" STREQUAL "")
  find_program(VELK_JAVAC javac NO_CACHE)
  if(VELK_JAVAC)
    file(REAL_PATH "${VELK_JAVAC}" javac)
    cmake_path(GET javac PARENT_PATH bin)
    cmake_path(GET bin PARENT_PATH JAVA_HOME)
  endif()
endif()

# Only the JNI headers are needed: the libraries never link the VM.
find_package(JNI REQUIRED COMPONENTS JVM)
add_library(velk_jni_headers INTERFACE)
target_include_directories(velk_jni_headers INTERFACE ${JNI_INCLUDE_DIRS})

find_package(Java 17 REQUIRED COMPONENTS Development Runtime)
include(UseJava)
