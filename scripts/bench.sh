#!/usr/bin/env bash
# PC/SC benchmark: builds the default preset, then measures the bridge against
# the JDK's own PC/SC natives and plain C, first on the lean stand-in (1 and 2
# threads; with CardChannel.transmit through the Velk provider and through the
# JDK's provider beside the natives under them), then on the private real stack
# (pcscd + vpcd + virtual card).
# Prints markdown tables; takes about a minute.
#
#   scripts/bench.sh [stand-in|real]    (default: both)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$VELK_ROOT
build=$root/build/default
what=${1:-both}

cd "$root"
velk_java_home
cmake --preset default >/dev/null
cmake --build --preset default --target bench_build velk_vcard velk_pcsc_wait >/dev/null

if [ "$what" = both ] || [ "$what" = stand-in ]; then
  timeout 150 "$build/bench/run-bench.sh" stand-in
  echo
fi
if [ "$what" = both ] || [ "$what" = real ]; then
  timeout 150 "$root/tests/stack/with-pcscd.sh" \
    --vcard "$build/tests/vcard/velk_vcard" --wait "$build/tests/vcard/velk_pcsc_wait" \
    -- "$build/bench/run-bench.sh" real --threads 1 --rounds 31 --round-ms 25
fi
