#!/usr/bin/python3
"""Packs the add-on for Blender's Preferences > Add-ons > Install:

  /usr/bin/python3 tools/blender/make_addon_zip.py OUT.zip

The archive holds the folder pixmold_sheets/ with its Python files only.
"""

import argparse
import os
import zipfile

PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pixmold_sheets")


def make_zip(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for name in sorted(os.listdir(PACKAGE)):
            if name.endswith(".py"):
                out.write(os.path.join(PACKAGE, name), "pixmold_sheets/" + name)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(
        description="Packs the add-on (pixmold_sheets/ with its Python files) for Blender's "
        "Preferences > Add-ons > Install.")
    parser.add_argument("out", metavar="OUT.zip", help="the archive to write")
    make_zip(parser.parse_args().out)
