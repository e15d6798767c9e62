#!/usr/bin/env bash
# The tool as a process: exit codes through System.exit, one line on stderr
# for an error (a stack trace only with --verbose), and an interrupt (SIGINT,
# as from Ctrl-C) that ends watch and wiegand cleanly. Runs inside
# with-pcscd.sh, whose readers it finds in the environment.
#   cli_process_test.sh LIBRARY_PATH JAR FAKE_HIDAPI_DIR JAVA...
set -uo pipefail
libpath=$1 jar=$2 fake_dir=$3
shift 3
# A command run by a script in the background starts with SIGINT ignored, and
# the VM then leaves it ignored; perl restores the default, as in a terminal.
java=(perl -e '$SIG{INT} = "DEFAULT"; exec {$ARGV[0]} @ARGV or die "exec: $!"'
  "$@" -Djava.library.path="$libpath" -cp "$jar" com.vormel.kx.tool.Main)

work=$(mktemp -d "${TMPDIR:-/tmp}/velk-cli.XXXXXX")
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect CODE STDERR_LINES ARGS...: runs the tool and checks exit code and stderr length.
expect() {
  local code=$1 lines=$2 got n
  shift 2
  "${java[@]}" "$@" >"$work/out" 2>"$work/err"
  got=$?
  n=$(wc -l <"$work/err")
  [ "$got" = "$code" ] || fail "$* exited $got, not $code; stderr: $(cat "$work/err")"
  [ "$lines" = any ] || [ "$n" = "$lines" ] ||
    fail "$* wrote $n stderr lines, not $lines: $(cat "$work/err")"
}

# await_line FILE REGEX: waits (bounded) until the running tool printed a matching line.
await_line() {
  local deadline=$((SECONDS + 120))
  until grep -qE "$2" "$1"; do
    if ! kill -0 "$pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      fail "no line matching '$2' in $(basename "$1"): $(cat "$1")"
      return 1
    fi
    sleep 0.05
  done
}

# interrupt: SIGINT to the running tool; its exit code must be 130 (ended by the signal).
interrupt() {
  local deadline=$((SECONDS + 60)) code
  kill -INT "$pid"
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      fail "$1 did not end after SIGINT"
      return
    fi
    sleep 0.05
  done
  wait "$pid"
  code=$?
  pid=
  [ "$code" = 130 ] || fail "$1 ended with $code after SIGINT, not 130"
}

expect 0 0 list
grep -qxF "0: $VELK_READER: card present, ATR 3B 88 01 56 45 4C 4B 43 52 44 31 F9" "$work/out" ||
  fail "list output: $(cat "$work/out")"

expect 2 1 send "$VELK_READER" 00A4zz
expect 2 1 bogus
expect 1 1 send --protocol t0 "$VELK_READER" 00B00000
grep -q 'SCardConnect failed with code SCARD_E_PROTO_MISMATCH' "$work/err" ||
  fail "bridge text missing: $(cat "$work/err")"
expect 1 any --verbose send --protocol t0 "$VELK_READER" 00B00000
grep -q 'at com.vormel.kx.platform.velksmartcard.VelkSCard.SCardConnect' "$work/err" ||
  fail "--verbose shows no stack trace: $(cat "$work/err")"

# watch until Ctrl-C
"${java[@]}" watch >"$work/watch.out" 2>"$work/watch.err" &
pid=$!
if await_line "$work/watch.out" "  $VELK_READER2: card present\$"; then
  interrupt watch
  [ "$(wc -l <"$work/watch.err")" = 1 ] || fail "watch stderr: $(cat "$work/watch.err")"
fi

# wiegand until Ctrl-C, against the hidapi stand-in: the reader is closed.
echo "frame 18 2A 01 C8" >"$work/hid.script"
LD_LIBRARY_PATH=$fake_dir VELK_FAKE_HIDAPI_SCRIPT=$work/hid.script \
  VELK_FAKE_HIDAPI_LOG=$work/hid.log "${java[@]}" wiegand >"$work/w.out" 2>"$work/w.err" &
pid=$!
if await_line "$work/w.out" "card 2A 01 C8  facility 42  number 456\$"; then
  interrupt wiegand
  [ "$(tail -n 1 "$work/hid.log")" = close ] || fail "wiegand left the reader open: $(tail -n 3 "$work/hid.log")"
fi

echo "absent" >"$work/hid.script"
LD_LIBRARY_PATH=$fake_dir VELK_FAKE_HIDAPI_SCRIPT=$work/hid.script expect 3 1 wiegand
grep -q 'no Wiegand reader attached' "$work/err" || fail "wiegand without reader: $(cat "$work/err")"

[ "$failures" = 0 ] && echo "cli process checks passed"
[ "$failures" = 0 ]
