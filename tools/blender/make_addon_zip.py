#!/usr/bin/python3
"""Packs the add-on for Blender's Preferences > Add-ons > Install:

  /usr/bin/python3 tools/blender/make_addon_zip.py OUT.zip

The archive holds the folder pixmold_sheets/ with its Python files only.
"""

import os
import sys
import zipfile

PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pixmold_sheets")


def make_zip(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for name in sorted(os.listdir(PACKAGE)):
            if name.endswith(".py"):
                out.write(os.path.join(PACKAGE, name), "pixmold_sheets/" + name)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    make_zip(sys.argv[1])
