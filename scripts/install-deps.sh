#!/usr/bin/env bash
# Installs everything the build, the demo and the tests need from Debian's
# archive: the host's tools and, unless --native-only, the other targets'
# (32-bit x86, aarch64, armhf: compilers, libraries and VMs, run under qemu).
# Safe to run again: it only installs what is missing.
set -euo pipefail

foreign=1
[ "${1:-}" = "--native-only" ] && foreign=0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: must run as root (apt-get)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive

native=(cmake g++ make pkg-config binutils clang-format clang libclang-rt-14-dev
  openjdk-17-jdk-headless openjdk-17-source junit5 libgtest-dev
  pcscd libpcsclite-dev vsmartcard-vpcd libhidapi-dev
  util-linux procps mmdebstrap debian-archive-keyring gpg)
# The cross compilers conflict with the gcc-multilib metapackage; the
# versioned multilib packages it stands for do not.
cross=(qemu-user gcc-12-multilib g++-12-multilib linux-libc-dev:i386
  gcc-12-aarch64-linux-gnu g++-12-aarch64-linux-gnu
  gcc-12-arm-linux-gnueabihf g++-12-arm-linux-gnueabihf)
for arch in i386 arm64 armhf; do
  cross+=("libpcsclite-dev:${arch}" "libhidapi-dev:${arch}" "libgtest-dev:${arch}"
    "openjdk-17-jre-headless:${arch}")
done

missing=()
is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed'
}
for p in "${native[@]}"; do is_installed "$p" || missing+=("$p"); done
if [ "$foreign" = 1 ]; then
  for arch in i386 arm64 armhf; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || dpkg --add-architecture "$arch"
  done
  for p in "${cross[@]}"; do is_installed "$p" || missing+=("$p"); done
  # Only the metapackages go; what they pulled in stays, kept as wanted.
  old=()
  for p in g++-multilib gcc-multilib; do is_installed "$p" && old+=("$p"); done
  if [ "${#old[@]}" -gt 0 ]; then
    echo "install-deps: removing ${old[*]} (conflicts with the cross compilers)"
    dpkg --remove "${old[@]}" >/dev/null
    for p in gcc-12-multilib g++-12-multilib; do
      ! is_installed "$p" || apt-mark manual "$p" >/dev/null
    done
  fi
fi

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
apt-get update -qq
# --no-install-recommends keeps foreign python3 (pulled in by recommends) out.
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
