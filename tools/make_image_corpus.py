#!/usr/bin/python3
"""Makes the image corpus of the TGA and BMP reader tests (tests/data/images).

Every image is made by Pillow or ImageMagick, or, for the few records neither
tool writes (TGA run-length packets that cross rows, right-to-left TGA rows,
RLE8 delta records and absolute runs, broken headers), packed by hand below
from Pillow-made pixels. Beside each readable image goes <name>.txt, the
pixels as Pillow decodes it; the tests compare the readers with these pixel
for pixel. Where ImageMagick reads the same file correctly, the script also
checks that it agrees with Pillow. MANIFEST.txt records how each file was
made, including every external command run.

Run from the repository root: /usr/bin/python3 tools/make_image_corpus.py
(needs Debian's imagemagick and python3-pil). Output is deterministic.
"""

import argparse
import os
import random
import shlex
import struct
import subprocess
import sys

import PIL
from PIL import Image

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "images")
CONVERT = "/usr/bin/convert"
manifest = []


def record(name, how):
    manifest.append(f"{name}: {how}")


def run(args):
    """Runs an external command in the corpus directory and records it."""
    manifest.append("  $ " + " ".join(shlex.quote(a) for a in args))
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, cwd=OUT).stdout


def path(name):
    return os.path.join(OUT, name)


# ---------------------------------------------------------------- pictures


