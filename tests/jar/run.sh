#!/usr/bin/env bash
# Checks the distribution jar as a user gets it: each VM runs in a directory
# that holds nothing but the jar, on the x86_64 VM and on the i386, aarch64
# and armhf VMs under qemu, with a private java.io.tmpdir outside /tmp (the
# i386 VM under qemu cannot list /tmp). Prints one line per case and a closing count; exits
# non-zero when a case fails.
# Usage: tests/jar/run.sh JAR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

[ $# -eq 1 ] && [ -f "$1" ] || {
  echo "usage: $0 JAR" >&2
  exit 2
}
jar=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
velk_java_home || exit 1

TMPDIR=${VELK_JAR_TEST_DIR:-/var/tmp} velk_scratch
# No daemon: establishing a context then fails with a text that only the
# bridge produces. Nothing may reach the libraries through the environment.
export PCSCLITE_CSOCK_NAME="${scratch}/no-daemon.sock"
unset LD_LIBRARY_PATH LD_PRELOAD

probe="${scratch}/probe"
"${JAVA_HOME}/bin/javac" -Xlint:all -Werror --release 17 -cp "${jar}" -d "${probe}" \
  "${here}/JarProbe.java" "${here}/TwoLoaders.java" || exit 1

vm() { # target
  velk_vm "$1"
}

# A directory that holds only a copy of the jar.
jar_dir() {
  local d
  d=$(fresh_dir)
  cp "${jar}" "${d}/"
  echo "${d}"
}

# Runs a probe: probe TARGET RUN_DIR TMPDIR [VM options...] [-- probe args]
# java.library.path is the run directory, so the libraries can only come from
# the jar or from velk.native.path, unless the options say otherwise.
probe() {
  local target=$1 run=$2 tmp=$3 main=JarProbe
  shift 3
  local opts=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    opts+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  [ "${1:-}" = TwoLoaders ] && main=TwoLoaders && shift
  (cd "${run}" && $(vm "${target}") -Djava.io.tmpdir="${tmp}" -Djava.library.path="${run}" \
    "${opts[@]}" -cp "$(basename "${jar}"):${probe}" "${main}" "$@" 2>&1)
}

expect_line() { # output regex
  grep -qxE -- "$2" <<<"$1" || {
    fail "no line matching: $2"$'\n'"$1"
    return 1
  }
}

