#!/usr/bin/env bash
# Installs the build into a scratch prefix, as `cmake --install` does for a
# user, and builds a C program against it twice, with pkg-config and with
# find_package; each program runs against the hidapi stand-in and must print
# the card the stand-in presents.
#   install_test.sh BUILD_DIR LIBDIR FAKE_HIDAPI_DIR "CC [FLAGS]" "EMULATOR" [TOOLCHAIN_FILE]
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
build=$1 libdir=$2 fake_dir=$3
read -r -a cc <<<"$4"
read -r -a emulator <<<"$5"
toolchain=${6:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

velk_scratch
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log"; exit 1; }
for f in "$libdir/libvelkreader.so.1" "$libdir/libvelkscard.so" include/velkreader.h \
  "$libdir/pkgconfig/velkreader.pc" "$libdir/cmake/velkreader/velkreaderConfig.cmake" \
  "$libdir/cmake/velkreader/velkreaderConfigVersion.cmake"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$prefix/$libdir/libvelkreader.so")" = libvelkreader.so.1 ] ||
  fail "libvelkreader.so does not lead to libvelkreader.so.1"
readelf -d "$prefix/$libdir/libvelkreader.so.1" | grep -q 'SONAME.*\[libvelkreader\.so\.1\]' ||
  fail "libvelkreader.so.1 does not carry its SONAME"

echo "frame 18 2A 01 C8" >"$scratch/hid.script"
runs() { # PROGRAM: runs against the stand-in and prints the card
  [ -x "$1" ] || { fail "$1 was not built"; return 1; }
  readelf -d "$1" | grep -q 'NEEDED.*\[libvelkreader\.so\.1\]' || fail "$1 does not need libvelkreader.so.1"
  expect 0 0 env LD_LIBRARY_PATH="$prefix/$libdir:$fake_dir" \
    VELK_FAKE_HIDAPI_SCRIPT="$scratch/hid.script" "${emulator[@]}" "$1"
  [ "$(cat "$scratch/out")" = "card 2A 01 C8" ] || fail "$1 printed: $(cat "$scratch/out")"
}

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
flags=$(pkg-config --cflags --libs velkreader) || fail "pkg-config does not know velkreader"
# shellcheck disable=SC2086 # the flags are words
"${cc[@]}" -Wall -Wextra -Werror -o "$scratch/with-pkg-config" "$here/use_reader.c" $flags ||
  fail "cannot build with pkg-config's flags: $flags"
runs "$scratch/with-pkg-config"

cmake -S "$here/consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} >"$scratch/consumer.log" 2>&1 &&
  cmake --build "$scratch/consumer" >>"$scratch/consumer.log" 2>&1 ||
  fail "cannot build with find_package(velkreader): $(tail -n 20 "$scratch/consumer.log")"
runs "$scratch/consumer/use_reader"

checks_passed "installed prefix"
