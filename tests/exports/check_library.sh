#!/usr/bin/env bash
# Checks a built library as users' machines will see it:
#   - it exports exactly the given names (the linker's own markers aside);
#   - it is built for a machine that the project ships for, and on 32-bit ARM
#     for the hard-float ABI (Debian's armhf);
#   - it needs only the C library (with that machine's loader), libgcc_s,
#     libstdc++ and the given platform libraries, and those without a search
#     path of its own;
#   - no symbol it imports needs a version newer than the given oldest
#     versions; a weak reference, which the loader tolerates when the version
#     is missing, does not count;
#   - with --hardened: immediate binding, a read-only relocation segment, the
#     stack protector, and with --fortified the C library's checked calls.
#
#   check_library.sh LIBRARY [--exports "NAME..."] [--needed "SONAME..."]
#       [--oldest "GLIBC_2.17 GLIBCXX_3.4.19 ..."] [--machine X86-64|80386|AArch64|ARM]
#       [--hardened] [--fortified]
#
# Without --oldest only the exports are checked (sanitizer builds).
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

library=$1
shift
exports= needed= oldest= machine= hardened=0 fortified=0
while [ $# -gt 0 ]; do
  case $1 in
    --exports) exports=$2; shift 2 ;;
    --needed) needed=$2; shift 2 ;;
    --oldest) oldest=$2; shift 2 ;;
    --machine) machine=$2; shift 2 ;;
    --hardened) hardened=1; shift ;;
    --fortified) fortified=1; shift ;;
    *) echo "check_library: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -f "$library" ] || { echo "check_library: no file $library" >&2; exit 2; }
name=$(basename "$library")
words() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort; }

# The ELF header's machine decides which dynamic loader the library may need.
header=$(readelf -h "$library")
built_for=$(sed -n 's/^ *Machine: *//p' <<<"$header")
loader=
case $built_for in
  *X86-64) loader=ld-linux-x86-64.so.2 ;;
  *80386) loader=ld-linux.so.2 ;;
  AArch64) loader=ld-linux-aarch64.so.1 ;;
  ARM)
    loader=ld-linux-armhf.so.3
    # EF_ARM_ABI_FLOAT_HARD: floating-point arguments in VFP registers.
    flags=$(sed -n 's/^ *Flags: *\(0x[0-9a-fA-F]*\).*/\1/p' <<<"$header")
    (((${flags:-0} & 0x400) != 0)) || fail "$name is not built for the hard-float ABI (flags ${flags:-none})"
    ;;
  *) fail "$name is built for ${built_for:-an unknown machine}, for which nothing ships" ;;
esac
if [ -n "$machine" ] && [[ $built_for != *"$machine" ]]; then
  fail "$name is built for $built_for, not $machine"
fi

if [ -n "$exports" ]; then
  found=$(nm -D --defined-only "$library" | awk '{print $NF}' |
    grep -vxE '_init|_fini|_edata|_end|__bss_start' | sed 's/@.*//' | sort)
  [ "$found" = "$(words "$exports")" ] ||
    fail "$name exports differ: $(diff <(words "$exports") <(echo "$found") | grep '^[<>]' | tr '\n' ' ')"
fi

if [ -n "$oldest" ]; then
  dynamic=$(readelf -d "$library")
  allowed=$(words "libc.so.6 $loader libgcc_s.so.1 libstdc++.so.6 $needed")
  linked=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
  for lib in $linked; do
    grep -qxF "$lib" <<<"$allowed" || fail "$name needs $lib"
  done
  for lib in $needed; do
    grep -qxF "$lib" <<<"$linked" || fail "$name does not link $lib"
  done
  ! grep -qE '\((RPATH|RUNPATH)\)' <<<"$dynamic" || fail "$name carries a library search path"

  # Imports that are not weak, as NAME@VERSION.
  imports=$(readelf -W --dyn-syms "$library" |
    awk '$7 == "UND" && $5 != "WEAK" && $8 ~ /@/ {sub(/ .*/, "", $8); print $8}')
  while IFS=@ read -r symbol version; do
    [ -n "$symbol" ] || continue
    family=${version%_*}
    limit=$(words "$oldest" | grep -E "^${family}_[0-9.]+$" || true)
    if [ -z "$limit" ]; then
      fail "$name imports $symbol@$version, a version of no known library"
    elif [ "$(printf '%s\n%s\n' "${version#*_}" "${limit#*_}" | sort -V | tail -n 1)" != "${limit#*_}" ]; then
      fail "$name imports $symbol@$version, newer than $limit"
    fi
  done <<<"$imports"
fi

if [ "$hardened" = 1 ]; then
  dynamic=$(readelf -d "$library")
  grep -qE '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic" || fail "$name binds lazily (no -z now)"
  readelf -lW "$library" | grep -q GNU_RELRO || fail "$name has no RELRO segment (no -z relro)"
  undefined=$(nm -D --undefined-only "$library" | awk '{print $NF}' | sed 's/@.*//')
  grep -qx '__stack_chk_fail' <<<"$undefined" || fail "$name has no stack protector"
  if [ "$fortified" = 1 ]; then
    grep -qE '^__[a-z0-9_]+_chk$' <<<"$undefined" || fail "$name has no fortified call (-D_FORTIFY_SOURCE)"
  fi
fi

checks_passed "$name"
