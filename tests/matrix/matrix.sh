#!/usr/bin/env bash
# Runs the distribution jar on real JDKs in real Debian userlands: Debian 11
# (JDK 11), Debian 13 (JDK 21 and 25) and unstable (JDK 8), each a chroot that
# mmdebstrap builds from Debian's archive, plus this machine's Debian 12 with
# JDK 17. Each userland runs its own pcscd and vpcd, fed by the virtual cards
# running here (they meet over TCP on localhost): trixie's daemon refuses this
# machine's client, of another protocol version. In each, every VM runs the
# tool's commands, the provider by its three selection routes and two class
# loaders, all under -Xcheck:jni with nothing unexpected on stderr.
# Prints a line per failed check (with what went wrong), one line per userland
# and a closing count of checks; exits non-zero when one failed.
#   tests/matrix/matrix.sh JAR BUILD_DIR
# BUILD_DIR: a build of preset default (the virtual card, velk_pcsc_wait, the
# hidapi stand-in). VELK_USERLANDS: where the userlands are kept (default
# /var/cache/velk/userlands); each is built again when missing or when its
# recipe below changed (all at once, about 1.1 GB together). VELK_DEBIAN_MIRROR:
# the archive. A JDK that the archive no longer has fails the run, by name.
# Runs as root.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self=$here/$(basename "${BASH_SOURCE[0]}")
. "$here/../../scripts/lib.sh"

