#!/usr/bin/env bash
# Sends one command to a running velk_vcard and prints its reply.
#   vcard-ctl.sh HOST:PORT status|remove|insert [SCRIPT]|quit
# Exits 0 unless the card answers "err ..." or cannot be reached.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: vcard-ctl.sh HOST:PORT COMMAND [ARG]" >&2; exit 2; }
endpoint=$1
shift
exec 3<>"/dev/tcp/${endpoint%:*}/${endpoint##*:}"
echo "$*" >&3
# An insert answers once the driver took the card, within the card's patience.
IFS= read -r -t 120 reply <&3 || { echo "vcard-ctl: no reply from $endpoint" >&2; exit 1; }
exec 3>&-
echo "$reply"
[ "${reply#err}" = "$reply" ]
