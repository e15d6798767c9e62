# 64-bit ARM target, built on an x86_64 host with Debian's cross compiler
# against Debian's arm64 packages and run under user-mode qemu.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc-12)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++-12)
set(_velk_multiarch aarch64-linux-gnu)
set(_velk_qemu qemu-aarch64)
set(_velk_vm aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian_target.cmake)
