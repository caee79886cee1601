#!/usr/bin/env bash
# The README's first command. Installs what is missing, builds pixmold,
# generates a demo object (a small table set drawn from code: sheets, palette
# images, markup and an object file with one object definition), checks it
# with a dry run, builds it, and writes PNG previews of every draw group it
# holds, each with a contact sheet of all its views.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release
pixmold=./build/release/cli/pixmold
demo=build/demo
rm -rf "$demo" && mkdir -p "$demo"

echo "== generating the demo object in $demo"
/usr/bin/python3 tools/make_demo_object.py "$demo" --pixmold "$pixmold" >/dev/null
echo "== pixmold build --dry-run (lint)"
"$pixmold" build "$demo/tableset.iff" --all-passes --dry-run --quiet
echo "== pixmold build"
"$pixmold" build "$demo/tableset.iff" --all-passes --json
echo "== pixmold dump (the headline's SPR# list)"
"$pixmold" dump "$demo/tableset" 'SPR#' 300
echo "== pixmold preview"
for id in $("$pixmold" ls "$demo/tableset" | awk '$1 == "DGRP" { print $2 }'); do
  "$pixmold" preview "$demo/tableset" DGRP "$id" -o "$demo/previews" --quiet
done
echo
echo "Previews of every view are in $demo/previews; open the contact sheets first:"
ls "$demo"/previews/*_contact.png
