#!/usr/bin/env bash
# Assembles the distribution in build/dist (or the directory given), as Maven
# repositories expect it (com.vormel.kx:velk:<version>):
#   velk-<version>.jar          the Java classes, the native libraries of all
#                               four targets (linux-x86_64 from preset
#                               default, linux-x86 from i386, linux-aarch64
#                               from aarch64, linux-armhf from armhf) under
#                               /natives/<platform>/, a manifest that runs the
#                               diagnostic tool
#   velk-<version>.pom          the coordinates; no dependencies
#   velk-<version>-sources.jar  the Java sources
#   velk-<version>-javadoc.jar  the API documentation
# Builds whatever of the four presets is missing or stale. Runs from the same
# commit give byte-identical files: entries in a fixed order, all with the
# commit's time (or SOURCE_DATE_EPOCH's). Prints the jar's path last.
#   scripts/package.sh [DIST_DIR]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELK_ROOT"
velk_java_home
main_class=com.vormel.kx.tool.Main
dist=${1:-build/dist}

die() {
  echo "package.sh: $*" >&2
  exit 1
}

# preset, platform directory in the jar, machine it must be built for
targets=(
  "default linux-x86_64 X86-64"
  "i386 linux-x86 80386"
  "aarch64 linux-aarch64 AArch64"
  "armhf linux-armhf ARM"
)

for t in "${targets[@]}"; do
  read -r preset _ _ <<<"${t}"
  [ -f "build/${preset}/CMakeCache.txt" ] || cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" --target velkscard velkreader velk_java >/dev/null
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
[ -n "${version}" ] || die "no project version in build/default/CMakeCache.txt"
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315619200)}
stamp=$(date -u -d "@${epoch}" +%Y-%m-%dT%H:%M:%SZ)

velk_scratch
mkdir -p "${dist}"
name="${dist}/velk-${version}"

# jar_from DIR JAR [jar options...]: every file under DIR, in sorted order.
jar_from() {
  local dir=$1 out=$2 args
  shift 2
  args=$(mktemp "${scratch}/args.XXXXXX")
  (cd "${dir}" && find . -type f | LC_ALL=C sort | sed 's|^\./||') |
    while read -r f; do printf -- '-C\n%s\n%s\n' "${dir}" "${f}"; done >"${args}"
  "${JAVA_HOME}/bin/jar" --create --file "${out}.part" --date="${stamp}" "$@" "@${args}"
  mv "${out}.part" "${out}"
}

# The classes: those of the x86_64 build's jar (the Java side is the same for
# every target), with its service registrations but without its manifest.
classes="${scratch}/classes"
mkdir "${classes}"
(cd "${classes}" && "${JAVA_HOME}/bin/jar" xf "${VELK_ROOT}/build/default/java/velk.jar")
find "${classes}/META-INF" -mindepth 1 -maxdepth 1 ! -name services -exec rm -rf {} +
rmdir "${classes}/META-INF" 2>/dev/null || true

# Only a library that users' machines can load may ship: linked against the
# system's PC/SC lite or hidapi found through the ordinary search path, no
# sanitizer build, nothing newer than the oldest supported Linux, hardened.
oldest=$(sed -n 's/^set(oldest "\(.*\)")$/\1/p' tests/exports/CMakeLists.txt)
for t in "${targets[@]}"; do
  read -r preset platform machine <<<"${t}"
  mkdir -p "${classes}/natives/${platform}"
  # The host's strip may not know the target's machine; the build's own does.
  strip_tool=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "build/${preset}/CMakeCache.txt")
  [ -x "${strip_tool}" ] || die "no strip tool in build/${preset}/CMakeCache.txt"
  for lib in scard/libvelkscard.so:libpcsclite.so.1 reader/libvelkreader.so:libhidapi-hidraw.so.0; do
    src="build/${preset}/${lib%%:*}"
    tests/exports/check_library.sh "${src}" --machine "${machine}" --needed "${lib#*:}" \
      --oldest "${oldest}" --hardened >/dev/null || die "${src} cannot ship"
    # Debug sections make up most of the file; the symbols stay for stack traces.
    "${strip_tool}" --strip-debug -o "${classes}/natives/${platform}/$(basename "${src}")" "${src}"
  done
done

manifest="${scratch}/MANIFEST.MF"
cat >"${manifest}" <<MANIFEST
Main-Class: ${main_class}
Implementation-Title: velk
Implementation-Version: ${version}
Enable-Native-Access: ALL-UNNAMED
MANIFEST
jar_from "${classes}" "${name}.jar" --manifest "${manifest}"

sources="${scratch}/sources"
mkdir "${sources}"
(cd java && find . -name '*.java' -o -path './META-INF/*' -type f) | while read -r f; do
  mkdir -p "${sources}/$(dirname "${f}")"
  cp "java/${f}" "${sources}/${f}"
done
jar_from "${sources}" "${name}-sources.jar"

# The API: every package but the tool and the loader's internals.
packages=$(cd java && find . -name '*.java' -printf '%h\n' | sed 's|^\./||; s|/|.|g' |
  grep -vxE 'com\.vormel\.kx\.(tool|platform\.natives)' | LC_ALL=C sort -u)
# shellcheck disable=SC2086 # one argument per package
"${JAVA_HOME}/bin/javadoc" -quiet -notimestamp -Xdoclint:none --release 17 \
  -sourcepath java -d "${scratch}/javadoc" -windowtitle velk \
  -doctitle "velk ${version}: smart-card and Wiegand readers for Java" ${packages} >/dev/null
jar_from "${scratch}/javadoc" "${name}-javadoc.jar"

cat >"${name}.pom" <<POM
<?xml version="1.0" encoding="UTF-8"?>
<project xmlns="http://maven.apache.org/POM/4.0.0"
         xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
         xsi:schemaLocation="http://maven.apache.org/POM/4.0.0 https://maven.apache.org/xsd/maven-4.0.0.xsd">
  <modelVersion>4.0.0</modelVersion>
  <groupId>com.vormel.kx</groupId>
  <artifactId>velk</artifactId>
  <version>${version}</version>
  <packaging>jar</packaging>
  <name>velk</name>
  <description>Smart-card readers (a bridge to PC/SC lite) and Wiegand-26 USB HID readers for Java on Linux, with the native libraries for x86_64, 32-bit x86, aarch64 and 32-bit ARM (armhf) inside.</description>
</project>
POM
echo "${name}.jar"
