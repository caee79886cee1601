#!/usr/bin/env bash
# Opens pixmold-gui on a virtual X display over a demo data tree and content
# tree, builds the demo object and saves a picture of the window.
#   tools/gui_screenshot.sh [OUT.png]        (default build/gui-screenshot.png)
# Needs build/release (scripts/build.sh release) and Xvfb (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/gui-screenshot.png}
pixmold=build/release/cli/pixmold
gui=build/release/gui/pixmold-gui
for program in "$pixmold" "$gui"; do
  [ -x "$program" ] || { echo "gui_screenshot: $program is missing; run scripts/build.sh release" >&2; exit 2; }
done

work=build/gui-demo
rm -rf "$work"
mkdir -p "$work/data/Objects/seating" "$work/content/Sprites/chair" "$work/config" "$work/tmp"

# The object file: one 216-byte object definition (version 138) whose two
# draw groups start at 100, as scripts/demo.sh makes it.
objd() {
  printf '\x8a\x00'; head -c 4 /dev/zero
  printf '\x64\x00\x02\x00'; head -c 18 /dev/zero
  printf '\x21\x43\x65\x87'; head -c 184 /dev/zero
}
objd | "$pixmold" add --create "$work/data/Objects/seating/chair" OBJD 128 --name "Birchwood Side Chair"
cp examples/chair.omk "$work/content/Sprites/chair/chair.omk"

# Its own configuration and temporary folders, so a saved directories file of
# the user does not redirect the window.
env XDG_CONFIG_HOME="$PWD/$work/config" TEMP="$PWD/$work/tmp" \
    SCENDIR="$PWD/$work/data" SPRITEDIR="$PWD/$work/content/Sprites" \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    "$gui" --select chair --build --screenshot "$out"
echo "gui_screenshot: wrote $out" >&2
