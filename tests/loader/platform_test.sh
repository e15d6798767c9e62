#!/usr/bin/env bash
# The loader where the platform is the problem, each case in a mount namespace
# of its own: java.io.tmpdir mounted noexec, every directory for the private
# copy mounted noexec, and a machine without PC/SC lite's and hidapi's client
# libraries. The tool runs from a jar that carries the x86_64 natives.
#   platform_test.sh JAR LIBVELKSCARD LIBVELKREADER
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
[ $# -eq 3 ] || { echo "usage: $0 JAR LIBVELKSCARD LIBVELKREADER" >&2; exit 2; }
velk_java_home || exit 1
TMPDIR=/tmp velk_scratch
export PCSCLITE_CSOCK_NAME=$scratch/no-daemon.sock
unset LD_LIBRARY_PATH LD_PRELOAD

mkdir -p "$scratch/natives/linux-x86_64"
cp "$2" "$scratch/natives/linux-x86_64/libvelkscard.so"
cp "$3" "$scratch/natives/linux-x86_64/libvelkreader.so"
cp "$1" "$scratch/velk.jar"
(cd "$scratch" && "$JAVA_HOME/bin/jar" uf velk.jar natives) || exit 1

# in_namespace SETUP ARGS...: runs java with the jar and ARGS after SETUP (shell)
# in a new mount namespace; output in $scratch/out and $scratch/err.
in_namespace() {
  local setup=$1
  shift
  unshare -m --propagation private bash -ec "$setup"'
    exec "$@"' _ "$JAVA_HOME/bin/java" -cp "$scratch/velk.jar" "$@" >"$scratch/out" 2>"$scratch/err"
}
velk=com.vormel.kx.tool.Main
tool_said() { # what LINE
  grep -qxF "$2" "$scratch/err" || fail "$1: $(cat "$scratch/err")"
}

# java.io.tmpdir noexec: the copy goes to /var/tmp (a fresh one, allowing executables).
tmp=$(fresh_dir)
in_namespace "mount -t tmpfs -o noexec tmpfs $tmp; mount -t tmpfs tmpfs /var/tmp" \
  -Djava.io.tmpdir="$tmp" $velk list
grep -q "SCardEstablishContext failed with code SCARD_E_NO_SERVICE" "$scratch/err" ||
  fail "tmpdir noexec: the natives did not load: $(cat "$scratch/err")"

# Every candidate noexec: the error lists them and says what to set.
home=$(fresh_dir)
in_namespace "for d in $tmp /var/tmp /dev/shm $home; do mount -t tmpfs -o noexec tmpfs \$d; done
  mkdir $home/.cache" -Djava.io.tmpdir="$tmp" -Duser.home="$home" $velk list
tool_said "all noexec" "velk list: cannot load the native library: cannot load this jar's\
 /natives/linux-x86_64/libvelkscard.so: no directory for it allows executables ($tmp is mounted\
 noexec; /var/tmp is mounted noexec; /dev/shm is mounted noexec; $home/.cache is mounted noexec);\
 set -Dvelk.native.path=<directory holding libvelkscard.so> or -Djava.io.tmpdir=<a directory that\
 allows executables>"

# No libpcsclite.so.1 or libhidapi-hidraw.so.0: the system's library directory
# is replaced by links to all of its entries but those.
without_client_libraries() {
  local d libdir=/usr/lib/x86_64-linux-gnu
  d=$(fresh_dir)
  echo "mkdir $d/real $d/links
    mount --bind $libdir $d/real
    mount -t tmpfs tmpfs $d/links
    ln -s $d/real/* $d/links/
    rm $d/links/libpcsclite.so* $d/links/libhidapi-hidraw.so*
    mount --bind $d/links $libdir"
}
in_namespace "$(without_client_libraries)" $velk list
tool_said "no libpcsclite" "velk list: cannot load the native library: libvelkscard.so needs\
 libpcsclite.so.1, which is not installed: install the package libpcsclite1 (Debian, Ubuntu) or\
 pcsc-lite-libs (Fedora, RHEL)"
in_namespace "$(without_client_libraries)" $velk wiegand --timeout 1
tool_said "no libhidapi-hidraw" "velk wiegand: cannot load the native library: libvelkreader.so\
 needs libhidapi-hidraw.so.0, which is not installed: install the package libhidapi-hidraw0\
 (Debian, Ubuntu) or hidapi (Fedora, RHEL)"

checks_passed "loader.platform"
