#!/usr/bin/env bash
# Builds the libraries and the jar's command line tool, then shows the tool at
# work on the built-in virtual stack: a private pcscd with the vpcd reader
# driver and the project's virtual cards (T=1 in the first reader, T=0 in the
# second) with the virtual pin-pad reader as a third, and the scripted stand-in for hidapi put in front of the real one
# with LD_LIBRARY_PATH. Then a plain javax.smartcardio program
# (scripts/demo/CardReport.java) runs once on the JDK's provider and once on the
# Velk provider, selected only by -Djava.security.properties, side by side.
# Everything it starts is stopped at the end.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELK_ROOT"
build=build/default

# velk ARGS...: the tool from the build tree (the distribution jar runs it as java -jar).
velk() {
  "${JAVA_HOME}/bin/java" -Djava.library.path="${build}/scard:${build}/reader" \
    -cp "${build}/java/velk.jar" com.vormel.kx.tool.Main "$@"
}
show() {
  local line='$ velk' a
  for a in "$@"; do
    case $a in *' '*) line+=" \"$a\"" ;; *) line+=" $a" ;; esac
  done
  printf '\n%s\n' "${line}"
  velk "$@"
}

if [ "${1:-}" = --steps ]; then
  # Inside the private stack, which exported PCSCLITE_CSOCK_NAME and the readers.
  show list
  show send "${VELK_READER}" 00A4040007A0000002471001 00B0000004 00CA000108 00CA000010
  show send --transaction --protocol t0 "${VELK_READER2}" 00B0000006 00C2000003CAFE01
  show attr 0 ifd-atr
  # The virtual pin-pad: its features, then a PIN verification with 1234
  # "typed" on its keypad (PIN_VERIFY_STRUCTURE: ASCII digits in an 8-byte
  # block of the VERIFY APDU 00 20 00 01 08 FF..FF).
  show features "${VELK_PINPAD_READER}"
  printf '\n$ %s\n' "\"\$VELK_PINPAD_CTL\" type 1234"
  "${VELK_PINPAD_CTL}" type 1234
  show control "${VELK_PINPAD_READER}" verify-pin-direct \
    "1E0082080008040200090400000000 0D000000 0020000108FFFFFFFFFFFFFFFF"

  velk_java_home
  velk_scratch
  hid_script=${scratch}/hid.script
  # Three cards presented to the Wiegand reader: facility 42 cards 456 and 457,
  # facility 7 card 65535; reads in between time out as on an idle reader.
  printf '%s\n' "frame 18 2A 01 C8" timeout "frame 18 2A 01 C9" timeout timeout \
    "frame 18 07 FF FF" >"${hid_script}"
  export LD_LIBRARY_PATH=${fake_hidapi_dir} VELK_FAKE_HIDAPI_SCRIPT=${hid_script}
  show wiegand --count 3
  exit 0
fi

if [ "${1:-}" = --provider-steps ]; then
  # The same javax.smartcardio program, which names no provider, on the JDK's
  # provider and on Velk through a java.security override file; side by side.
  apdus=(00CB000000 80100000 00A40400023F0000)
  velk_java_home
  velk_scratch
  out=${scratch}
  "${JAVA_HOME}/bin/java" scripts/demo/CardReport.java "${apdus[@]}" >"${out}/jdk" 2>&1
  "${JAVA_HOME}/bin/java" -Djava.security.properties=scripts/demo/velk.security \
    -Dvelk.native.path="${build}/scard" -cp "${build}/java/velk.jar" \
    scripts/demo/CardReport.java "${apdus[@]}" >"${out}/velk" 2>&1
  printf '\n$ java CardReport.java %s\n' "${apdus[*]}"
  printf '$ java -Djava.security.properties=velk.security -cp velk.jar CardReport.java ...\n\n'
  pr -m -t -w 150 "${out}/jdk" "${out}/velk"
  echo
  echo "(80100000 is answered 6C 04; the JDK's provider writes Le over P2, Velk adds Le.)"
  exit 0
fi

./scripts/install-deps.sh --native-only
velk_java_home
cmake --preset default >/dev/null
cmake --build --preset default --target velkscard velkreader velk_java velk_vcard \
  velk_pcsc_wait velk_fake_hidapi_shared velkpinpad >/dev/null
fake_hidapi_dir=$(sed -n 's/^VELK_FAKE_HIDAPI_DIR:INTERNAL=//p' "${build}/CMakeCache.txt")
export fake_hidapi_dir

tests/stack/with-pcscd.sh --vcard "${build}/tests/vcard/velk_vcard" \
  --wait "${build}/tests/vcard/velk_pcsc_wait" \
  --card tests/vcard/scripts/t1.vcard --card2 tests/vcard/scripts/t0.vcard \
  --pinpad "${build}/pinpad/libvelkpinpad.so" -- "$0" --steps
tests/stack/with-pcscd.sh --vcard "${build}/tests/vcard/velk_vcard" \
  --wait "${build}/tests/vcard/velk_pcsc_wait" \
  --card tests/vcard/scripts/chains-t1.vcard --card2 tests/vcard/scripts/chains-t0.vcard -- \
  "$0" --provider-steps
echo
echo "demo done; the private pcscd, the virtual cards and the tool have stopped"
