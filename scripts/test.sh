#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: x86_64, the
# 32-bit target under qemu, the sanitizer build and a bounded fuzzing run.
# Usage: scripts/test.sh [preset...]   (default: default i386 asan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
export JAVA_HOME=/usr/lib/jvm/java-17-openjdk-amd64

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(default i386 asan fuzz)

for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure and build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}" -j2
done

# The distribution jar needs both widths; check it as a user gets it.
if [[ " ${presets[*]} " == *" default "* && " ${presets[*]} " == *" i386 "* ]]; then
  echo "=== distribution jar: package and test"
  jar=$(scripts/package.sh | tail -n 1)
  tests/jar/run.sh "${jar}"
fi
