#!/usr/bin/env bash
# Mutation check of the tests: applies a fixed list of small faults to src/
# and cli/ one at a time (a flipped comparison, a dropped bounds check, an
# off-by-one size, a swapped byte order, a skipped write), rebuilds the release build,
# runs the test program that owns the code, and restores the file. A fault is
# caught when the build or a test fails. Prints one line per fault and the
# total; exits 1 when a fault's text is no longer found (the list needs
# updating), so a stale list cannot pass unnoticed.
#
#   bash scripts/mutate.sh            every fault
#   bash scripts/mutate.sh imaging    only the faults of scripts/mutations/imaging.list
#
# A list named after a CTest label rather than a test program (blender.list:
# the add-on under tools/) is checked by running the tests of that label.
#
# Needs a configured release build (bash scripts/build.sh release) and a tree
# whose src/, cli/, gui/ and tools/ have no uncommitted changes: each file is
# restored from git. The dialog's program (gui.list) runs on Qt's offscreen
# platform.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/release
only=${1:-}
[ -f "$build/build.ninja" ] || { echo "mutate: configure $build first (bash scripts/build.sh release)" >&2; exit 2; }
if ! git diff --quiet -- src cli gui tools; then
  echo "mutate: src/, cli/, gui/ or tools/ has uncommitted changes; commit or stash them first" >&2
  exit 2
fi
export CCACHE_DIR=${CCACHE_DIR:-/root/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=1

# One list per test program, scripts/mutations/PROGRAM.list: the program
# whose tests own the code is the one that must catch its faults.
faults=()
for list in scripts/mutations/*.list; do
  program=$(basename "$list" .list)
  while IFS= read -r line; do
    [[ -z "$line" || "$line" == \#* ]] && continue
    faults+=("$program|$line")
  done <"$list"
done

# The dialog's test program is built beside the dialog, the others under tests/.
program_path() {
  if [ "$1" = gui ]; then echo "$build/gui/test_gui"; else echo "$build/tests/test_$1"; fi
}

caught=0
total=0
stale=0
for fault in "${faults[@]}"; do
  IFS='|' read -r program file old new <<<"$(printf '%s' "$fault" | sed 's/\\|/\x01/g')"
  old=${old//$'\x01'/|}
  new=${new//$'\x01'/|}
  [ -n "$only" ] && [ "$program" != "$only" ] && continue
  total=$((total + 1))
  if ! python3 - "$file" "$old" "$new" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
  then
    echo "STALE   $file: $old"
    stale=$((stale + 1))
    continue
  fi
  if ! ninja -C "$build" -t query "test_$program" >/dev/null 2>&1; then
    # A label's tests run the command line, so a fault in src/ or cli/ must reach it.
    if ! ninja -C "$build" pixmold >/dev/null 2>&1; then
      verdict="caught (build)"
    elif ! timeout 900 ctest --test-dir "$build" -L "^$program\$" >/dev/null 2>&1; then
      verdict="caught"
    else
      verdict="MISSED"
    fi
  elif ! ninja -C "$build" "test_$program" >/dev/null 2>&1; then
    verdict="caught (build)"
  elif ! timeout 600 env QT_QPA_PLATFORM=offscreen "$(program_path "$program")" >/dev/null 2>&1; then
    verdict="caught"
  else
    verdict="MISSED"
  fi
  git checkout -q -- "$file"
  [ "$verdict" != "MISSED" ] && caught=$((caught + 1))
  printf '%-15s %s: %s\n' "$verdict" "$file" "$old"
done
# Leave the build matching the restored tree.
ninja -C "$build" >/dev/null 2>&1
echo "mutations caught: $caught of $total"
[ "$stale" -eq 0 ]
