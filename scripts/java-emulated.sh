#!/usr/bin/env bash
# A VM of another architecture, run under user-mode qemu: the one command by
# which the tests and scripts start it.
#   scripts/java-emulated.sh i386|aarch64|armhf [VM arguments...]
# Debian's JVM for that architecture, or the one in VELK_<TARGET>_JAVA_HOME.
# -Xint: the interpreter alone is faster for short runs, and under qemu the
# i386 JIT compilers now and then crash before any of our code runs.
# FORK: a child process would otherwise start through the VM's own
# jspawnhelper, a foreign binary that this kernel runs only with binfmt_misc
# (and not at all for 32-bit x86 here).
set -u
case ${1:-} in
i386) qemu=qemu-i386 home=${VELK_I386_JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-i386} ;;
aarch64) qemu=qemu-aarch64 home=${VELK_AARCH64_JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-arm64} ;;
armhf) qemu=qemu-arm home=${VELK_ARMHF_JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-armhf} ;;
*)
  echo "usage: $0 i386|aarch64|armhf [VM arguments...]" >&2
  exit 2
  ;;
esac
shift
exec "$qemu" -L / "$home/bin/java" -Xint -Djdk.lang.Process.launchMechanism=FORK "$@"
