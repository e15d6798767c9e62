#!/usr/bin/env bash
# A virtual smart-card stack for your own tests: a private pcscd with the vpcd
# reader driver (two readers), the virtual pin-pad reader (pinpad/README.md)
# and the project's virtual card in them. It never meets the machine's own
# pcscd or readers.
#
#   eval "$(scripts/virtual-stack.sh start [OPTIONS])"   start it in the background
#   scripts/virtual-stack.sh stop [DIR]                  stop it (DIR: $VELK_STACK_DIR)
#   scripts/virtual-stack.sh run [OPTIONS] -- CMD...     run CMD against it, then stop it
#
# Options:
#   --card SCRIPT    card script of the first reader (default: tests/vcard/scripts/t1.vcard)
#   --card2 SCRIPT   card script of the second reader, or "none" (default: none)
#   --name NAME      the readers' name (default "Virtual PCD": readers "NAME 00 00" and "NAME 00 01")
#   --pinpad-card SCRIPT  card script behind the pin-pad (default: tests/vcard/scripts/pinpad.vcard)
#   --no-pinpad      leave the pin-pad reader out (two readers, as before)
#   --debug          pcscd logs every APDU; with --keep the logs stay in $VELK_STACK_DIR
#   --keep           keep the stack's directory (logs) after stopping
#
# `start` prints shell export lines: PCSCLITE_CSOCK_NAME (the socket every
# PC/SC lite client then uses, this project's jar included), VELK_READER and
# VELK_READER2 (the reader names), VELK_VCARD_CONTROL and VELK_VCARD2_CONTROL
# (each card's control endpoint 127.0.0.1:PORT), VELK_VCARD_CTL (a script that
# sends a control command: "$VELK_VCARD_CTL" "$VELK_VCARD_CONTROL" remove) and
# VELK_STACK_DIR; for the pin-pad VELK_PINPAD_READER, VELK_PINPAD_CONTROL (its
# keypad, 127.0.0.1:PORT), VELK_PINPAD_CTL (a script that types on it:
# "$VELK_PINPAD_CTL" type 1234) and VELK_PINPAD_CARD_CONTROL. The card script
# format and the control commands are in tests/vcard/README.md.
#
# Needs pcscd and the vpcd driver (scripts/install-deps.sh --native-only as
# root installs them), and root or unprivileged user namespaces (the stack
# binds a private directory onto /run/pcscd in its own mount namespace). Builds
# the virtual card into build/default the first time.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$VELK_ROOT
fixture=$root/tests/stack/with-pcscd.sh
build=$root/build/default

die() {
  echo "virtual-stack: $*" >&2
  exit 2
}

mode=${1:-}
[ $# -gt 0 ] && shift
case $mode in
  stop) exec "$fixture" stop "$@" ;;
  start | run) ;;
  *) die "usage: virtual-stack.sh start [OPTIONS] | stop [DIR] | run [OPTIONS] -- CMD... (see the top of $0)" ;;
esac

# Card scripts may be given relative to the caller's directory.
opts=()
pinpad=1
while [ $# -gt 0 ]; do
  case $1 in
    --card | --card2 | --pinpad-card)
      [ $# -ge 2 ] || die "$1 needs a value"
      if [ "$2" = none ]; then opts+=("$1" none); else
        [ -r "$2" ] || die "cannot read card script $2"
        opts+=("$1" "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")
      fi
      shift 2 ;;
    --name) [ $# -ge 2 ] || die "--name needs a value"; opts+=("$1" "$2"); shift 2 ;;
    --debug | --keep) opts+=("$1"); shift ;;
    --no-pinpad) pinpad=0; shift ;;
    --) break ;;
    *) die "unknown option $1" ;;
  esac
done
if [ "$mode" = run ]; then
  [ "${1:-}" = -- ] && [ $# -ge 2 ] || die "run needs -- COMMAND..."
else
  [ $# -eq 0 ] || die "start takes no command"
fi

[ -x /usr/sbin/pcscd ] && [ -r /usr/lib/pcsc/drivers/serial/libifdvpcd.so ] ||
  die "pcscd or the vpcd driver is missing: run scripts/install-deps.sh --native-only as root"

# The card and the readiness probe; quick when they are up to date. Build output
# goes to a log so that `start`'s stdout stays the export lines.
log=$(mktemp "${TMPDIR:-/tmp}/velk-stack-build.XXXXXX")
if ! (cd "$root" && velk_java_home &&
  { [ -f "$build/CMakeCache.txt" ] || cmake --preset default; } &&
  cmake --build "$build" --target velk_vcard velk_pcsc_wait velkpinpad) >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  rm -f "$log"
  die "building the virtual card failed"
fi
rm -f "$log"

tools=(--vcard "$build/tests/vcard/velk_vcard" --wait "$build/tests/vcard/velk_pcsc_wait")
[ "$pinpad" = 0 ] || tools+=(--pinpad "$build/pinpad/libvelkpinpad.so")
if [ "$mode" = start ]; then
  exec "$fixture" "${tools[@]}" "${opts[@]}" start
fi
exec "$fixture" "${tools[@]}" "${opts[@]}" "$@"
