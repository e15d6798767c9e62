#!/usr/bin/env bash
# Runs a command against a private PC/SC stack: pcscd with the vpcd reader
# driver (two readers) and a virtual card in each, then stops all of it.
#
#   with-pcscd.sh [options] -- COMMAND ARGS...   run COMMAND, exit with its status
#   with-pcscd.sh [options] start                start in the background and print
#                                                the export lines a client needs
#   with-pcscd.sh stop [DIR]                     stop what `start` started
#                                                (DIR defaults to $VELK_STACK_DIR)
#   with-pcscd.sh pcscd-kill [DIR]               kill the stack's pcscd (SIGKILL, as
#                                                in a crash) and wait until it is gone
#   with-pcscd.sh pcscd-start [DIR]              start pcscd again, put the cards
#                                                back and wait until it serves them
# pcscd-kill and pcscd-start run from inside the stack, that is from COMMAND
# or its children (they need the stack's private /run/pcscd).
# Options:
#   --card SCRIPT    card script for the first reader (default: t1.vcard)
#   --card2 SCRIPT   card script for the second reader, or "none" for an
#                    empty reader (default: none)
#   --vcard CMD      command line of the card program (default: velk_vcard),
#                    for example "qemu-i386 -L / build/i386/tests/vcard/velk_vcard"
#   --wait CMD       command line of velk_pcsc_wait (default: velk_pcsc_wait)
#   --name NAME      the readers' friendly name (default: "Virtual PCD")
#   --timeout SECS   bound on every wait for readiness and for stopping (default: 30)
#   --pinpad DRIVER  add the virtual pin-pad reader (DRIVER: its libvelkpinpad.so)
#                    as a third reader, "Velk PIN Pad", with a card of its own
#   --pinpad-card SCRIPT  card script behind the pin-pad (default: pinpad.vcard)
#   --debug          pcscd logs debug messages and APDUs
#   --keep           keep the stack's directory (logs) after stopping
#   --root DIR       pcscd and vpcd of the Debian userland at DIR (by chroot);
#                    /proc, /dev, /sys, the stack's /run/pcscd and the temporary
#                    directory (${TMPDIR:-/tmp}) appear in it at the host's paths
#   --no-polkit      start pcscd with --disable-polkit where it has that option
#                    (a polkit build refuses clients polkit has not allowed)
#
# COMMAND (and the output of `start`) gets: PCSCLITE_CSOCK_NAME, VELK_READER,
# VELK_READER2, VELK_ATR and VELK_ATR2 (the cards' ATRs in hex, empty for an
# empty reader), VELK_VCARD_CONTROL and VELK_VCARD2_CONTROL (127.0.0.1:PORT of
# each card's control channel, empty for an empty reader), VELK_VCARD_CTL (the
# control CLI), VELK_VCARD_SCRIPTS (the sample scripts), VELK_STACK_DIR and
# VELK_STACK_CTL (this script, for pcscd-kill and pcscd-start). With --pinpad
# also VELK_PINPAD_READER, VELK_PINPAD_ATR, VELK_PINPAD_CONTROL (127.0.0.1:PORT
# of its keypad), VELK_PINPAD_CTL (the keypad CLI) and VELK_PINPAD_CARD_CONTROL
# (its card's control channel).
#
# pcscd 1.9.9 serves its socket at the fixed path /run/pcscd/pcscd.comm, so
# the stack runs in a private mount namespace (unshare -m) in which a private
# directory is bound onto /run/pcscd; it never meets a system daemon, and
# PCSCLITE_CSOCK_NAME points at the same socket through that directory, which
# clients outside the namespace can reach too.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"
scripts_dir=$(cd "$here/../vcard/scripts" && pwd)

card=$scripts_dir/t1.vcard
card2=none
vcard_cmd=velk_vcard
wait_cmd=velk_pcsc_wait
name="Virtual PCD"
timeout=30
debug=0
keep=0
driver=/usr/lib/pcsc/drivers/serial/libifdvpcd.so
pinpad=
pinpad_card=$scripts_dir/pinpad.vcard
pinpad_name="Velk PIN Pad"
nreaders=2
root=
polkit=1

