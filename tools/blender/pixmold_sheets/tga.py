"""Uncompressed TGA files as the build reads them: a 32-bit sheet whose alpha
channel is depth, and a 24-bit grey alpha image. Written here, with numpy
alone, because Blender's own image writer would treat the depth as opacity
and premultiply the colour by it."""

import os
import struct

import numpy as np


def _write(path, pixels_bgr_or_bgra):
    """Rows bottom first (the TGA default origin), written to a temporary name
    and renamed, so a sheet is never left half-written."""
    height, width, channels = pixels_bgr_or_bgra.shape
    descriptor = 8 if channels == 4 else 0  # alpha bits; origin bottom-left
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, channels * 8, descriptor)
    temporary = path + ".partial"
    with open(temporary, "wb") as out:
        out.write(header)
        out.write(np.ascontiguousarray(pixels_bgr_or_bgra[::-1]).tobytes())
    os.replace(temporary, path)


def write_sheet(path, rgb, depth):
    """rgb: height x width x 3 bytes; depth: height x width bytes, 255 where
    nothing is drawn."""
    _write(path, np.dstack([rgb[..., 2], rgb[..., 1], rgb[..., 0], depth]).astype(np.uint8))


def write_alpha_image(path, coverage):
    """coverage: height x width bytes, 0 clear to 255 opaque; grey, as the
    build reads the red channel."""
    grey = coverage.astype(np.uint8)
    _write(path, np.dstack([grey, grey, grey]))