cache=${VELK_USERLANDS:-/var/cache/velk/userlands}
mirror=${VELK_DEBIAN_MIRROR:-http://deb.debian.org/debian}
host_jdk=/usr/lib/jvm/java-17-openjdk-amd64
# name|suite|what it is|JDKs|situations; "host" is this machine, no chroot.
# Situations: "generation", this machine's client against the userland's
# daemon of another protocol; "polkit", its pcscd as packaged, with polkit.
userlands=(
  "host|bookworm|Debian 12 (this machine)|17|"
  "bullseye|bullseye|Debian 11|11|"
  "trixie|trixie|Debian 13|21 25|generation polkit"
  "sid|sid|Debian unstable|8|"
)
launcher_warning='WARNING in native method: JNI call made without checking exceptions when required to from CallStaticObjectMethod'
apdu=00B0000004 # the test cards answer 01 02 03 04, 90 00

# The mmdebstrap arguments of a userland, one a line; a change rebuilds it.
recipe() { # suite jdk...
  local suite=$1 packages=pcscd,vsmartcard-vpcd,libpcsclite1,libhidapi-hidraw0 v
  shift
  for v in "$@"; do packages+=,openjdk-$v-jre-headless; done
  printf '%s\n' --variant=essential --include="$packages" \
    '--aptopt=Acquire::Check-Valid-Until "false"' \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$suite"
}

# ---- one userland, inside its stack (with-pcscd.sh) ----
# matrix.sh --in WORK ROOT SITUATIONS MAJOR=JAVA_HOME...: ROOT empty for this
# machine. Prints PASS and FAIL lines, then "checks PASSED FAILED".
if [ "${1:-}" = --in ]; then
  work=$2 root=$3 situations=$4
  shift 4
  passed=0 failed=0 notes=
  VELK_PATIENCE=30 # a healthy wait takes a second or two
  jar=$work/velk.jar probe=$work/probe
  in_root=()
  [ -z "$root" ] || in_root=(chroot "$root")
  out=$work/out.$$ err=$work/err.$$
  note() { notes+="    $*"$'\n'; }
  check() { # description function args...
    local name=$1
    shift
    notes=
    if "$@"; then
      echo "PASS $name"
      passed=$((passed + 1))
    else
      echo "FAIL $name"
      printf '%s' "$notes"
      failed=$((failed + 1))
    fi
  }
  # A script's background job starts with SIGINT ignored, which -Xcheck:jni
  # reports and which would keep watch from ending; perl restores the default.
  sigint=(perl -e '$SIG{INT} = "DEFAULT"; exec {$ARGV[0]} @ARGV or die "exec: $!"')
  # vm [--as-nobody] ARGS...: the current JDK under -Xcheck:jni; output in $out, $err.
  # From JDK 24 on, a program on the class path enables native access (java -jar
  # has the manifest's Enable-Native-Access), as the README tells users.
  vm() {
    local as=("${in_root[@]}") opts=(-Xcheck:jni)
    if [ "$1" = --as-nobody ]; then
      as=(chroot --userspec=65534:65534 "${root:-/}")
      shift
    fi
    [ "$major" -lt 24 ] || [ "$1" = -jar ] || [ "$1" = --illegal-native-access=deny ] ||
      opts+=(--enable-native-access=ALL-UNNAMED)
    "${sigint[@]}" "${as[@]}" "$java" "${opts[@]}" "$@" >"$out" 2>"$err"
  }
  # No warning on either stream (the VM's checks write to stdout) but JDK 8's
  # launcher's, one per program argument; on stderr N lines of the tool's own
  # (none by default).
  stderr_ok() { # program-argument-count [N]
    local want=0 n
    [ "$major" = 8 ] && want=$1
    n=$(cat "$out" "$err" | grep -cxF "$launcher_warning")
    [ "$n" = "$want" ] || { note "$n launcher warnings, not $want"; return 1; }
    ! cat "$out" "$err" | grep -vxF "$launcher_warning" | grep -qiE 'warning|jni' &&
      [ "$(grep -vcxF "$launcher_warning" "$err")" = "${2:-0}" ] ||
      { note "stdout: $(cat "$out")"$'\n'"    stderr: $(cat "$err")"; return 1; }
  }
  status_ok() { # got want
    [ "$1" = "$2" ] || { note "exit $1, not $2; stdout: $(cat "$out") stderr: $(cat "$err")"; return 1; }
  }
  has_line() { # regex
    grep -qxE -- "$1" "$out" || { note "no line matching $1 in: $(cat "$out")"; return 1; }
  }
  re() { sed 's/[][\.*^$(){}+?|]/\\&/g' <<<"$1"; } # a regex for the text
  reader=$(re "$VELK_READER")
  atr=$(sed 's/../& /g; s/ $//' <<<"$VELK_ATR")

  case_list() {
    vm -jar "$jar" list
    status_ok $? 0 && has_line "0: $reader: card present, ATR $atr" && stderr_ok 1
  }
  case_send() {
    vm -jar "$jar" send "$VELK_READER" "$apdu"
    status_ok $? 0 && has_line "< 01 02 03 04  SW 90 00.*" && stderr_ok 3
  }
  case_attr() {
    vm -jar "$jar" attr "$VELK_READER" ifd-atr
    status_ok $? 0 && has_line "ifd-atr \(0x00000303\): $atr" && stderr_ok 3
  }
  case_watch() { # runs until SIGINT, which a background job ignores unless perl restores it
    local pid code
    "${sigint[@]}" "${in_root[@]}" "$java" -Xcheck:jni -jar "$jar" watch >"$out" 2>"$err" &
    pid=$!
    await_line "$out" "  $reader: card present\$" "$pid" || { note "$(cat "$out" "$err")"; return 1; }
    kill -INT "$pid"
    wait "$pid"
    code=$?
    status_ok "$code" 130 && stderr_ok 1 1
  }
  case_wiegand() {
    echo "frame 18 2A 01 C8" >"$work/hid.script"
    LD_LIBRARY_PATH=$work/hidapi VELK_FAKE_HIDAPI_SCRIPT=$work/hid.script vm -jar "$jar" wiegand --count 1
    status_ok $? 0 && has_line ".*  card 2A 01 C8  facility 42  number 456" && stderr_ok 3 1
  }
  case_route() { # instance|inserted|default [VM options]
    local route=$1
    shift
    vm "$@" -cp "$jar:$probe" RouteProbe "$route"
    status_ok $? 0 && has_line "provider Velk" && has_line "$reader: T=1 01020304 9000" && stderr_ok 1
  }
  case_two_loaders() {
    local lib
    vm -cp "$probe" TwoLoaders "$jar"
    status_ok $? 0 && has_line "loader1 scard: context" && has_line "loader2 scard: context" &&
      has_line "loader[12] reader: none" && stderr_ok 1 || return 1
    for lib in libvelkscard libvelkreader; do
      [ "$(grep -c "^mapped .*/$lib\.so (deleted)$" "$out")" = 2 ] ||
        { note "$lib not mapped twice: $(cat "$out")"; return 1; }
    done
  }
  # Denied native access: the error names the option that allows it.
  case_deny() { # main args...
    vm --illegal-native-access=deny -cp "$jar:$probe" "$@"
    [ $? != 0 ] && grep -q -- '--enable-native-access=ALL-UNNAMED' "$err" ||
      { note "stdout: $(cat "$out") stderr: $(cat "$err")"; return 1; }
  }
  # This machine's client (pcsc-lite 1.9) against this userland's daemon.
  case_other_generation() {
    "$host_jdk/bin/java" -jar "$jar" list >"$out" 2>"$err"
    status_ok $? 1 && grep -q SCARD_E_SERVICE_STOPPED "$err" &&
      grep -q "^hint: pcscd turned this client away at its first call" "$err" ||
      { note "stderr: $(cat "$err")"; return 1; }
  }
  # The daemon as packaged, polkit on, refuses a user whom no polkit allowed.
  case_polkit() {
    local pid ok=0
    "$VELK_STACK_CTL" pcscd-kill || return 1
    rm -f "$VELK_STACK_DIR/run/pcscd.pid" "$VELK_STACK_DIR/run/pcscd.comm"
    setsid chroot "$root" /usr/sbin/pcscd -f -c "$VELK_STACK_DIR/conf" </dev/null \
      >"$work/polkit-pcscd.log" 2>&1 &
    pid=$!
    if await "pcscd's socket" test -S "$VELK_STACK_DIR/run/pcscd.comm"; then
      vm --as-nobody -jar "$jar" list
      status_ok $? 1 && grep -q SCARD_W_SECURITY_VIOLATION "$err" &&
        grep -q "^hint: pcscd's policy (polkit) does not allow this user" "$err" && ok=1
      [ "$ok" = 1 ] || note "stderr: $(cat "$err")"
    fi
    kill -TERM "$pid" && wait "$pid"
    "$VELK_STACK_CTL" pcscd-start || return 1
    [ "$ok" = 1 ]
  }

  for jdk in "$@"; do
    major=${jdk%%=*} java=${jdk#*=}/bin/java
    label="JDK $major"
    check "$label: tool list" case_list
    check "$label: tool send" case_send
    check "$label: tool attr" case_attr
    check "$label: tool watch, ended by SIGINT" case_watch
    check "$label: tool wiegand on the hidapi stand-in" case_wiegand
    check "$label: provider given to getInstance" case_route instance
    check "$label: provider inserted first" case_route inserted
    security=$work/velk.security
    [ "$major" = 8 ] && security=$work/velk8.security
    check "$label: provider by java.security.properties" case_route default \
      -Djava.security.properties="$security"
    check "$label: two class loaders" case_two_loaders
    if [ "$major" -ge 24 ]; then
      check "$label: denied native access: the tool names the option" case_deny com.vormel.kx.tool.Main list
      check "$label: denied native access: the provider names the option" case_deny RouteProbe instance
    fi
  done
  [[ " $situations " != *" generation "* ]] ||
    check "client of pcsc-lite 1.9 (this machine): SCARD_E_SERVICE_STOPPED and a hint" case_other_generation
  [[ " $situations " != *" polkit "* ]] ||
    check "pcscd with polkit, a user it did not allow: SCARD_W_SECURITY_VIOLATION and a hint" case_polkit
  echo "checks $passed $failed"
  exit 0
fi

# ---- the whole matrix ----
package_version() { # package [root]: the upstream version
  dpkg-query --admindir="${2:-}/var/lib/dpkg" -W -f '${Version}' "$1" | sed 's/-[^-]*$//'
}
libc_version() { package_version libc6:amd64 "${1:-}"; }

[ $# -eq 2 ] && [ -f "$1" ] && [ -d "$2" ] || {
  echo "usage: $0 JAR BUILD_DIR" >&2
  exit 2
}
jar=$(realpath "$1")
build=$(realpath "$2")
[ "$(id -u)" = 0 ] || { echo "matrix: needs root (mmdebstrap, chroot, mounts)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "matrix: mmdebstrap is missing (apt-get install mmdebstrap)" >&2; exit 2; }
[ -x "$host_jdk/bin/javac" ] || { echo "matrix: no JDK 17 at $host_jdk (openjdk-17-jdk-headless)" >&2; exit 2; }
velk_scratch
chmod 755 "$scratch" # the polkit case runs a VM as nobody
logs=$build/matrix
mkdir -p "$logs" "$cache"

# Userlands: those missing or of an older recipe are built, all at once.
exec {lock}>"$cache/.lock"
flock "$lock"
building=()
for u in "${userlands[@]}"; do
  IFS='|' read -r name suite _ jdks _ <<<"$u"
  [ "$name" = host ] && continue
  # shellcheck disable=SC2086 # the JDKs are words
  want=$(recipe "$suite" $jdks)
  [ -d "$cache/$name" ] && [ "$(cat "$cache/$name.recipe" 2>/dev/null)" = "$want" ] && continue
  rm -rf "$cache/$name.new" "$cache/$name.recipe"
  mapfile -t args <<<"$want"
  (
    start=$SECONDS
    mmdebstrap "${args[@]}" "$cache/$name.new" "$mirror" >"$logs/$name.build.log" 2>&1 &&
      echo "matrix: built $name in $((SECONDS - start)) s"
  ) &
  building+=("$name:$!")
done
declare -A build_error=()
for b in "${building[@]}"; do
  name=${b%%:*}
  IFS='|' read -r _ suite _ jdks _ < <(printf '%s\n' "${userlands[@]}" | grep "^$name|")
  if wait "${b#*:}"; then
    rm -rf "${cache:?}/$name" && mv "$cache/$name.new" "$cache/$name"
    # shellcheck disable=SC2086
    recipe "$suite" $jdks >"$cache/$name.recipe"
  else
    missing=$(grep -oE "(Unable to locate package |Package ')openjdk-[0-9]+-jre-headless" \
      "$logs/$name.build.log" | grep -oE 'openjdk-[0-9]+-jre-headless' | sort -u | tr '\n' ' ')
    if [ -n "$missing" ]; then
      missing=$(sed -E 's/openjdk-([0-9]+)-jre-headless/JDK \1 (&)/g; s/ $//; s/\) /), /g' <<<"$missing")
      build_error[$name]="Debian's $suite archive no longer has $missing (see $logs/$name.build.log)"
    else
      build_error[$name]="mmdebstrap failed (see $logs/$name.build.log)"
    fi
    rm -rf "$cache/$name.new"
  fi
done
flock -u "$lock"

# What every userland reaches at the same path: the jar, the probes (Java 8
# class files), the hidapi stand-in and the stack's readiness tool.
work=$scratch/work
mkdir -p "$work/probe" "$work/hidapi"
cp "$jar" "$work/velk.jar"
cp "$build"/tests/reader/fake_hidapi_lib/libhidapi-hidraw.so.0* "$work/hidapi/"
cp "$build/tests/vcard/velk_pcsc_wait" "$work/"
"$host_jdk/bin/javac" -source 8 -target 8 -Xlint:all,-options -Werror -cp "$jar" -d "$work/probe" \
  "$here/RouteProbe.java" "$here/../jar/TwoLoaders.java" || exit 1
echo "security.provider.9=Velk" >"$work/velk.security"
# Java 8 takes a class name there, not a provider name.
echo "security.provider.9=com.vormel.kx.smartcardio.VelkProvider" >"$work/velk8.security"
chmod -R a+rX "$work"

# Each userland in its own stack, all at once; their reports in order below.
pids=()
for u in "${userlands[@]}"; do
  IFS='|' read -r name suite _ jdks situations <<<"$u"
  [ -n "${build_error[$name]:-}" ] && pids+=("") && continue
  root='' homes=() opts=()
  [ "$name" = host ] || root=$cache/$name
  for v in $jdks; do
    h=/usr/lib/jvm/java-$v-openjdk-amd64
    [ "$v" = 8 ] && h+=/jre
    homes+=("$v=$h")
  done
  # The readiness tool runs in the userland where its C library is new enough;
  # otherwise here, whose client speaks the old daemon's protocol (both 1.9).
  wait_cmd=$work/velk_pcsc_wait
  if [ -n "$root" ]; then
    opts=(--root "$root" --no-polkit)
    dpkg --compare-versions "$(libc_version "$root")" ge "$(libc_version)" &&
      wait_cmd="chroot $root $wait_cmd"
  fi
  "$here/../stack/with-pcscd.sh" "${opts[@]}" --vcard "$build/tests/vcard/velk_vcard" \
    --wait "$wait_cmd" -- "$self" --in "$work" "$root" "$situations" "${homes[@]}" >"$logs/$name.log" 2>&1 &
  pids+=($!)
done

total_passed=0 total_failed=0 i=0
for u in "${userlands[@]}"; do
  IFS='|' read -r name suite what jdks _ <<<"$u"
  pid=${pids[i]}
  i=$((i + 1))
  if [ -z "$pid" ]; then
    echo "FAIL $name ($what): ${build_error[$name]}"
    total_failed=$((total_failed + 1))
    continue
  fi
  wait "$pid"
  code=$?
  root=
  [ "$name" = host ] || root=$cache/$name
  versions="glibc $(libc_version "$root"), pcsc-lite $(package_version pcscd "$root")"
  read -r _ p f < <(grep '^checks ' "$logs/$name.log") || { p=0 f=1; }
  [ "$code" = 0 ] || f=$((f + 1))
  grep -A 20 '^FAIL ' "$logs/$name.log" | grep -E '^(FAIL|    )' | sed "s/^/$name: /"
  [ "$code" = 0 ] || tail -n 20 "$logs/$name.log" | sed "s/^/$name: /"
  [ "$f" = 0 ] && word=PASS || word=FAIL
  echo "$word $name ($what: $versions, JDK ${jdks// /, JDK }): $p passed, $f failed"
  total_passed=$((total_passed + p))
  total_failed=$((total_failed + f))
done
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" = 0 ]
