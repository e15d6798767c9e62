# 32-bit x86 target, built on an x86_64 host against Debian's i386 packages
# and run under user-mode qemu.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(_velk_multiarch i386-linux-gnu)
set(_velk_qemu qemu-i386)
set(_velk_vm i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian_target.cmake)
