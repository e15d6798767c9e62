#!/usr/bin/env bash
# Plays the person at the virtual pin-pad: sends one keypad command and prints
# the reply.
#   pinpad-ctl.sh [HOST:PORT] type DIGITS|cancel|timeout|clear|status
# HOST:PORT defaults to $VELK_PINPAD_CONTROL. `status --wait` waits (up to 30 s)
# until the reader asks for a PIN. Exits 0 unless the reply is "err ...", the
# keypad cannot be reached or the wait runs out.
set -euo pipefail
endpoint=${VELK_PINPAD_CONTROL:-}
if [[ ${1:-} == *:* ]]; then
  endpoint=$1
  shift
fi
[ -n "$endpoint" ] && [ $# -ge 1 ] ||
  { echo "usage: pinpad-ctl.sh [HOST:PORT] type DIGITS|cancel|timeout|clear|status [--wait]" >&2; exit 2; }
ask() {
  exec 3<>"/dev/tcp/${endpoint%:*}/${endpoint##*:}" || { echo "pinpad-ctl: cannot reach $endpoint" >&2; exit 1; }
  echo "$*" >&3
  IFS= read -r -t 10 reply <&3 || { echo "pinpad-ctl: no reply from $endpoint" >&2; exit 1; }
  exec 3>&-
}
if [ "$*" = "status --wait" ]; then
  deadline=$((SECONDS + 30))
  ask status
  until [ "${reply%% *}" = waiting ]; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "$reply"; exit 1; }
    sleep 0.05
    ask status
  done
else
  ask "$@"
fi
echo "$reply"
[ "${reply#err}" = "$reply" ]
