#!/usr/bin/env bash
# The 32-bit x86 VM under qemu (scripts/java-emulated.sh).
exec "$(dirname "${BASH_SOURCE[0]}")/java-emulated.sh" i386 "$@"
