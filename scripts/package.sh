#!/usr/bin/env bash
# Assembles the distribution jar build/dist/velk-<version>.jar: the Java
# classes, the native libraries of both targets (linux-x86_64 from preset
# default, linux-x86 from preset i386) under /natives/<platform>/, and a
# manifest that runs the diagnostic tool. Builds whatever of the two presets is
# missing or stale; prints the jar's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

export JAVA_HOME=/usr/lib/jvm/java-17-openjdk-amd64
jar_tool="${JAVA_HOME}/bin/jar"
main_class=com.vormel.kx.tool.Main

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

# preset, platform directory in the jar, ELF class and machine it must have
targets=(
  "default linux-x86_64 ELF64 X86-64"
  "i386 linux-x86 ELF32 80386"
)

for t in "${targets[@]}"; do
  read -r preset _ _ _ <<<"${t}"
  [ -f "build/${preset}/CMakeCache.txt" ] || cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" --target velkscard velkreader velk_java >/dev/null
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
[ -n "${version}" ] || fail "no project version in build/default/CMakeCache.txt"

dist=build/dist
stage="${dist}/stage"
rm -rf "${stage}"
mkdir -p "${stage}"

# The classes: those of the x86_64 build's jar (the Java side is the same for
# both widths), without its manifest.
(cd "${stage}" && "${jar_tool}" xf ../../default/java/velk.jar)
rm -rf "${stage}/META-INF"

# Only a library linked against the system's PC/SC lite and hidapi, found
# through the ordinary search path, may ship: not a sanitizer build, not one
# that reaches into a build tree.
check_library() { # file class machine needed
  local f=$1 class=$2 machine=$3 needed=$4 header dyn
  header=$(readelf -h "${f}")
  grep -q "Class:.*${class}" <<<"${header}" || fail "${f} is not ${class}"
  grep -q "Machine:.*${machine}" <<<"${header}" || fail "${f} is not for ${machine}"
  dyn=$(readelf -d "${f}")
  grep -q "NEEDED.*\[${needed}\]" <<<"${dyn}" || fail "${f} does not link ${needed}"
  ! grep -qE 'RPATH|RUNPATH' <<<"${dyn}" || fail "${f} carries a library search path"
  ! grep -qE 'NEEDED.*\[lib(a|ub|t)san' <<<"${dyn}" || fail "${f} is a sanitizer build"
}

for t in "${targets[@]}"; do
  read -r preset platform class machine <<<"${t}"
  mkdir -p "${stage}/natives/${platform}"
  for lib in scard/libvelkscard.so:libpcsclite.so.1 reader/libvelkreader.so:libhidapi-hidraw.so.0; do
    src="build/${preset}/${lib%%:*}"
    check_library "${src}" "${class}" "${machine}" "${lib#*:}"
    # Debug sections make up most of the file; the symbols stay for stack traces.
    strip --strip-debug -o "${stage}/natives/${platform}/$(basename "${src}")" "${src}"
  done
done

manifest="${dist}/MANIFEST.MF"
cat >"${manifest}" <<EOF
Main-Class: ${main_class}
Implementation-Title: velk
Implementation-Version: ${version}
EOF

out="${dist}/velk-${version}.jar"
"${jar_tool}" --create --file "${out}.part" --manifest "${manifest}" -C "${stage}" .
mv "${out}.part" "${out}"
rm -rf "${stage}" "${manifest}"
echo "${out}"