def render_like(width, height, seed, alpha):
    """A small render: flat areas (so runs appear), a gradient and noise."""
    rng = random.Random(seed)
    im = Image.new("RGBA", (width, height))
    for y in range(height):
        for x in range(width):
            if x < width // 3:
                c = (200, 40, 40)
            elif y % 3 == 0:
                c = (x * 17 % 256, y * 29 % 256, 90)
            else:
                c = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
            a = (255 if x < width // 3 else (x * 13 + y * 7) % 256) if alpha else 255
            im.putpixel((x, y), c + (a,))
    return im


def palette_picture(width, height, colours, seed):
    rng = random.Random(seed)
    im = Image.new("P", (width, height))
    pal = []
    for i in range(colours):
        pal += [(i * 37) % 256, (255 - i * 11) % 256, (i * 5) % 256]
    im.putpalette(pal)
    for y in range(height):
        for x in range(width):
            im.putpixel((x, y), (x + y) % colours if x % 4 else rng.randrange(colours))
    return im


# ---------------------------------------------------------------- dumps


def imagemagick_rgba(name):
    """ImageMagick's decoding as RGBA bytes, turned to top-left order."""
    return run([CONVERT, name, "-auto-orient", "-depth", "8", "rgba:-"])


def dump_tga(name, decoder="Pillow"):
    """The decoder's pixels as 'x y r g b a' lines (a = 255 for 24-bit).
    Pillow refuses run-length packets that cross rows, so those files are
    decoded by ImageMagick; every other file by Pillow, with ImageMagick
    checked against it."""
    if decoder == "Pillow":
        im = Image.open(path(name)).convert("RGBA")
        if imagemagick_rgba(name) != im.tobytes():
            sys.exit(f"ImageMagick and Pillow disagree on {name}")
        version = f"Pillow {PIL.__version__} (ImageMagick agrees)"
    else:
        probe = Image.open(path(name))
        im = Image.frombytes("RGBA", probe.size, imagemagick_rgba(name))
        version = "ImageMagick " + run([CONVERT, "-version"]).decode().split()[2]
        manifest.pop()
    lines = [f"# {name} as decoded by {version}", f"size {im.width} {im.height}"]
    px = im.load()
    for y in range(im.height):
        for x in range(im.width):
            lines.append("%d %d %d %d %d %d" % ((x, y) + px[x, y]))
    write_text(os.path.splitext(name)[0] + ".txt", lines)
    return im


def dump_bmp(name, decoder="Pillow"):
    """The palette ('colour i r g b') and the indices ('x y index'). Pillow
    gives indices directly, with ImageMagick's colours checked against them;
    Pillow 9.4 misreads RLE8 delta records (it takes the two delta bytes
    twice), so files with deltas are decoded by ImageMagick and its colours
    mapped back through the palette, whose entries must then be distinct."""
    im = Image.open(path(name))
    assert im.mode == "P", name
    pal = im.getpalette()
    colours = [tuple(pal[3 * i:3 * i + 3]) for i in range(len(pal) // 3)]
    rgba = imagemagick_rgba(name)
    if decoder == "Pillow":
        if rgba != im.convert("RGBA").tobytes():
            sys.exit(f"ImageMagick and Pillow disagree on {name}")
        source = f"Pillow {PIL.__version__} (ImageMagick agrees on the colours)"
        px = im.load()
        index = lambda x, y: px[x, y]
    else:
        assert len(set(colours)) == len(colours), "palette entries must be distinct"
        lookup = {c: i for i, c in enumerate(colours)}
        source = "ImageMagick " + run([CONVERT, "-version"]).decode().split()[2] + ", colours mapped to indices"
        manifest.pop()
        index = lambda x, y: lookup[tuple(rgba[(y * im.width + x) * 4:(y * im.width + x) * 4 + 3])]
    lines = [f"# {name} as decoded by {source}", f"size {im.width} {im.height}"]
    for i, (r, g, b) in enumerate(colours):
        lines.append("colour %d %d %d %d" % (i, r, g, b))
    for y in range(im.height):
        for x in range(im.width):
            lines.append("%d %d %d" % (x, y, index(x, y)))
    write_text(os.path.splitext(name)[0] + ".txt", lines)


def write_text(name, lines):
    with open(path(name), "w") as f:
        f.write("\n".join(lines) + "\n")


# ---------------------------------------------------------------- byte patches and hand packing


def patch(src, dst, offset, data, why):
    b = bytearray(open(path(src), "rb").read())
    b[offset:offset + len(data)] = data
    open(path(dst), "wb").write(bytes(b))
    record(dst, f"{src} with bytes at {offset} set to {data.hex()} ({why})")


def truncate(src, dst, size, why):
    open(path(dst), "wb").write(open(path(src), "rb").read()[:size])
    record(dst, f"the first {size} bytes of {src} ({why})")


def tga_header(width, height, bits, descriptor, image_type=10):
    return bytes([0, 0, image_type]) + bytes(9) + struct.pack("<HH", width, height) + bytes([bits, descriptor])


def pack_tga_rle(pixels, plan, bpp):
    """Packs pixels (file order, each bpp bytes) by a plan of ('raw'|'run', count)
    packets, which may cross rows. A run takes the pixel at its start."""
    out = bytearray()
    i = 0
    for kind, count in plan:
        assert 1 <= count <= 128
        if kind == "run":
            assert all(p == pixels[i] for p in pixels[i:i + count]), "run over unequal pixels"
            out.append(0x80 | (count - 1))
            out += pixels[i]
        else:
            out.append(count - 1)
            for p in pixels[i:i + count]:
                out += p
        i += count
    assert i == len(pixels), (i, len(pixels))
    return bytes(out)


def file_order_pixels(im, bpp, top_down, right_to_left):
    px = im.load()
    rows = range(im.height) if top_down else range(im.height - 1, -1, -1)
    cols = range(im.width - 1, -1, -1) if right_to_left else range(im.width)
    out = []
    for y in rows:
        for x in cols:
            r, g, b, a = px[x, y]
            out.append(bytes([b, g, r, a][:bpp]))
    return out


def crossing_picture(width, height, runs, seed):
    """Noise, with flat spans (in top-down file order) where runs go."""
    rng = random.Random(seed)
    im = Image.new("RGBA", (width, height))
    flat = {}
    for start, count, colour in runs:
        for k in range(start, start + count):
            flat[k] = colour
    for k in range(width * height):
        c = flat.get(k) or (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.randrange(1, 256))
        im.putpixel((k % width, k // width), c)
    return im


# ---------------------------------------------------------------- the corpus


def make_tga():
    im = render_like(13, 7, 1, alpha=True)
    for bits, mode in ((24, "RGB"), (32, "RGBA")):
        for origin, orientation in (("bottom", -1), ("top", 1)):
            name = f"tga{bits}_raw_{origin}.tga"
            im.convert(mode).save(path(name), orientation=orientation)
            record(name, f"Pillow: 13x7 {mode} render saved uncompressed, orientation={orientation}")
            dump_tga(name)
    for bits, mode, origin, orientation in ((24, "RGB", "bottom", -1), (32, "RGBA", "top", 1)):
        name = f"tga{bits}_rle_{origin}.tga"
        im.convert(mode).save(path(name), compression="tga_rle", orientation=orientation)
        record(name, f"Pillow: 13x7 {mode} render saved with compression=tga_rle, orientation={orientation}")
        dump_tga(name)

    im.save(path("render13x7.png"))
    record("tga32_rle_im.tga", "ImageMagick: the render (saved by Pillow as PNG) as 32-bit run-length TGA")
    run([CONVERT, "render13x7.png", "-compress", "RLE", "tga:tga32_rle_im.tga"])
    dump_tga("tga32_rle_im.tga")
    record("tga24_raw_im.tga", "ImageMagick: the render as 24-bit uncompressed TGA")
    run([CONVERT, "render13x7.png", "-alpha", "off", "tga:tga24_raw_im.tga"])
    dump_tga("tga24_raw_im.tga")
    os.remove(path("render13x7.png"))

    # 120 x 3, top-down: raw packets up to column 110, then a run of 128 that
    # fills the last 10 pixels of row 0 and the first 118 of row 1; a raw
    # packet of 100 crosses from row 1 into row 2.
    width, height = 120, 3
    runs = [(110, 128, (10, 200, 30, 77))]
    cross = crossing_picture(width, height, runs, 2)
    pixels = file_order_pixels(cross, 4, top_down=True, right_to_left=False)
    plan = [("raw", 110), ("run", 128), ("raw", 100), ("raw", 22)]
    with open(path("tga32_rle_cross.tga"), "wb") as f:
        f.write(tga_header(width, height, 32, 0x28) + pack_tga_rle(pixels, plan, 4))
    record("tga32_rle_cross.tga", f"hand-packed run-length TGA of a Pillow picture, top-down, packets {plan}")
    if dump_tga("tga32_rle_cross.tga", "ImageMagick").tobytes() != cross.tobytes():
        sys.exit("ImageMagick does not decode tga32_rle_cross.tga to the packed picture")

    # 24-bit, bottom-up and right to left, packets crossing rows.
    width, height = 13, 5
    runs = [(10, 6, (1, 2, 3, 255)), (30, 20, (90, 80, 70, 255))]
    rtl = crossing_picture(width, height, [], 3).convert("RGB").convert("RGBA")
    pixels = file_order_pixels(rtl, 3, top_down=False, right_to_left=True)
    for start, count, colour in runs:
        for k in range(start, start + count):
            pixels[k] = bytes([colour[2], colour[1], colour[0]])
    plan = [("raw", 10), ("run", 6), ("raw", 14), ("run", 20), ("raw", 15)]
    with open(path("tga24_rle_rtl.tga"), "wb") as f:
        f.write(tga_header(width, height, 24, 0x10) + pack_tga_rle(pixels, plan, 3))
    record("tga24_rle_rtl.tga", f"hand-packed run-length TGA, bottom-up, right to left, packets {plan}")
    decoded = dump_tga("tga24_rle_rtl.tga", "ImageMagick").load()
    for k, p in enumerate(pixels):
        x, y = width - 1 - k % width, height - 1 - k // width
        if decoded[x, y] != (p[2], p[1], p[0], 255):
            sys.exit("ImageMagick does not decode tga24_rle_rtl.tga to the packed pixels")

    # Files the reader rejects or reports.
    grey = im.convert("L")
    grey.save(path("tga_grey.tga"))
    record("tga_grey.tga", "Pillow: the render in grey (image type 3)")
    im.convert("RGB").quantize(16).save(path("tga_mapped.tga"))
    record("tga_mapped.tga", "Pillow: the render quantised to 16 colours (colour-mapped, image type 1)")
    patch("tga24_raw_top.tga", "tga16.tga", 16, bytes([16]), "16 bits per pixel")
    patch("tga32_raw_top.tga", "tga32_alpha0.tga", 17, bytes([0x20]), "no alpha bits")
    patch("tga24_raw_top.tga", "tga_cmap_flag.tga", 1, bytes([1]), "colour-map type 1 on a true-colour image")
    truncate("tga32_raw_top.tga", "tga32_truncated.tga", 18 + 13 * 7 * 4 - 1, "pixel data one byte short")
    truncate("tga32_raw_top.tga", "tga_header_short.tga", 17, "header one byte short")

    # Run-length data whose last packet goes 5 pixels past the last row.
    width, height = 13, 2
    body = bytes([0x80 | 30, 1, 2, 3, 4])
    with open(path("tga32_rle_past_edge.tga"), "wb") as f:
        f.write(tga_header(width, height, 32, 0x28) + body)
    record("tga32_rle_past_edge.tga", "hand-packed: one run of 31 on a 13x2 image (5 pixels too many)")
    # Run-length data that stops inside a raw packet (enough bytes to open).
    body = bytes([0x80 | 12, 1, 2, 3, 4, 127]) + bytes(4 * 5)
    with open(path("tga32_rle_short.tga"), "wb") as f:
        f.write(tga_header(width, height, 32, 0x28) + body)
    record("tga32_rle_short.tga", "hand-packed: a run of 13, then a raw packet of 128 with 5 pixels")


def bmp_rle8(width, height, palette, records):
    """An 8-bit RLE BMP from raw record bytes, with a full palette."""
    pal = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(records), 2835, 2835, len(palette), 0)
    return b"BM" + struct.pack("<IHHI", offset + len(records), 0, 0, offset) + info + pal + records


def make_bmp():
    im = palette_picture(13, 7, 256, 4)
    im.save(path("bmp8_raw_w13_256.bmp"))
    record("bmp8_raw_w13_256.bmp", "Pillow: 13x7 picture with a 256-colour palette (biClrUsed 256)")
    dump_bmp("bmp8_raw_w13_256.bmp")
    patch("bmp8_raw_w13_256.bmp", "bmp8_raw_w13.bmp", 46, bytes(4),
          "biClrUsed 0: neither tool writes 0 for a full palette; it means the same 256 entries")
    dump_bmp("bmp8_raw_w13.bmp")
    im16 = palette_picture(13, 7, 16, 5)
    im16.save(path("bmp8_raw_16.bmp"))
    record("bmp8_raw_16.bmp", "Pillow: 13x7 picture with a 16-colour palette (biClrUsed 16)")
    dump_bmp("bmp8_raw_16.bmp")

    im.convert("RGB").save(path("picture13x7.png"))
    record("bmp8_rle_im.bmp", "ImageMagick: the 13x7 picture (saved by Pillow as PNG) as RLE8 "
           "(runs only; it writes each row's padding as a run)")
    run([CONVERT, "picture13x7.png", "-type", "Palette", "-compress", "RLE", "BMP3:bmp8_rle_im.bmp"])
    dump_bmp("bmp8_rle_im.bmp")
    # ImageMagick's own BMP format writes the colour-space headers paint
    # programs write by default: 124 bytes, or 108 when the picture has no
    # rendering intent; BMP2 writes the 12-byte header of the oldest
    # layout, which the reader does not take.
    record("bmp8_v5_im.bmp", "ImageMagick: the 13x7 picture as an uncompressed 8-bit BMP with a 124-byte info header")
    run([CONVERT, "picture13x7.png", "-type", "Palette", "-compress", "none", "BMP:bmp8_v5_im.bmp"])
    dump_bmp("bmp8_v5_im.bmp")
    record("bmp8_v4_im.bmp", "ImageMagick: the same with no rendering intent, which gives a 108-byte info header")
    run([CONVERT, "picture13x7.png", "-type", "Palette", "-compress", "none", "-intent", "Undefined",
         "BMP:bmp8_v4_im.bmp"])
    dump_bmp("bmp8_v4_im.bmp")
    record("bmp8_v5_rle_im.bmp", "ImageMagick: the 13x7 picture as RLE8 with a 124-byte info header")
    run([CONVERT, "picture13x7.png", "-type", "Palette", "-compress", "RLE", "BMP:bmp8_v5_rle_im.bmp"])
    dump_bmp("bmp8_v5_rle_im.bmp")
    record("bmp8_core_im.bmp", "ImageMagick: the 13x7 picture as BMP2, with the 12-byte info header of the oldest layout")
    run([CONVERT, "picture13x7.png", "-type", "Palette", "BMP2:bmp8_core_im.bmp"])
    os.remove(path("picture13x7.png"))

    # Hand-written RLE8: runs, an odd absolute run of 3 (plus a pad byte),
    # an even one of 4, a delta record and end-of-line and end-of-bitmap.
    # Neither tool writes delta records or absolute runs.
    palette = [((i * 7) % 256, (i * 13) % 256, (255 - i) % 256) for i in range(256)]
    records = bytes([
        5, 1, 0, 3, 20, 21, 22, 0, 2, 9, 0, 0,           # row 0: run 5 x 1, absolute 20 21 22 (pad), run 2 x 9, EOL
        0, 4, 30, 31, 32, 33, 3, 7, 0, 2, 2, 1, 1, 8,    # row 1: absolute 30..33, run 3 x 7, delta right 2 up 1, run 1 x 8
        0, 0,                                            # EOL: row 3 begins
        0, 2, 4, 0, 0, 5, 40, 41, 42, 43, 44, 0, 2, 6,   # row 3: delta right 4, absolute 40..44 (pad), run 2 x 6
        0, 0, 11, 12,                                    # EOL, row 4: run 11 x 12
        0, 1,                                            # end of bitmap
    ])
    with open(path("bmp8_rle_hand.bmp"), "wb") as f:
        f.write(bmp_rle8(11, 5, palette, records))
    record("bmp8_rle_hand.bmp", "hand-written RLE8 records (runs, odd and even absolute runs, deltas, EOL, EOB)")
    dump_bmp("bmp8_rle_hand.bmp", "ImageMagick")

    # Files the reader rejects or reports.
    im.convert("RGB").save(path("bmp24.bmp"))
    record("bmp24.bmp", "Pillow: the picture as a 24-bit BMP")
    palette_picture(13, 7, 16, 6).save(path("picture16.png"))
    record("bmp4_im.bmp", "ImageMagick: a 16-colour picture (saved by Pillow as PNG), which it writes with 4 bits")
    run([CONVERT, "picture16.png", "-type", "Palette", "BMP3:bmp4_im.bmp"])
    os.remove(path("picture16.png"))
    patch("bmp8_raw_16.bmp", "bmp_not_bm.bmp", 0, b"MB", "magic swapped")
    patch("bmp8_raw_16.bmp", "bmp_too_many_colours.bmp", 46, struct.pack("<I", 300), "biClrUsed 300")
    truncate("bmp8_raw_16.bmp", "bmp_palette_short.bmp", 14 + 40 + 15 * 4, "palette one entry short")
    truncate("bmp8_raw_16.bmp", "bmp_header_short.bmp", 14 + 39, "info header one byte short")
    truncate("bmp8_raw_w13.bmp", "bmp8_pixels_short.bmp", 14 + 40 + 1024 + 16 * 6 + 5, "pixel rows cut short")
    with open(path("bmp8_rle_past_edge.bmp"), "wb") as f:
        f.write(bmp_rle8(4, 2, palette, bytes([6, 3, 0, 0, 0, 2, 0, 5, 2, 4, 0, 1])))
    record("bmp8_rle_past_edge.bmp", "hand-written RLE8 on 4x2: a run of 6 and a delta up 5 rows past the top")


def main():
    # No arguments: the corpus always goes where the tests read it.
    argparse.ArgumentParser(
        description=__doc__.split("\n\n", 1)[0],
        epilog=f"Writes the images, their pixel texts and MANIFEST.txt into {os.path.normpath(OUT)}.",
    ).parse_args()
    os.makedirs(OUT, exist_ok=True)
    make_tga()
    make_bmp()
    header = [
        "# How each file here was made (tools/make_image_corpus.py).",
        f"# Pillow {PIL.__version__}; " + run([CONVERT, "-version"]).decode().splitlines()[0].split(" http")[0],
        "",
    ]
    # The version line's own command is not part of any file's recipe.
    manifest.pop()
    write_text("MANIFEST.txt", header + manifest)


if __name__ == "__main__":
    main()
