#!/usr/bin/env bash
# Installs what is missing, builds pixmold and runs a build of the bundled
# example: a fresh object file with one object definition, the example markup
# checked with a dry run, then built into it, then listed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release
pixmold=./build/release/cli/pixmold
demo=build/demo
rm -rf "$demo" && mkdir -p "$demo"

# A 216-byte object definition, current version 138: first draw group 100,
# two draw groups, GUID 0x87654321; every other word zero.
objd() {
  printf '\x8a\x00'; head -c 4 /dev/zero
  printf '\x64\x00\x02\x00'; head -c 18 /dev/zero
  printf '\x21\x43\x65\x87'; head -c 184 /dev/zero
}
objd | "$pixmold" add --create "$demo/chair" OBJD 128 --name "Birchwood Side Chair"

echo "== pixmold build --dry-run (lint)"
"$pixmold" build "$demo/chair.iff" --omk examples/chair.omk --dry-run --quiet
echo "== pixmold build"
"$pixmold" build "$demo/chair.iff" --omk examples/chair.omk --json
echo "== pixmold objects"
"$pixmold" objects "$demo/chair"
echo "== pixmold ls"
"$pixmold" ls "$demo/chair"
