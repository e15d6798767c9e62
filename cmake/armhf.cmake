# 32-bit ARM target (ARMv7, hard-float: Debian's armhf baseline), built on an
# x86_64 host with Debian's cross compiler against Debian's armhf packages and
# run under user-mode qemu.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc-12)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++-12)
set(_velk_multiarch arm-linux-gnueabihf)
set(_velk_qemu qemu-arm)
set(_velk_vm armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian_target.cmake)
