#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 60). Crashing inputs land in fuzz/crashes/<target>/; copy each into
# fuzz/corpus/<target>/ once fixed, so the replay tests keep it fixed.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
bash scripts/install-deps.sh
bash scripts/build.sh fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  for src in fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
status=0
for t in "${targets[@]}"; do
  mkdir -p "fuzz/corpus/$t" "fuzz/crashes/$t" "build/fuzz/work/$t"
  echo "== $t for ${seconds}s ==" >&2
  if ! "build/fuzz/fuzz/$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 \
      -artifact_prefix="fuzz/crashes/$t/" "build/fuzz/work/$t" "fuzz/corpus/$t" 2>"build/fuzz/work/$t.log"; then
    echo "$t FAILED (see build/fuzz/work/$t.log)" >&2
    status=1
  else
    tail -n 1 "build/fuzz/work/$t.log" >&2
  fi
done
exit $status
