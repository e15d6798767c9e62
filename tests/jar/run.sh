#!/usr/bin/env bash
# Checks the distribution jar as a user gets it: each VM runs in a directory
# that holds nothing but the jar, on the x86_64 VM and on the i386 VM under
# qemu, with a private java.io.tmpdir outside /tmp (the i386 VM under qemu
# cannot list /tmp). Prints one line per case and a closing count; exits
# non-zero when a case fails.
# Usage: tests/jar/run.sh JAR
set -uo pipefail

[ $# -eq 1 ] && [ -f "$1" ] || {
  echo "usage: $0 JAR" >&2
  exit 2
}
jar=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
java_home=/usr/lib/jvm/java-17-openjdk-amd64

base=$(mktemp -d "${VELK_JAR_TEST_DIR:-/var/tmp}/velk-jar-test.XXXXXX")
trap 'rm -rf "${base}"' EXIT
# No daemon: establishing a context then fails with a text that only the
# bridge produces. Nothing may reach the libraries through the environment.
export PCSCLITE_CSOCK_NAME="${base}/no-daemon.sock"
unset LD_LIBRARY_PATH LD_PRELOAD

probe="${base}/probe"
"${java_home}/bin/javac" -Xlint:all -Werror --release 17 -cp "${jar}" -d "${probe}" \
  "${here}/JarProbe.java" || exit 1

vm() { # width
  case $1 in
  x86_64) echo "${java_home}/bin/java" ;;
  x86) echo "qemu-i386 -L / /usr/lib/jvm/java-17-openjdk-i386/bin/java -Xint" ;;
  esac
}

fresh() { mktemp -d "${base}/d.XXXXXX"; }

# A directory that holds only a copy of the jar.
jar_dir() {
  local d
  d=$(fresh)
  cp "${jar}" "${d}/"
  echo "${d}"
}

# Runs the probe: probe WIDTH RUN_DIR TMPDIR [VM options...] [-- probe args]
# java.library.path is the run directory, so the libraries can only come from
# the jar or from velk.native.path.
probe() {
  local width=$1 run=$2 tmp=$3
  shift 3
  local opts=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    opts+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  (cd "${run}" && $(vm "${width}") -Djava.io.tmpdir="${tmp}" -Djava.library.path="${run}" \
    "${opts[@]}" -cp "$(basename "${jar}"):${probe}" JarProbe "$@" 2>&1)
}

why=""
expect_line() { # output regex
  grep -qxE -- "$2" <<<"$1" || {
    why="no line matching: $2"
    return 1
  }
}

expect_empty_dir() {
  [ -z "$(ls -A "$1")" ] || {
    why="left behind in $1: $(ls -A "$1" | tr '\n' ' ')"
    return 1
  }
}

no_service='SCardEstablishContext failed with code SCARD_E_NO_SERVICE \(The smart card resource manager is not running\.\)'

# Both libraries answered, each from its own private directory under tmp that
# was removed right after loading.
expect_extracted() { # output tmp
  local lib
  expect_line "$1" "scard: ${no_service}" || return 1
  expect_line "$1" "reader: none" || return 1
  for lib in libvelkscard libvelkreader; do
    expect_line "$1" "mapped ${lib}: $2/velk-[0-9]+/${lib}\.so \(deleted\)" || return 1
    expect_line "$1" "dir-exists ${lib}: false" || return 1
  done
}

# The jar's own copies for one platform, in a directory of their own.
jar_natives() { # platform
  local d x
  d=$(fresh)
  x=$(fresh)
  (cd "${x}" && "${java_home}/bin/jar" xf "${jar}" "natives/$1/") &&
    mv "${x}/natives/$1/"* "${d}/" && echo "${d}"
}

