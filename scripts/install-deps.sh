#!/usr/bin/env bash
# Installs everything the build, the demo and the tests need from Debian's
# archive. Safe to run again: it only installs what is missing.
set -euo pipefail

need_i386=1
[ "${1:-}" = "--native-only" ] && need_i386=0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: must run as root (apt-get)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive

native=(cmake g++ make pkg-config binutils clang-format clang libclang-rt-14-dev
  openjdk-17-jdk-headless junit5 libgtest-dev
  pcscd libpcsclite-dev vsmartcard-vpcd libhidapi-dev
  util-linux procps)
i386=(gcc-multilib g++-multilib qemu-user
  libpcsclite-dev:i386 libhidapi-dev:i386 libgtest-dev:i386
  openjdk-17-jre-headless:i386)

missing=()
is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed'
}
for p in "${native[@]}"; do is_installed "$p" || missing+=("$p"); done
if [ "$need_i386" = 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=0
  fi
  for p in "${i386[@]}"; do is_installed "$p" || missing+=("$p"); done
fi

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
apt-get update -qq
# --no-install-recommends keeps i386 python3 (pulled in by recommends) out.
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
