#!/usr/bin/env bash
# Packages the distribution once more, into a scratch directory, and fails
# unless every file comes out byte for byte as in DIST: entry times and order
# are fixed, so two runs from the same commit agree.
# Usage: tests/jar/reproducible.sh DIST
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
[ $# -eq 1 ] && [ -d "$1" ] || {
  echo "usage: $0 DIST" >&2
  exit 2
}
dist=$(realpath "$1")
velk_scratch
"$VELK_ROOT/scripts/package.sh" "$scratch/again" >/dev/null || exit 1
for f in "$scratch/again"/*; do
  cmp -s "$f" "$dist/$(basename "$f")" || fail "$(basename "$f") differs from the first packaging"
done
[ "$(ls "$scratch/again" | wc -l)" = 4 ] || fail "not four files: $(ls "$scratch/again")"
checks_passed "reproducible packaging"