case_manifest_and_entries() {
  local x entries want
  x=$(fresh)
  (cd "${x}" && "${java_home}/bin/jar" xf "${jar}" META-INF/MANIFEST.MF) || return 1
  expect_line "$(tr -d '\r' <"${x}/META-INF/MANIFEST.MF")" "Main-Class: com\.vormel\.kx\.tool\.Main" ||
    return 1
  entries=$("${java_home}/bin/jar" tf "${jar}" | grep '\.so$' | sort | tr '\n' ' ')
  want="natives/linux-x86/libvelkreader.so natives/linux-x86/libvelkscard.so"
  want+=" natives/linux-x86_64/libvelkreader.so natives/linux-x86_64/libvelkscard.so "
  [ "${entries}" = "${want}" ] || {
    why="native entries: ${entries}"
    return 1
  }
}

case_extracts() { # width
  local run tmp out
  run=$(jar_dir)
  tmp=$(fresh)
  out=$(probe "$1" "${run}" "${tmp}") || {
    why="${out}"
    return 1
  }
  expect_extracted "${out}" "${tmp}" || { why+=$'\n'"${out}"; return 1; }
  expect_empty_dir "${tmp}"
}

case_two_vms_at_once() { # width
  local run tmp sync pa pb n out_a out_b dirs
  run=$(jar_dir)
  tmp=$(fresh)
  sync=$(fresh)
  probe "$1" "${run}" "${tmp}" -- "${sync}" a >"${sync}/out.a" &
  pa=$!
  probe "$1" "${run}" "${tmp}" -- "${sync}" b >"${sync}/out.b" &
  pb=$!
  # Both VMs are up and waiting before either touches the libraries.
  for ((n = 0; n < 6000; n++)); do
    [ -e "${sync}/a.ready" ] && [ -e "${sync}/b.ready" ] && break
    kill -0 "${pa}" 2>/dev/null && kill -0 "${pb}" 2>/dev/null || break
    sleep 0.05
  done
  touch "${sync}/go"
  wait "${pa}" || why="first VM failed"
  wait "${pb}" || why+=" second VM failed"
  out_a=$(cat "${sync}/out.a")
  out_b=$(cat "${sync}/out.b")
  [ -z "${why}" ] || { why+=$'\n'"${out_a}"$'\n'"${out_b}"; return 1; }
  expect_extracted "${out_a}" "${tmp}" || { why+=$'\n'"${out_a}"; return 1; }
  expect_extracted "${out_b}" "${tmp}" || { why+=$'\n'"${out_b}"; return 1; }
  dirs=$(printf '%s\n%s\n' "${out_a}" "${out_b}" | sed -n 's|^mapped [a-z]*: \(.*\)/[^/]*$|\1|p')
  [ "$(sort -u <<<"${dirs}" | wc -l)" -eq 4 ] || {
    why="extraction directories shared: ${dirs}"
    return 1
  }
  expect_empty_dir "${tmp}"
}

case_property_override() { # width platform
  local run tmp own out lib
  run=$(jar_dir)
  tmp=$(fresh)
  own=$(jar_natives "$2") || return 1
  out=$(probe "$1" "${run}" "${tmp}" -Dvelk.native.path="${own}") || { why="${out}"; return 1; }
  expect_line "${out}" "scard: ${no_service}" || return 1
  expect_line "${out}" "reader: none" || return 1
  for lib in libvelkscard libvelkreader; do
    expect_line "${out}" "mapped ${lib}: ${own}/${lib}\.so" || { why+=$'\n'"${out}"; return 1; }
  done
  expect_empty_dir "${tmp}"
}

case_property_empty_dir() { # width
  local run tmp empty out
  run=$(jar_dir)
  tmp=$(fresh)
  empty=$(fresh)
  out=$(probe "$1" "${run}" "${tmp}" -Dvelk.native.path="${empty}") || { why="${out}"; return 1; }
  expect_line "${out}" "scard-error: java.lang.UnsatisfiedLinkError: velk: ${empty}/libvelkscard\.so does not exist \(from -Dvelk\.native\.path\)" ||
    { why+=$'\n'"${out}"; return 1; }
  expect_empty_dir "${tmp}"
}

