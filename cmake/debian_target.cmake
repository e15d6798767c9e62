# What every foreign target shares, included by its toolchain file after it
# set its compilers: Debian's multiarch packages of the architecture
# _velk_multiarch, tests under user-mode qemu (_velk_qemu) and that
# architecture's VM, as scripts/java-emulated.sh _velk_vm starts it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_LIBRARY_ARCHITECTURE ${_velk_multiarch})
set(CMAKE_CROSSCOMPILING_EMULATOR ${_velk_qemu} -L /)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${_velk_multiarch}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# The JNI headers are the same for every target; the JDK on the host serves them.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(VELK_TEST_JAVA ${CMAKE_CURRENT_LIST_DIR}/../scripts/java-emulated.sh ${_velk_vm}
    CACHE STRING "")
