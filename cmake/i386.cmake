# 32-bit x86 target, built on an x86_64 host against Debian's i386 packages
# and run under user-mode qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# The JNI headers are the same for both widths; the JDK on the host serves them.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The VM that runs the Java tests for this target: the i386 VM under qemu, as
# the scripts start it.
set(VELK_TEST_JAVA ${CMAKE_CURRENT_LIST_DIR}/../scripts/java-emulated.sh i386 CACHE STRING "")
