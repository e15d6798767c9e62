# 64-bit ARM target, built on an x86_64 host with Debian's cross compiler
# against Debian's arm64 packages and run under user-mode qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc-12)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++-12)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# The JNI headers are the same for every target; the JDK on the host serves them.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The VM that runs the Java tests for this target: the arm64 VM under qemu, as
# the scripts start it.
set(VELK_TEST_JAVA ${CMAKE_CURRENT_LIST_DIR}/../scripts/java-emulated.sh aarch64 CACHE STRING "")
