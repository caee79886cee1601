#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole suite twice:
# an optimised build and an AddressSanitizer+UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --blender
jobs=${JOBS:-$(nproc)}

echo "== format check ==" >&2
bash scripts/check_format.sh
bash scripts/check_layers.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for flavour in release asan; do
  echo "== $flavour build ==" >&2
  bash scripts/build.sh "$flavour"
  echo "== $flavour tests ==" >&2
  ctest --test-dir "build/$flavour" -j "$jobs" --output-on-failure --timeout 600
done