expect_empty_dir() {
  [ -z "$(ls -A "$1")" ] || {
    fail "left behind in $1: $(ls -A "$1" | tr '\n' ' ')"
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
  d=$(fresh_dir)
  x=$(fresh_dir)
  (cd "${x}" && "${JAVA_HOME}/bin/jar" xf "${jar}" "natives/$1/") &&
    mv "${x}/natives/$1/"* "${d}/" && echo "${d}"
}

# The jar's classes without its natives, as a development build has them.
jar_classes() {
  local d
  d=$(fresh_dir)
  (cd "${d}" && "${JAVA_HOME}/bin/jar" xf "${jar}" && rm -rf natives) && echo "${d}"
}

case_manifest_and_entries() {
  local x manifest entries want platform
  x=$(fresh_dir)
  (cd "${x}" && "${JAVA_HOME}/bin/jar" xf "${jar}" META-INF/MANIFEST.MF) || return 1
  manifest=$(tr -d '\r' <"${x}/META-INF/MANIFEST.MF")
  expect_line "${manifest}" "Main-Class: com\.vormel\.kx\.tool\.Main" || return 1
  expect_line "${manifest}" "Enable-Native-Access: ALL-UNNAMED" || return 1
  entries=$("${JAVA_HOME}/bin/jar" tf "${jar}" | grep '\.so$' | LC_ALL=C sort | tr '\n' ' ')
  want=
  for platform in linux-aarch64 linux-armhf linux-x86 linux-x86_64; do
    want+="natives/${platform}/libvelkreader.so natives/${platform}/libvelkscard.so "
  done
  [ "${entries}" = "${want}" ] || {
    fail "native entries: ${entries}"
    return 1
  }
}

case_extracts() { # target
  local run tmp out
  run=$(jar_dir)
  tmp=$(fresh_dir)
  out=$(probe "$1" "${run}" "${tmp}") || { fail "${out}"; return 1; }
  expect_extracted "${out}" "${tmp}" || return 1
  expect_empty_dir "${tmp}"
}

case_two_vms_at_once() { # target
  local run tmp sync pa pb out_a out_b dirs status=0
  run=$(jar_dir)
  tmp=$(fresh_dir)
  sync=$(fresh_dir)
  probe "$1" "${run}" "${tmp}" -- "${sync}" a >"${sync}/out.a" &
  pa=$!
  probe "$1" "${run}" "${tmp}" -- "${sync}" b >"${sync}/out.b" &
  pb=$!
  # Both VMs are up and waiting before either touches the libraries.
  both_ready() {
    [ -e "${sync}/a.ready" ] && [ -e "${sync}/b.ready" ] ||
      ! { kill -0 "${pa}" 2>/dev/null && kill -0 "${pb}" 2>/dev/null; }
  }
  await "both VMs ready" both_ready
  touch "${sync}/go"
  wait "${pa}" || status=1
  wait "${pb}" || status=1
  out_a=$(cat "${sync}/out.a")
  out_b=$(cat "${sync}/out.b")
  [ "${status}" = 0 ] || { fail "a VM failed:"$'\n'"${out_a}"$'\n'"${out_b}"; return 1; }
  expect_extracted "${out_a}" "${tmp}" || return 1
  expect_extracted "${out_b}" "${tmp}" || return 1
  dirs=$(printf '%s\n%s\n' "${out_a}" "${out_b}" | sed -n 's|^mapped [a-z]*: \(.*\)/[^/]*$|\1|p')
  [ "$(sort -u <<<"${dirs}" | wc -l)" -eq 4 ] || {
    fail "extraction directories shared: ${dirs}"
    return 1
  }
  expect_empty_dir "${tmp}"
}

# Two class loaders of one VM each load both libraries, from each source the
# loader knows: the jar's copies, velk.native.path, java.library.path. Each
# gets a copy of its own; the copies are gone when the VM has ended.
case_two_class_loaders() { # target source platform
  local run tmp own classes out lib opts=()
  run=$(jar_dir)
  tmp=$(fresh_dir)
  classes=${run}/$(basename "${jar}")
  case $2 in
  property)
    own=$(jar_natives "$3") || return 1
    opts=(-Dvelk.native.path="${own}") ;;
  library-path)
    own=$(jar_natives "$3") || return 1
    classes=$(jar_classes) || return 1
    opts=(-Djava.library.path="${own}") ;;
  esac
  out=$(probe "$1" "${run}" "${tmp}" "${opts[@]}" -- TwoLoaders "${classes}") ||
    { fail "${out}"; return 1; }
  for lib in libvelkscard libvelkreader; do
    expect_line "${out}" "loader1 scard: ${no_service}" || return 1
    expect_line "${out}" "loader2 scard: ${no_service}" || return 1
    expect_line "${out}" "loader[12] reader: none" || return 1
    [ "$(grep -c "^mapped .*/${lib}\.so" <<<"${out}")" = 2 ] ||
      { fail "${lib} not mapped twice:"$'\n'"${out}"; return 1; }
    if [ "$2" = jar ]; then
      expect_line "${out}" "mapped ${tmp}/velk-[0-9]+/${lib}\.so \(deleted\)" || return 1
    else
      expect_line "${out}" "mapped ${own}/${lib}\.so" || return 1
      expect_line "${out}" "mapped ${tmp}/velk-[0-9]+/${lib}\.so \(deleted\)" || return 1
    fi
  done
  expect_empty_dir "${tmp}"
}

case_property_override() { # target platform
  local run tmp own out lib
  run=$(jar_dir)
  tmp=$(fresh_dir)
  own=$(jar_natives "$2") || return 1
  out=$(probe "$1" "${run}" "${tmp}" -Dvelk.native.path="${own}") || { fail "${out}"; return 1; }
  expect_line "${out}" "scard: ${no_service}" || return 1
  expect_line "${out}" "reader: none" || return 1
  for lib in libvelkscard libvelkreader; do
    expect_line "${out}" "mapped ${lib}: ${own}/${lib}\.so" || return 1
  done
  expect_empty_dir "${tmp}"
}