# os.arch is what the loader reads to pick the natives, so setting it on the
# command line stands in for a VM of another architecture. The libraries on
# java.library.path must not be taken for that platform.
case_unsupported_platform() {
  local run tmp own out
  run=$(jar_dir)
  tmp=$(fresh)
  own=$(jar_natives linux-x86_64) || return 1
  out=$(probe x86_64 "${run}" "${tmp}" -Dos.arch=sparc -Djava.library.path="${own}") ||
    { why="${out}"; return 1; }
  expect_line "${out}" "scard-error: java.lang.UnsatisfiedLinkError: .*Linux/sparc.*velk\.native\.path.*" ||
    { why+=$'\n'"${out}"; return 1; }
  expect_line "${out}" "reader-error: java.lang.UnsatisfiedLinkError: .*Linux/sparc.*velk\.native\.path.*" ||
    { why+=$'\n'"${out}"; return 1; }
  expect_empty_dir "${tmp}"
}

# A user's own build for a platform the jar does not carry.
case_property_on_unsupported_platform() {
  local run tmp own out
  run=$(jar_dir)
  tmp=$(fresh)
  own=$(jar_natives linux-x86_64) || return 1
  out=$(probe x86_64 "${run}" "${tmp}" -Dos.arch=sparc -Dvelk.native.path="${own}") ||
    { why="${out}"; return 1; }
  expect_line "${out}" "scard: ${no_service}" || { why+=$'\n'"${out}"; return 1; }
  expect_line "${out}" "mapped libvelkscard: ${own}/libvelkscard\.so" || { why+=$'\n'"${out}"; return 1; }
}

# java -jar starts the diagnostic tool. Its list command reaches the bridge and
# reports the missing daemon in the bridge's own words.
case_tool_starts() { # width
  local run tmp out rc
  run=$(jar_dir)
  tmp=$(fresh)
  out=$(cd "${run}" && timeout 300 $(vm "$1") -Djava.io.tmpdir="${tmp}" \
    -jar "$(basename "${jar}")" list 2>&1 </dev/null)
  rc=$?
  [ "${rc}" -lt 124 ] || { why="exit ${rc}: ${out}"; return 1; }
  grep -q 'SCARD_E_NO_SERVICE' <<<"${out}" || { why="${out}"; return 1; }
  expect_empty_dir "${tmp}"
}

passed=0
failed=0
skipped=0
run_case() { # description function args...
  local name=$1
  shift
  why=""
  if "$@"; then
    echo "PASS ${name}"
    passed=$((passed + 1))
  else
    echo "FAIL ${name}: ${why}"
    failed=$((failed + 1))
  fi
}

run_case "jar: manifest runs the tool, natives for both platforms" case_manifest_and_entries
for w in x86_64 x86; do
  platform=linux-${w}
  run_case "${w}: the jar's natives load from a private directory gone after loading" case_extracts "${w}"
  run_case "${w}: two VMs starting together extract to separate directories" case_two_vms_at_once "${w}"
  run_case "${w}: velk.native.path replaces the jar's copies" case_property_override "${w}" "${platform}"
  run_case "${w}: velk.native.path at an empty directory names the missing file" case_property_empty_dir "${w}"
  if "${java_home}/bin/jar" tf "${jar}" | grep -qx 'com/vormel/kx/tool/Main.class'; then
    run_case "${w}: java -jar starts the tool" case_tool_starts "${w}"
  else
    echo "SKIP ${w}: java -jar starts the tool (the jar has no tool yet)"
    skipped=$((skipped + 1))
  fi
done
run_case "unsupported platform: error names it and the property, no fallback" case_unsupported_platform
run_case "unsupported platform: velk.native.path still serves it" case_property_on_unsupported_platform

echo "jar: ${passed} passed, ${failed} failed, ${skipped} skipped"
[ "${failed}" -eq 0 ]
