#!/usr/bin/env python3
"""Draws the dialog's icon: an isometric cube standing on a floor tile,
drawn at 1/8 scale and enlarged by whole factors so its pixels stay
crisp, the way the dialog shows sprites.

    /usr/bin/python3 tools/make_icon.py gui/data     (writes pixmold-gui-SIZE.png)
"""
import argparse
import sys
from pathlib import Path

from PIL import Image, ImageDraw

SIZES = (48, 256)
GRID = 32  # the icon is drawn on a 32x32 grid, then enlarged

TILE = (64, 150, 96)
TILE_EDGE = (34, 90, 56)
TOP = (250, 200, 90)
LEFT = (220, 120, 50)
RIGHT = (160, 70, 40)
OUTLINE = (40, 28, 20)


def draw() -> Image.Image:
    image = Image.new("RGBA", (GRID, GRID), (0, 0, 0, 0))
    pen = ImageDraw.Draw(image)
    # The floor tile: a 2:1 diamond across the bottom half.
    pen.polygon([(1, 23), (16, 16), (31, 23), (16, 30)], fill=TILE, outline=TILE_EDGE)
    # The cube, standing on the tile's centre.
    top = [(8, 11), (16, 7), (24, 11), (16, 15)]
    left = [(8, 11), (16, 15), (16, 26), (8, 22)]
    right = [(16, 15), (24, 11), (24, 22), (16, 26)]
    pen.polygon(left, fill=LEFT, outline=OUTLINE)
    pen.polygon(right, fill=RIGHT, outline=OUTLINE)
    pen.polygon(top, fill=TOP, outline=OUTLINE)
    return image


def main() -> int:
    parser = argparse.ArgumentParser(
        description="Draws the dialog's icon, pixmold-gui-SIZE.png for each size, into OUTDIR.")
    parser.add_argument("outdir", metavar="OUTDIR", help="folder for the pictures (made when missing)")
    out = Path(parser.parse_args().outdir)
    out.mkdir(parents=True, exist_ok=True)
    small = draw()
    for size in SIZES:
        factor = max(1, size // GRID)
        big = small.resize((GRID * factor, GRID * factor), Image.NEAREST)
        canvas = Image.new("RGBA", (size, size), (0, 0, 0, 0))
        offset = (size - big.width) // 2
        canvas.paste(big, (offset, offset))
        canvas.save(out / f"pixmold-gui-{size}.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
