#!/usr/bin/env bash
# Opens pixmold-gui on a virtual X display over a demo data tree and content
# tree, builds the demo object and saves a picture of the window.
#   tools/gui_screenshot.sh [OUT.png]        (default build/gui-screenshot.png)
# Needs build/release (scripts/build.sh release), Xvfb, numpy and Pillow
# (scripts/install-deps.sh).
set -euo pipefail
usage="usage: tools/gui_screenshot.sh [OUT.png]   (default build/gui-screenshot.png)
Builds the demo object in pixmold-gui on a virtual X display and saves a picture of its window."
case "${1:-}" in
  -h | --help) echo "$usage"; exit 0 ;;
  -*) echo "gui_screenshot: unknown option $1" >&2; echo "$usage" >&2; exit 2 ;;
esac
if (($# > 1)); then
  echo "gui_screenshot: one picture at a time" >&2; echo "$usage" >&2; exit 2
fi
# The picture's path as given, before we move to the repository's root.
out=$(realpath -m -- "${1:-$(dirname "$0")/../build/gui-screenshot.png}")
cd "$(dirname "$0")/.."
pixmold=build/release/cli/pixmold
gui=build/release/gui/pixmold-gui
for program in "$pixmold" "$gui"; do
  [ -x "$program" ] || { echo "gui_screenshot: $program is missing; run scripts/build.sh release" >&2; exit 2; }
done

work=build/gui-demo
rm -rf "$work"
mkdir -p "$work/data/Objects/demo" "$work/content/Sprites" "$work/config" "$work/tmp"

# The generated demo object: its sheets and markup stay in the content tree,
# its object file parts move to the data tree.
/usr/bin/python3 tools/make_demo_object.py "$work/content/Sprites/tableset" --pixmold "$pixmold" >/dev/null
mv "$work/content/Sprites/tableset/tableset".{iff,spf} "$work/data/Objects/demo/"
rm -rf "$work/content/Sprites/tableset/tableset.dir"

# Its own configuration and temporary folders, so a saved directories file of
# the user does not redirect the window.
env XDG_CONFIG_HOME="$PWD/$work/config" TEMP="$PWD/$work/tmp" \
    SCENDIR="$PWD/$work/data" SPRITEDIR="$PWD/$work/content/Sprites" \
    xvfb-run -a -s "-screen 0 1280x720x24" \
    "$gui" --select tableset --build --screenshot "$out"
echo "gui_screenshot: wrote $out" >&2