die() {
  echo "with-pcscd: $*" >&2
  exit 2
}

# Stops the PIDs in a stack directory: TERM, then KILL after the timeout.
stop_pids() {
  local pids=() p left
  for p in "$@"; do [ -n "$p" ] && kill -TERM "$p" 2>/dev/null && pids+=("$p"); done
  local deadline=$((SECONDS + timeout))
  while :; do
    left=()
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && left+=("$p"); done
    [ "${#left[@]}" -eq 0 ] && return 0
    if [ "$SECONDS" -ge "$deadline" ]; then
      kill -KILL "${left[@]}" 2>/dev/null || true
      return 0
    fi
    sleep 0.05
  done
}

if [ "${1:-}" = stop ]; then
  dir=${2:-${VELK_STACK_DIR:-}}
  [ -n "$dir" ] && [ -f "$dir/pids" ] || die "stop: no stack directory (give DIR or set VELK_STACK_DIR)"
  read -r -a pids <"$dir/pids"
  stop_pids "${pids[@]}"
  rm -rf "$dir"
  exit 0
fi

gone() { # PID: not running (a zombie that its parent has not reaped counts as gone)
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# pcscd-kill / pcscd-start: what a client sees when the daemon crashes and
# comes back. The stack's settings come from the file that the fixture wrote.
if [ "${1:-}" = pcscd-kill ] || [ "${1:-}" = pcscd-start ]; then
  dir=${2:-${VELK_STACK_DIR:-}}
  [ -n "$dir" ] && [ -f "$dir/restart.conf" ] || die "$1: no stack directory (give DIR or set VELK_STACK_DIR)"
  [ "$(stat -c %d:%i /run/pcscd)" = "$(stat -c %d:%i "$dir/run")" ] ||
    die "$1: run it from inside the stack (from the wrapped command)"
  # shellcheck disable=SC1091 # written by the fixture below
  . "$dir/restart.conf"
  read -r -a pids <"$dir/pids"
  if [ "$1" = pcscd-kill ]; then
    pid=${pids[0]}
    gone "$pid" && die "pcscd-kill: pcscd ($pid) is not running"
    kill -KILL "$pid"
    deadline=$((SECONDS + timeout))
    until gone "$pid"; do
      [ "$SECONDS" -lt "$deadline" ] || die "pcscd-kill: pcscd ($pid) did not go away"
      sleep 0.02
    done
    exit 0
  fi
  gone "${pids[0]}" || die "pcscd-start: pcscd (${pids[0]}) is still running"
  # The killed daemon left its pid file and socket behind. A new pcscd clears them
  # only if that pid is dead to kill(pid, 0), which an unreaped zombie or a process
  # that reused the pid is not; it would refuse to start.
  rm -f "$dir/run/pcscd.pid" "$dir/run/pcscd.comm"
  setsid "${pcscd[@]}" "${pcscd_args[@]}" </dev/null >>"$dir/pcscd.log" 2>&1 &
  pids[0]=$!
  echo "${pids[*]}" >"$dir/pids"
  # shellcheck disable=SC2086
  $wait_cmd --timeout "$timeout" --readers "$nreaders" >/dev/null ||
    die "pcscd-start: pcscd did not list $nreaders readers in time"
  # The cards lost their driver with the old daemon; each goes back in.
  for control in "${controls[@]}"; do
    [ "$("$here/../vcard/vcard-ctl.sh" "$control" insert)" = "ok inserted" ] ||
      die "pcscd-start: card $control did not go back in"
  done
  # shellcheck disable=SC2086
  $wait_cmd --timeout "$timeout" --present "${present[@]}" >/dev/null ||
    die "pcscd-start: pcscd did not show the card(s) in time"
  exit 0
fi

inside=0
if [ "${1:-}" = --inside ]; then
  inside=1
  shift
fi
args=("$@")
mode=
while [ $# -gt 0 ]; do
  case $1 in
    --card) card=$2; shift 2 ;;
    --card2) card2=$2; shift 2 ;;
    --vcard) vcard_cmd=$2; shift 2 ;;
    --wait) wait_cmd=$2; shift 2 ;;
    --name) name=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --pinpad) pinpad=$(realpath -m -- "$2"); nreaders=3; shift 2 ;;
    --pinpad-card) pinpad_card=$2; shift 2 ;;
    --debug) debug=1; shift ;;
    --keep) keep=1; shift ;;
    --root) root=$(cd "$2" && pwd) || die "no userland at $2"; shift 2 ;;
    --no-polkit) polkit=0; shift ;;
    start) mode=start; shift; break ;;
    --) mode=run; shift; break ;;
    *) die "unknown option $1 (see the top of $self)" ;;
  esac
