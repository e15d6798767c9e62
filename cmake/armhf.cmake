# 32-bit ARM target (ARMv7, hard-float: Debian's armhf baseline), built on an
# x86_64 host with Debian's cross compiler against Debian's armhf packages and
# run under user-mode qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc-12)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++-12)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# The JNI headers are the same for every target; the JDK on the host serves them.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The VM that runs the Java tests for this target: the armhf VM under qemu, as
# the scripts start it.
set(VELK_TEST_JAVA ${CMAKE_CURRENT_LIST_DIR}/../scripts/java-emulated.sh armhf CACHE STRING "")
