#!/usr/bin/env bash
# Checks with-pcscd.sh itself: the command's exit status comes back, nothing
# is left running (after success, failure or a stack that never got ready),
# start/stop serve clients outside the fixture, and the card control works
# from bash. Arguments: the wrapper command line, ending in "--".
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
wrapper=("${@:1:$#-1}")
script=${wrapper[0]}
for ((i = 0; i < ${#wrapper[@]}; i++)); do
  [ "${wrapper[i]}" = --wait ] && read -r -a wait_cmd <<<"${wrapper[i + 1]}"
done
velk_scratch
tmp=$scratch
none_alive() { # PIDS FILE
  local p
  for p in $(cat "$1"); do
    if kill -0 "$p" 2>/dev/null; then
      fail "process $p left running"
      kill -KILL "$p"
    fi
  done
}

# The command's status passes through and the stack goes away with it.
status=0
"${wrapper[@]}" -- bash -c 'cp "$VELK_STACK_DIR/pids" "$1"; echo "$VELK_STACK_DIR" >"$2"; exit 7' \
  _ "$tmp/pids" "$tmp/dir" || status=$?
[ "$status" = 7 ] || fail "exit status $status, wanted 7"
none_alive "$tmp/pids"
[ ! -e "$(cat "$tmp/dir")" ] || fail "stack directory left behind"

# A card that cannot start: the fixture fails and stops the rest.
printf 'atr zz\n' >"$tmp/bad.vcard"
status=0
"${wrapper[@]}" --keep --card "$tmp/bad.vcard" -- true 2>"$tmp/bad.err" || status=$?
[ "$status" != 0 ] || fail "a stack with a broken card script reported success"
kept=$(sed -n 's/^with-pcscd: logs kept in //p' "$tmp/bad.err")
if [ -n "$kept" ] && [ -f "$kept/pids" ]; then
  none_alive "$kept/pids"
  rm -rf "$kept"
else
  fail "no kept stack directory after the failed start"
fi

# start/stop, with a client outside the fixture, and the control channel.
eval "$("${wrapper[@]}" start)"
cp "$VELK_STACK_DIR/pids" "$tmp/pids"
ctl() { "$VELK_VCARD_CTL" "$VELK_VCARD_CONTROL" "$@"; }
[ "$(ctl status)" = inserted ] || fail "status of a started card"
[ "$(ctl remove)" = "ok removed" ] || fail "remove"
"${wait_cmd[@]}" --timeout 30 --absent "$VELK_READER" >/dev/null || fail "card still present"
[ "$(ctl insert "$VELK_VCARD_SCRIPTS/t0.vcard")" = "ok inserted" ] || fail "insert t0"
"${wait_cmd[@]}" --timeout 30 --present "$VELK_READER" >/dev/null || fail "card not back"
ctl insert /nonexistent.vcard >/dev/null && fail "insert of a missing script succeeded"
[ "$(ctl status)" = inserted ] || fail "a failed insert changed the card"
"$script" stop "$VELK_STACK_DIR"
none_alive "$tmp/pids"

checks_passed "with-pcscd.sh"
