#!/usr/bin/env bash
# Installs what is missing, builds pixmold and runs it on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release
./build/release/cli/pixmold tags --lines examples/chair.omk
