#!/usr/bin/python3
"""Renders example sheets for the architecture passes of `pixmold build`.

Each sheet is a TGA and, beside it, the 8-bit palette BMP of the same base
name. The BMP's pixels are the colours the build stores (as an artist's
hand-mapped sheet would be); the TGA's alpha is the depth, 255 meaning
"nothing here". Every sheet's background is palette index 255, the clear
colour of wall style masks, and its top-left pixel is background, which the
other passes take as their clear colour.

  walls.tga         --walls N (five images per zoom in three bands)
  wall_style.tga    --wall-style N and --wall-pattern N (four pieces per zoom)
  thick_walls.tga   --thick-walls Z (46 pieces per zoom; 32-bit: tile-wall form)
  floors.tga        --floors N (one diamond cell per zoom)
  water.tga         --water N (the floor cells, with depth)

Run: /usr/bin/python3 tools/make_architecture_sheets.py OUTDIR
(needs Debian's python3-pil). Output is deterministic.
"""

import argparse
import os

from PIL import Image

BACKGROUND = 255
NO_DEPTH = 255


def palette():
    """A ramp of browns and blues; the last entry is the background."""
    colours = []
    for i in range(256):
        if i < 128:
            colours += [60 + i, 40 + i // 2, 20 + i // 4]
        else:
            colours += [20 + (i - 128) // 3, 60 + (i - 128) // 2, 120 + (i - 128)]
    colours[255 * 3:] = [255, 0, 255]
    return colours


class Sheet:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.index = [[BACKGROUND] * width for _ in range(height)]
        self.depth = [[NO_DEPTH] * width for _ in range(height)]

    def paint(self, rect, colour, depth):
        """Fills rect (left, top, right, bottom) with colour(x, y) and depth(x, y)."""
        left, top, right, bottom = rect
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                self.index[y][x] = colour(x, y)
                self.depth[y][x] = depth(x, y)

    def save(self, directory, name, with_depth=True):
        pal = palette()
        bmp = Image.new("P", (self.width, self.height))
        bmp.putpalette(pal)
        bmp.putdata([i for row in self.index for i in row])
        bmp.save(os.path.join(directory, name + ".bmp"))
        mode = "RGBA" if with_depth else "RGB"
        tga = Image.new(mode, (self.width, self.height))
        pixels = []
        for y in range(self.height):
            for x in range(self.width):
                i = self.index[y][x]
                rgb = tuple(pal[3 * i:3 * i + 3])
                pixels.append(rgb + (self.depth[y][x],) if with_depth else rgb)
        tga.putdata(pixels)
        tga.save(os.path.join(directory, name + ".tga"))


def bricks(x, y):
    return 20 + ((x // 8 + (y // 4) % 2) * 13 + y) % 100


def walls(directory):
    sheet = Sheet(884, 1152)
    for scale, shift in ((3, 0), (2, 544), (1, 816)):
        unit, width, height = 1 << (scale - 1), (16 << scale) + (2 << (scale - 1)), 96 << (scale - 1)
        for column, band in ((0, 0), (0, 1), (1, 1), (0, 2), (1, 2)):
            left, top = shift + column * width, band * 384
            # The upper sixth stays clear: the build trims a wall image's top.
            sheet.paint((left + unit, top + height // 6, left + width - unit, top + height - unit), bricks,
                        lambda x, y, t=top: 40 + (y - t) // (1 << (scale - 1)) % 200)
    sheet.save(directory, "walls")


STYLE_PIECES = {
    1: ((16, 67, 554, 22), (16, 68, 577, 22), (32, 60, 600, 22), (4, 58, 648, 39)),
    2: ((32, 135, 372, 20), (32, 136, 408, 20), (64, 120, 444, 20), (8, 116, 513, 55)),
    3: ((64, 271, 13, 16), (64, 272, 87, 16), (128, 240, 168, 16), (16, 232, 311, 87)),
}


def wall_style(directory):
    sheet = Sheet(660, 330)
    for pieces in STYLE_PIECES.values():
        for width, height, left, top in pieces:
            # An arched opening: the piece is drawn except for its middle.
            def shape(x, y, l=left, t=top, w=width, h=height):
                inside = abs(2 * (x - l) - w) < w // 2 and y - t > h // 4
                return BACKGROUND if inside else bricks(x, y)
            sheet.paint((left, top, left + width, top + height), shape, lambda x, y: 100)
    sheet.save(directory, "wall_style", with_depth=False)


def thick_walls(directory):
    sheet = Sheet(1144, 1572)
    for scale in (1, 2, 3):
        k = 1 << (scale - 1)
        for row in range(6):
            for column in range(8):
                if (row, column) in ((0, 0), (5, 7)):
                    continue
                x, y = 18 * k + 36 * k * column, 10 * k + 75 * k * row
                sheet.paint((x - 16 * k, y - 8 * k, x + 16 * k, y + 8 * k), bricks, lambda px, py: 60 + py % 150)
    sheet.save(directory, "thick_walls")


FLOOR_CELLS = ((195, 1, 226, 17), (130, 1, 193, 33), (1, 1, 128, 65))


def diamond(cell, colour):
    left, top, right, bottom = cell
    w, h = right - left, bottom - top

    def pixel(x, y):
        dx, dy = abs(2 * (x - left) - w), abs(2 * (y - top) - h)
        return colour(x, y) if dx * h + dy * w <= w * h else BACKGROUND
    return pixel


def floors(directory):
    sheet = Sheet(230, 70)
    for cell in FLOOR_CELLS:
        sheet.paint(cell, diamond(cell, lambda x, y: 140 + (x // 4 + y // 4) % 2 * 40), lambda x, y: NO_DEPTH)
    sheet.save(directory, "floors", with_depth=False)


def water(directory):
    sheet = Sheet(230, 70)
    for cell in FLOOR_CELLS:
        sheet.paint(cell, diamond(cell, lambda x, y: 128 + (x + 2 * y) % 60), lambda x, y: 200 + (x + y) % 50)
    sheet.save(directory, "water")


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n", 1)[0],
        epilog="Writes walls, wall_style, thick_walls, floors and water (.tga and .bmp) into OUTDIR.",
    )
    parser.add_argument("outdir", metavar="OUTDIR", help="folder for the sheets (made if missing)")
    outdir = parser.parse_args().outdir
    os.makedirs(outdir, exist_ok=True)
    for make in (walls, wall_style, thick_walls, floors, water):
        make(outdir)


if __name__ == "__main__":
    main()
