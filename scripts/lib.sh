# Helpers shared by the project's shell scripts and shell tests; source it:
#   . "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#
#   velk_java_home           exports JAVA_HOME: the environment's when set, else
#                            the JDK of the javac on PATH
#   VELK_I386_JAVA           the 32-bit VM under qemu (scripts/java-i386.sh)
#   velk_vm TARGET           prints the command that starts the VM of TARGET
#                            (x86_64, or under qemu i386, aarch64, armhf); the
#                            x86_64 one needs velk_java_home first
#   velk_scratch             makes $scratch, a directory removed when the shell exits
#   fresh_dir                prints a new directory inside $scratch
#   on_exit COMMAND          runs COMMAND (eval) when the shell exits, before
#                            $scratch goes
#   fail MESSAGE             reports a failed check on stderr and counts it
#   expect CODE LINES CMD... runs CMD (stdout to $scratch/out, stderr to
#                            $scratch/err) and fails unless it exits with CODE
#                            and writes LINES lines to stderr ("any": not counted)
#   await_line FILE REGEX PID
#                            waits until FILE has a line matching REGEX; fails
#                            when PID ends first or after $VELK_PATIENCE seconds
#   await WHAT CMD...        waits until CMD succeeds; fails after $VELK_PATIENCE
#   checks_passed NAME       prints the outcome; true when no check failed
#
# The waits poll the state they wait for; the patience only bounds a run that
# went wrong, and a healthy one never nears it (qemu included).

VELK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELK_I386_JAVA=("$VELK_ROOT/scripts/java-i386.sh")
: "${VELK_PATIENCE:=300}"
failures=0
scratch=
_velk_exit_hooks=()

velk_java_home() {
  if [ -z "${JAVA_HOME:-}" ]; then
    local javac
    javac=$(command -v javac) || {
      echo "JAVA_HOME is not set and no javac is on PATH (install openjdk-17-jdk-headless)" >&2
      return 1
    }
    JAVA_HOME=$(dirname "$(dirname "$(readlink -f "$javac")")")
  fi
  export JAVA_HOME
}

velk_vm() {
  case $1 in
  x86_64) echo "${JAVA_HOME:?velk_java_home first}/bin/java" ;;
  i386 | aarch64 | armhf) echo "$VELK_ROOT/scripts/java-emulated.sh $1" ;;
  *)
    echo "velk_vm: no VM for target $1" >&2
    return 1
    ;;
  esac
}

_velk_on_exit() {
  local hook
  for hook in "${_velk_exit_hooks[@]}"; do eval "$hook" || true; done
  [ -z "$scratch" ] || rm -rf "$scratch"
}
trap _velk_on_exit EXIT

on_exit() {
  _velk_exit_hooks+=("$1")
}

velk_scratch() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/velk.XXXXXX")
}

fresh_dir() {
  mktemp -d "$scratch/d.XXXXXX"
}

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expect() {
  local code=$1 lines=$2 got n
  shift 2
  "$@" >"$scratch/out" 2>"$scratch/err"
  got=$?
  n=$(wc -l <"$scratch/err")
  [ "$got" = "$code" ] || fail "$* exited $got, not $code; stderr: $(cat "$scratch/err")"
  [ "$lines" = any ] || [ "$n" = "$lines" ] ||
    fail "$* wrote $n stderr lines, not $lines: $(cat "$scratch/err")"
}

await_line() {
  local deadline=$((SECONDS + VELK_PATIENCE))
  until grep -qE -- "$2" "$1" 2>/dev/null; do
    if ! kill -0 "$3" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
      fail "no line matching '$2' in $(basename "$1"): $(cat "$1" 2>/dev/null)"
      return 1
    fi
    sleep 0.05
  done
}

await() {
  local what=$1 deadline=$((SECONDS + VELK_PATIENCE))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      fail "gave up waiting for $what"
      return 1
    fi
    sleep 0.05
  done
}

checks_passed() {
  if [ "$failures" = 0 ]; then
    echo "$1: all checks passed"
    return 0
  fi
  echo "$1: $failures check(s) failed" >&2
  return 1
}
