#!/usr/bin/env bash
# Soak runs, each in one VM with a fixed, pre-touched heap (-Xms = -Xmx), so
# that resident memory only grows if native memory does:
#   pcsc    a million mixed bridge calls (APDU exchange, card status, reader
#           list, status change, a PC/SC failure and a fatal failure) on the
#           two virtual cards of a private pcscd;
#   reader  a million receives through the reader library (its blocking
#           receive loop, receives with a timeout, the Java wrapper, now and
#           then a new open) against the hidapi stand-in replaying endlessly.
# Resident memory is sampled a hundred times after a warm-up of a tenth of the
# calls; a run fails on a wrong result or when memory keeps growing across the
# second half by more than the limit (1 MiB).
#
#   scripts/soak.sh [pcsc|reader|all] [CALLS] [LIMIT_KIB]
#
# Builds the default preset's soak programs first. Takes a few minutes.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$VELK_ROOT
which=${1:-all}
calls=${2:-1000000}
limit=${3:-1024}
case $which in pcsc | reader | all) ;; *)
  echo "usage: scripts/soak.sh [pcsc|reader|all] [CALLS] [LIMIT_KIB]" >&2
  exit 2
  ;;
esac

velk_java_home
build=$root/build/default
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target velk_soak velkscard velkreader velk_vcard \
  velk_pcsc_wait velk_fake_hidapi_shared >/dev/null

junit=/usr/share/java/junit-platform-console-standalone.jar
classpath=$build/java/velk.jar:$build/tests/faults/velk-faults-tests.jar:$build/tests/faults/velk-soak.jar:$junit
vm=("$JAVA_HOME/bin/java" -Xms64m -Xmx64m -XX:+AlwaysPreTouch
  "-Djava.library.path=$build/scard:$build/reader" -cp "$classpath")

status=0
if [ "$which" != reader ]; then
  tests/stack/with-pcscd.sh --vcard "$build/tests/vcard/velk_vcard" \
    --wait "$build/tests/vcard/velk_pcsc_wait" \
    --card tests/vcard/scripts/t1.vcard --card2 tests/vcard/scripts/t0.vcard -- \
    "${vm[@]}" com.vormel.kx.soak.PcscSoak "$calls" "$limit" || status=1
fi
if [ "$which" != pcsc ]; then
  velk_scratch
  tmp=$scratch
  # One card read (01 02 03) among a timeout and two reports that are no
  # Wiegand-26 read, over and over.
  printf '%s\n' 'frame 18 01 02 03' timeout 'frame 05 01 02' 'frame 18 01 02 03 04' \
    'frame 18 01 02 03' repeat >"$tmp/script"
  LD_LIBRARY_PATH=$build/tests/reader/fake_hidapi_lib VELK_FAKE_HIDAPI_SCRIPT=$tmp/script \
    "${vm[@]}" velksdk.ReaderSoak "$calls" "$limit" || status=1
fi
exit "$status"
