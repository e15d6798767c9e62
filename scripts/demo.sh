#!/usr/bin/env bash
# Builds the bridge and runs the demo against a private PC/SC daemon with the
# virtual reader and card; everything it starts is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh --native-only
export JAVA_HOME=/usr/lib/jvm/java-17-openjdk-amd64
cmake --preset default >/dev/null
cmake --build --preset default --target velkscard velk_java velk_demo velk_vcard velk_pcsc_wait >/dev/null

build=build/default
exec tests/stack/with-pcscd.sh --vcard "${build}/tests/vcard/velk_vcard" \
  --wait "${build}/tests/vcard/velk_pcsc_wait" \
  --card tests/vcard/scripts/t1.vcard --card2 tests/vcard/scripts/t0.vcard -- \
  "${JAVA_HOME}/bin/java" -Djava.library.path="${build}/scard" \
  -cp "${build}/java/velk.jar:${build}/demo/velk-demo.jar" com.vormel.kx.demo.Demo \
  00A4040007A0000002471001 00B0000004 00CA000108 00CA000010