done
[ -n "$mode" ] || die "give '-- COMMAND...' or 'start'"
[ "$mode" = start ] || [ $# -gt 0 ] || die "no command after --"
[ -r "$card" ] || die "cannot read card script $card"
[ "$card2" = none ] || [ -r "$card2" ] || die "cannot read card script $card2"
[ -r "$root$driver" ] || die "vpcd driver $root$driver missing (package vsmartcard-vpcd)"
[ -z "$pinpad" ] || [ -r "$pinpad" ] || die "cannot read the pin-pad driver $pinpad"
[ -z "$pinpad" ] || [ -r "$pinpad_card" ] || die "cannot read card script $pinpad_card"

if [ "$inside" = 0 ]; then
  # A private mount namespace; without root, a user namespace makes us root in it.
  userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  exec unshare "${userns[@]}" --mount --propagation private "$self" --inside "${args[@]}"
fi

# ---- inside the private mount namespace ----

dir=$(mktemp -d "${TMPDIR:-/tmp}/velk-pcsc.XXXXXX")
chmod 755 "$dir"
mkdir "$dir/conf" "$dir/run"
pids=()
cmd_pid=
ready=0

show_logs() {
  local f
  for f in "$dir"/*.log; do
    [ -s "$f" ] || continue
    echo "---- $(basename "$f") (last lines) ----" >&2
    tail -n 30 "$f" >&2
  done
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  [ -n "$cmd_pid" ] && stop_pids "$cmd_pid"
  # pcscd-start may have replaced the daemon.
  [ -s "$dir/pids" ] && read -r -a pids <"$dir/pids"
  if [ "$mode" = run ] || [ "$ready" = 0 ]; then
    # A daemon gone before we stop it crashed, or was killed and not started
    # again: worth saying when a command fails.
    if [ "$ready" = 1 ] && [ -n "${pids[0]:-}" ] && gone "${pids[0]}"; then
      echo "with-pcscd: pcscd (${pids[0]}) was no longer running" >&2
    fi
    stop_pids "${pids[@]}"
    # A sanitizer build of a card reports at exit; such a report fails the run.
    if grep -l -E 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$dir"/*.log >/dev/null 2>&1; then
      echo "with-pcscd: a sanitizer reported in the stack's logs" >&2
      ready=0
      [ "$status" != 0 ] || status=1
    fi
    # A failed command: what the stack logged may tell why.
    [ "$ready" = 1 ] && [ "$status" = 0 ] || show_logs
    [ "$keep" = 1 ] && echo "with-pcscd: logs kept in $dir" >&2 || rm -rf "$dir"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

mount --bind "$dir/run" /run/pcscd 2>/dev/null ||
  { mkdir -p /run/pcscd && mount --bind "$dir/run" /run/pcscd; } ||
  die "cannot bind a private directory onto /run/pcscd"
pcscd=(/usr/sbin/pcscd)
if [ -n "$root" ]; then
  tmp_base=$(cd "${TMPDIR:-/tmp}" && pwd)
  mkdir -p "$root/run/pcscd" "$root$tmp_base"
  mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
    mount --rbind /sys "$root/sys" && mount --bind "$tmp_base" "$root$tmp_base" &&
    mount --bind "$dir/run" "$root/run/pcscd" || die "cannot mount what $root needs"
  pcscd=(chroot "$root" /usr/sbin/pcscd)
fi
# Empty USB driver bundles: pcscd's hotplug then finds no real reader to add.
for bundle in "$root"/usr/lib/pcsc/drivers/*.bundle; do
  [ -d "$bundle" ] && mount -t tmpfs -o ro,size=16k velk-none "$bundle"
done

# Two free TCP ports in a row (the driver's two slots listen on CHANNELID and
# CHANNELID+1), below the kernel's ephemeral range. A lock file per pair, held
# for the stack's life, keeps concurrent stacks apart.
port_in_use() {
  local hex
  hex=$(printf ':%04X ' "$1")
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null | awk '{print $2" "}' | grep -q -- "$hex"
}
lockdir=${TMPDIR:-/tmp}/velk-pcsc-ports
mkdir -p "$lockdir"
# Sets claimed to the first port of a free pair; its lock stays held (the
# descriptor is kept in port_locks).
port_locks=()
claim_port_pair() {
  local p fd
  claimed=
  for _ in $(seq 200); do
    p=$((20000 + 2 * (RANDOM % 6000)))
    exec {fd}>"$lockdir/$p.lock"
    if flock -n "$fd" && ! port_in_use "$p" && ! port_in_use $((p + 1)); then
      claimed=$p
      port_locks+=("$fd")
      return 0
    fi
    exec {fd}>&-
  done
  die "no free pair of TCP ports"
}
claim_port_pair
port=$claimed

cat >"$dir/conf/vpcd" <<EOF
FRIENDLYNAME "$name"
DEVICENAME   /dev/null:$port
LIBPATH      $driver
CHANNELID    $port
EOF

# The virtual pin-pad reader: its card connects to the first port of another
# pair, its keypad listens on the second.
if [ -n "$pinpad" ]; then
  claim_port_pair
  pinpad_port=$claimed
  # A userland's pcscd sees the temporary directory at the same path.
  pinpad_lib=$pinpad
  if [ -n "$root" ]; then
    pinpad_lib=$dir/libvelkpinpad.so
    cp "$pinpad" "$pinpad_lib"
  fi
  printf 'FRIENDLYNAME "%s"\nDEVICENAME   %s:%s\nLIBPATH      %s\n' \
    "$pinpad_name" "$pinpad_port" $((pinpad_port + 1)) "$pinpad_lib" >"$dir/conf/pinpad"
fi

export PCSCLITE_CSOCK_NAME=$dir/run/pcscd.comm
pcscd_args=(-f -c "$dir/conf")
[ "$debug" = 1 ] && pcscd_args+=(--debug --apdu)
if [ "$polkit" = 0 ] && [[ $("${pcscd[@]}" --help 2>&1) == *--disable-polkit* ]]; then
  pcscd_args+=(--disable-polkit)
fi
# Started detached (setsid, no terminal) so that in `start` mode it outlives us.
setsid "${pcscd[@]}" "${pcscd_args[@]}" </dev/null >"$dir/pcscd.log" 2>&1 &
pids+=($!)
# Not a job: pcscd-kill's crash would otherwise be announced as "Killed".
disown $!

start_card() { # SCRIPT PORT LABEL
  # shellcheck disable=SC2086 # the card's command line is split into words
  setsid $vcard_cmd --port "$2" --script "$1" --control-file "$dir/$3.control" \
    --patience "$timeout" </dev/null >"$dir/$3.log" 2>&1 &
  pids+=($!)
}
start_card "$card" "$port" vcard
[ "$card2" = none ] || start_card "$card2" $((port + 1)) vcard2
[ -z "$pinpad" ] || start_card "$pinpad_card" "$pinpad_port" pinpad
echo "${pids[*]}" >"$dir/pids"

# Ready: the cards listen for control, pcscd lists both readers and shows a
# card in each reader that has one.
deadline=$((SECONDS + timeout))
for label in vcard vcard2 pinpad; do
  [ "$label" = vcard2 ] && [ "$card2" = none ] && continue
  [ "$label" = pinpad ] && [ -z "$pinpad" ] && continue
  until [ -s "$dir/$label.control" ]; do
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null || die "a stack process ($p) died"; done
    [ "$SECONDS" -lt "$deadline" ] || die "$label did not start in time"
    sleep 0.02
  done
done
# shellcheck disable=SC2086
mapfile -t readers < <($wait_cmd --timeout "$timeout" --readers "$nreaders") || true
[ "${#readers[@]}" -eq "$nreaders" ] || die "pcscd did not list $nreaders readers in time"
if [ -n "$pinpad" ]; then # the pin-pad's reader out of the list, vpcd's two stay in order
  others=()
  for r in "${readers[@]}"; do
    if [[ $r == "$pinpad_name "* ]]; then pinpad_reader=$r; else others+=("$r"); fi
  done
  readers=("${others[@]}")
fi
present=("${readers[0]}")
[ "$card2" = none ] || present+=("${readers[1]}")
# shellcheck disable=SC2086
atrs=$($wait_cmd --timeout "$timeout" --present --atr "${present[@]}") ||
  die "pcscd did not show the card(s) in time"

control2=
[ "$card2" = none ] || control2=$(cat "$dir/vcard2.control")
export VELK_READER=${readers[0]}
export VELK_READER2=${readers[1]}
export VELK_VCARD_CONTROL
VELK_VCARD_CONTROL=$(cat "$dir/vcard.control")
export VELK_VCARD2_CONTROL=$control2
# The ATRs as pcscd got them from the cards, in upper-case hex.
export VELK_ATR=${atrs%%$'\n'*} VELK_ATR2=
[ "$card2" = none ] || VELK_ATR2=${atrs##*$'\n'}
export VELK_VCARD_CTL=$(cd "$here/../vcard" && pwd)/vcard-ctl.sh
export VELK_VCARD_SCRIPTS=$scripts_dir
export VELK_STACK_DIR=$dir
export VELK_STACK_CTL=$self
controls=("$VELK_VCARD_CONTROL")
[ -z "$control2" ] || controls+=("$control2")
exported=(PCSCLITE_CSOCK_NAME VELK_READER VELK_READER2 VELK_ATR VELK_ATR2 VELK_VCARD_CONTROL
  VELK_VCARD2_CONTROL VELK_VCARD_CTL VELK_VCARD_SCRIPTS VELK_STACK_DIR VELK_STACK_CTL)
if [ -n "$pinpad" ]; then
  export VELK_PINPAD_READER=$pinpad_reader
  export VELK_PINPAD_ATR
  VELK_PINPAD_ATR=$($wait_cmd --timeout "$timeout" --present --atr "$pinpad_reader") ||
    die "pcscd did not show the pin-pad's card in time"
  export VELK_PINPAD_CONTROL=127.0.0.1:$((pinpad_port + 1))
  export VELK_PINPAD_CTL
  VELK_PINPAD_CTL=$(cd "$here/../../pinpad" && pwd)/pinpad-ctl.sh
  export VELK_PINPAD_CARD_CONTROL
  VELK_PINPAD_CARD_CONTROL=$(cat "$dir/pinpad.control")
  present+=("$pinpad_reader")
  controls+=("$VELK_PINPAD_CARD_CONTROL")
  exported+=(VELK_PINPAD_READER VELK_PINPAD_ATR VELK_PINPAD_CONTROL VELK_PINPAD_CTL
    VELK_PINPAD_CARD_CONTROL)
fi
{
  printf 'pcscd=(%s)\npcscd_args=(%s)\n' "${pcscd[*]@Q}" "${pcscd_args[*]@Q}"
  printf 'wait_cmd=%q\ntimeout=%q\nnreaders=%q\n' "$wait_cmd" "$timeout" "$nreaders"
  printf 'present=(%s)\ncontrols=(%s)\n' "${present[*]@Q}" "${controls[*]@Q}"
} >"$dir/restart.conf"
ready=1

if [ "$mode" = start ]; then
  for v in "${exported[@]}"; do
    printf 'export %s=%q\n' "$v" "${!v}"
  done
  printf '# stop with: %q stop %q\n' "$self" "$dir"
  exit 0
fi

for fd in "${port_locks[@]}"; do exec {fd}>&-; done # the children keep the port locks held
"$@" <&0 &
cmd_pid=$!
status=0
wait "$cmd_pid" || status=$?
cmd_pid=
exit "$status"
