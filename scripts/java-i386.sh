#!/usr/bin/env bash
# The 32-bit x86 VM, run under user-mode qemu: the one command by which the
# tests and scripts start it. Under qemu its JIT compilers now and then crash
# before any of our code runs; the interpreter alone is reliable.
exec qemu-i386 -L / "${VELK_I386_JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-i386}/bin/java" -Xint "$@"
