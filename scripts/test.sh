#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: x86_64, the
# 32-bit x86 and both ARM targets under qemu, the sanitizer build and a
# bounded fuzzing run; with all four targets, also the distribution: packaged
# twice, byte for byte the same, the jar checked as a user gets it on each
# target's VM, and on every Java from 8 to 25 in Debian userlands old and new.
# Usage: scripts/test.sh [preset...]   (default: default i386 aarch64 armhf asan fuzz)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELK_ROOT"

./scripts/install-deps.sh
velk_java_home

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(default i386 aarch64 armhf asan fuzz)

for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure and build"
  start=$SECONDS
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  built=$((SECONDS - start))
  echo "=== ${preset}: test"
  ctest --preset "${preset}" -j2
  echo "=== ${preset}: built in ${built} s, tested in $((SECONDS - start - built)) s"
done

# The distribution jar carries every target; check it as a user gets it.
all_targets=1
for target in default i386 aarch64 armhf; do
  [[ " ${presets[*]} " == *" ${target} "* ]] || all_targets=0
done
if [ "${all_targets}" = 1 ]; then
  echo "=== distribution: package, package again, test the jar"
  start=$SECONDS
  jar=$(scripts/package.sh | tail -n 1)
  tests/jar/reproducible.sh "$(dirname "${jar}")"
  tests/jar/run.sh "${jar}"
  echo "=== distribution: $((SECONDS - start)) s"
  start=$SECONDS
  echo "=== userlands: the jar on JDK 8, 11, 17, 21 and 25 in Debian 11, 12, 13 and unstable"
  tests/matrix/matrix.sh "${jar}" build/default
  echo "=== userlands: $((SECONDS - start)) s"
fi
