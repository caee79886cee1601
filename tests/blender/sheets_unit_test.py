#!/usr/bin/python3
"""The add-on's parts that need no Blender: its options, its sheet layout
(which must be the demo generator's, cell for cell, since the build reads
both with one rule) and its TGA files (read back by an independent reader).
"""

import os
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tools", "blender"))

import make_demo_object as generator  # noqa: E402
from pixmold_sheets import layout, tga  # noqa: E402
from pixmold_sheets.options import EXIT_USAGE, UserError, job_from_arguments  # noqa: E402

REQUIRED = ["--collection", "Box", "--out", "out", "--id", "100", "--name", "Box"]


class OptionsTest(unittest.TestCase):
    def test_bad_options_are_usage_errors_naming_the_fix(self):
        cases = [
            (["--frames", "3"], "--frames 3 is not 1 or 2"),
            (["--columns", "3"], "--columns 3 is not 1, 2 or 4"),
            (["--columns", "2"], "symmetry none needs 4 columns"),
            (["--symmetry", "bi-lateral", "--columns", "1"], "symmetry bi-lateral needs 2 columns"),
            (["--id", "40000"], "--id 40000 is not 0..32767"),
            (["--palette-id", "-2"], "--palette-id -2 is not -1..32767"),
            (["--name", 'A "quoted" name'], "may not hold a quote"),
            (["--name", "x" * 64], "--name must be 1 to 63 bytes"),
            (["--build"], "--build needs --object-file"),
            (["--sizes", "136x192,68x96"], "give 1 (large) or 3"),
            (["--sizes", "136by192"], "is not WxH"),
            (["--sizes", "136x40"], "the large cell 136x40 is too short"),
            (["--symmetry", "mirror"], "invalid choice: 'mirror'"),
        ]
        for extra, message in cases:
            with self.subTest(extra=extra):
                with self.assertRaises(UserError) as caught:
                    job_from_arguments(REQUIRED + extra)
                self.assertEqual(caught.exception.status, EXIT_USAGE)
                self.assertIn(message, str(caught.exception))

    def test_defaults_follow_the_symmetry_and_the_id(self):
        job = job_from_arguments(REQUIRED + ["--symmetry", "bi-lateral", "--name", "Side Table #2"])
        self.assertEqual((job.columns, job.palette_id, job.base_name), (2, 100, "side_table_2"))
        job = job_from_arguments(REQUIRED + ["--palette-id", "-1", "--columns", "4", "--symmetry", "radial"])
        self.assertEqual((job.columns, job.palette_id), (4, -1))


class LayoutTest(unittest.TestCase):
    def test_sheets_are_laid_out_as_the_demo_generator_lays_them(self):
        for width, height, slop, border in ((136, 192, 8, 1), (64, 80, 0, 2), (200, 260, 12, 0)):
            ours = layout.Sizes([(width, height)], slop, border)
            theirs = generator.Sizes(width, height, slop, border)
            with self.subTest(sizes=(width, height, slop, border)):
                self.assertEqual(ours.tag(), theirs.tag())
                for size in range(3):
                    self.assertEqual(ours.reference(size), theirs.reference(size, 0, 0))
            for symmetry, columns, frames in (("none", 4, 2), ("bi-lateral", 2, 1), ("radial", 1, 2)):
                sprite = generator.Sprite(100, "x", [], symmetry, columns, frames)
                sheet = generator.Sheet("x", [sprite], theirs)
                expected = [c for f in range(frames) for c in sheet.cells(sprite, f)]
                cells = layout.sheet_cells(ours, symmetry, columns, frames)
                with self.subTest(symmetry=symmetry, columns=columns, frames=frames):
                    self.assertEqual([(c.size, c.column, c.x, c.y, c.width, c.height) for c in cells], expected)
                    self.assertEqual(layout.sheet_size(cells), (sheet.width, sheet.height))
                    views = generator.SLOT_VIEWS[symmetry]
                    self.assertEqual([c.direction for c in cells], [views[c.column][0] for c in cells])


class TgaTest(unittest.TestCase):
    def test_sheet_and_alpha_image_read_back_pixel_for_pixel(self):
        random = np.random.default_rng(7)
        rgb = random.integers(0, 256, (5, 7, 3), dtype=np.uint8)
        depth = random.integers(0, 256, (5, 7), dtype=np.uint8)
        with tempfile.TemporaryDirectory() as folder:
            sheet, alpha = os.path.join(folder, "s.tga"), os.path.join(folder, "salpha.tga")
            tga.write_sheet(sheet, rgb, depth)
            tga.write_alpha_image(alpha, depth)
            read = np.array(Image.open(sheet))
            np.testing.assert_array_equal(read, np.dstack([rgb, depth]))
            read = np.array(Image.open(alpha))
            np.testing.assert_array_equal(read, np.dstack([depth] * 3))
            self.assertEqual(sorted(os.listdir(folder)), ["s.tga", "salpha.tga"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
