#!/usr/bin/env bash
# The tool as a process: exit codes through System.exit, one line on stderr
# for an error (a stack trace only with --verbose; a hint after a missing
# daemon), and an interrupt (SIGINT, as from Ctrl-C) that ends watch and
# wiegand cleanly. Runs inside with-pcscd.sh, whose readers it finds in the
# environment.
#   cli_process_test.sh LIBRARY_PATH JAR FAKE_HIDAPI_DIR JAVA...
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
libpath=$1 jar=$2 fake_dir=$3
shift 3
# A command run by a script in the background starts with SIGINT ignored, and
# the VM then leaves it ignored; perl restores the default, as in a terminal.
java=(perl -e '$SIG{INT} = "DEFAULT"; exec {$ARGV[0]} @ARGV or die "exec: $!"'
  "$@" -Djava.library.path="$libpath" -cp "$jar" com.vormel.kx.tool.Main)
velk() { "${java[@]}" "$@"; }

velk_scratch
work=$scratch
pid=
on_exit '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null'

# interrupt: SIGINT to the running tool; its exit code must be 130 (ended by the signal).
interrupt() {
  local code
  kill -INT "$pid"
  await "$1 to end after SIGINT" eval '! kill -0 "$pid" 2>/dev/null' || return
  wait "$pid"
  code=$?
  pid=
  [ "$code" = 130 ] || fail "$1 ended with $code after SIGINT, not 130"
}

expect 0 0 velk list
grep -qxF "0: $VELK_READER: card present, ATR 3B 88 01 56 45 4C 4B 43 52 44 31 F9" "$work/out" ||
  fail "list output: $(cat "$work/out")"

expect 2 1 velk send "$VELK_READER" 00A4zz
expect 2 1 velk bogus
expect 1 1 velk send --protocol t0 "$VELK_READER" 00B00000
grep -q 'SCardConnect failed with code SCARD_E_PROTO_MISMATCH' "$work/err" ||
  fail "bridge text missing: $(cat "$work/err")"
expect 1 any velk --verbose send --protocol t0 "$VELK_READER" 00B00000
grep -q 'at com.vormel.kx.platform.velksmartcard.VelkSCard.SCardConnect' "$work/err" ||
  fail "--verbose shows no stack trace: $(cat "$work/err")"
# No daemon at the socket: the bridge's text, then one line on what to check.
PCSCLITE_CSOCK_NAME=$work/none.comm expect 1 2 velk list
grep -q 'SCARD_E_NO_SERVICE' "$work/err" && grep -q "^hint: .*PCSCLITE_CSOCK_NAME=$work/none.comm" "$work/err" ||
  fail "no daemon: $(cat "$work/err")"

# watch until Ctrl-C
"${java[@]}" watch >"$work/watch.out" 2>"$work/watch.err" &
pid=$!
if await_line "$work/watch.out" "  $VELK_READER2: card present\$" "$pid"; then
  interrupt watch
  [ "$(wc -l <"$work/watch.err")" = 1 ] || fail "watch stderr: $(cat "$work/watch.err")"
fi

# wiegand until Ctrl-C, against the hidapi stand-in: the reader is closed.
echo "frame 18 2A 01 C8" >"$work/hid.script"
LD_LIBRARY_PATH=$fake_dir VELK_FAKE_HIDAPI_SCRIPT=$work/hid.script \
  VELK_FAKE_HIDAPI_LOG=$work/hid.log "${java[@]}" wiegand >"$work/w.out" 2>"$work/w.err" &
pid=$!
if await_line "$work/w.out" "card 2A 01 C8  facility 42  number 456\$" "$pid"; then
  interrupt wiegand
  [ "$(tail -n 1 "$work/hid.log")" = close ] || fail "wiegand left the reader open: $(tail -n 3 "$work/hid.log")"
fi

echo "absent" >"$work/hid.script"
LD_LIBRARY_PATH=$fake_dir VELK_FAKE_HIDAPI_SCRIPT=$work/hid.script expect 3 1 velk wiegand
grep -q 'no Wiegand reader attached' "$work/err" || fail "wiegand without reader: $(cat "$work/err")"

checks_passed "cli process checks"