case_property_empty_dir() { # target
  local run tmp empty out
  run=$(jar_dir)
  tmp=$(fresh_dir)
  empty=$(fresh_dir)
  out=$(probe "$1" "${run}" "${tmp}" -Dvelk.native.path="${empty}") || { fail "${out}"; return 1; }
  expect_line "${out}" "scard-error: java.lang.UnsatisfiedLinkError: velk: ${empty}/libvelkscard\.so does not exist \(from -Dvelk\.native\.path\)" ||
    return 1
  expect_empty_dir "${tmp}"
}

# os.arch is what the loader reads to pick the natives, so setting it on the
# command line stands in for a VM of another architecture. The libraries on
# java.library.path must not be taken for that platform.
case_unsupported_platform() {
  local run tmp own out
  run=$(jar_dir)
  tmp=$(fresh_dir)
  own=$(jar_natives linux-x86_64) || return 1
  out=$(probe x86_64 "${run}" "${tmp}" -Dos.arch=sparc -Djava.library.path="${own}") ||
    { fail "${out}"; return 1; }
  expect_line "${out}" "scard-error: java.lang.UnsatisfiedLinkError: .*Linux/sparc.*velk\.native\.path.*" ||
    return 1
  expect_line "${out}" "reader-error: java.lang.UnsatisfiedLinkError: .*Linux/sparc.*velk\.native\.path.*" ||
    return 1
  expect_empty_dir "${tmp}"
}

# A user's own build for a platform the jar does not carry.
case_property_on_unsupported_platform() {
  local run tmp own out
  run=$(jar_dir)
  tmp=$(fresh_dir)
  own=$(jar_natives linux-x86_64) || return 1
  out=$(probe x86_64 "${run}" "${tmp}" -Dos.arch=sparc -Dvelk.native.path="${own}") ||
    { fail "${out}"; return 1; }
  expect_line "${out}" "scard: ${no_service}" || return 1
  expect_line "${out}" "mapped libvelkscard: ${own}/libvelkscard\.so" || return 1
}

# java -jar starts the diagnostic tool. Its list command reaches the bridge and
# reports the missing daemon in the bridge's own words.
case_tool_starts() { # target
  local run tmp out rc
  run=$(jar_dir)
  tmp=$(fresh_dir)
  out=$(cd "${run}" && timeout 300 $(vm "$1") -Djava.io.tmpdir="${tmp}" \
    -jar "$(basename "${jar}")" list 2>&1 </dev/null)
  rc=$?
  [ "${rc}" -lt 124 ] || { fail "exit ${rc}: ${out}"; return 1; }
  grep -q 'SCARD_E_NO_SERVICE' <<<"${out}" || { fail "${out}"; return 1; }
  expect_empty_dir "${tmp}" || return 1
  # The version comes from the manifest: the one in the jar's name.
  out=$(cd "${run}" && $(vm "$1") -jar "$(basename "${jar}")" --version 2>&1)
  [ "${out}" = "velk $(basename "${jar}" .jar | sed 's/^velk-//')" ] ||
    { fail "--version printed: ${out}"; return 1; }
}

passed=0
failed=0
run_case() { # description function args...
  local name=$1 before=$failures
  shift
  if "$@" && [ "$failures" = "$before" ]; then
    echo "PASS ${name}"
    passed=$((passed + 1))
  else
    echo "FAIL ${name}"
    failed=$((failed + 1))
  fi
}

run_case "jar: manifest runs the tool and allows native access, natives for four platforms" \
  case_manifest_and_entries
for t in "x86_64 linux-x86_64" "i386 linux-x86" "aarch64 linux-aarch64" "armhf linux-armhf"; do
  read -r w platform <<<"${t}"
  run_case "${w}: the jar's natives load from a private directory gone after loading" case_extracts "${w}"
  run_case "${w}: two VMs starting together extract to separate directories" case_two_vms_at_once "${w}"
  run_case "${w}: velk.native.path replaces the jar's copies" case_property_override "${w}" "${platform}"
  run_case "${w}: velk.native.path at an empty directory names the missing file" case_property_empty_dir "${w}"
  for source in jar property library-path; do
    run_case "${w}: two class loaders in one VM, natives from ${source}" \
      case_two_class_loaders "${w}" "${source}" "${platform}"
  done
  run_case "${w}: java -jar starts the tool and knows its version" case_tool_starts "${w}"
done
run_case "unsupported platform: error names it and the property, no fallback" case_unsupported_platform
run_case "unsupported platform: velk.native.path still serves it" case_property_on_unsupported_platform

echo "jar: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ]
