#!/usr/bin/python3
"""Renders the demo scene's calibration box with Blender, headless, and checks
what a wrong camera or depth mapping would break, against this file's own
ray-cast of the box: where its pixels land in every direction and zoom,
which side each view shows, the depth of every pixel, the diagonal views of
a second frame, and where the build and the preview compositor put it.
The add-on itself is installed from its zip and its operator run through
bpy.ops on a floor tile, whose depth at the reference point is the
reference depth.

Needs blender (Debian's 3.4), python3-numpy and python3-pil; the pixmold
program comes in PIXMOLD, a scratch folder in PIXMOLD_TEST_WORK.
"""

import json
import math
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools", "blender")
HERE = os.path.dirname(os.path.abspath(__file__))
BLENDER = os.environ.get("BLENDER", "blender")
PIXMOLD = os.environ.get("PIXMOLD", "pixmold")
RENDER_DEADLINE = 300  # seconds for the biggest Blender run; a hang fails here, not at CTest's timeout
DEADLINE = 120

# The demo scene's calibration box: centred on the origin, standing on the
# floor, each side its own colour.
BOX_LO = np.array((-0.3, -0.2, 0.0))
BOX_HI = np.array((0.3, 0.2, 0.5))
SIDE_COLOURS = {"+x": "red", "-x": "yellow", "+y": "green", "-y": "blue", "+z": "grey"}
HUES = {"red": 0, "yellow": 43, "green": 85, "blue": 170}  # PIL's hue, 0..255 for a full turn
SIDES = ("+x", "-x", "+y", "-y", "+z", "-z")

# The game's view, stated independently of the code under test: a floor
# tile is 128 pixels across at the large zoom, seen from 30 degrees above
# the floor; view d is the object turned d x 45 degrees; depth is 128 at
# the reference point and grows by 48 per unit away from the viewer.
ELEVATION = math.radians(30)
ZOOM_SCALE = {"large": 1.0, "medium": 0.5, "small": 0.25}


def camera(turn_degrees, zoom_scale):
    """Screen right, up and into-screen in world units, and pixels per unit."""
    a = math.radians(-turn_degrees)
    r = 1 / math.sqrt(2)

    def turned(x, y, z):
        return np.array((math.cos(a) * x - math.sin(a) * y, math.sin(a) * x + math.cos(a) * y, z))

    right = turned(r, -r, 0)
    up = turned(-r * math.sin(ELEVATION), -r * math.sin(ELEVATION), math.cos(ELEVATION))
    into = turned(-r * math.cos(ELEVATION), -r * math.cos(ELEVATION), -math.sin(ELEVATION))
    return right, up, into, 128 * zoom_scale / math.sqrt(2)


def ray_cast_box(turn_degrees, zoom_scale, width, height, ref_x, ref_y):
    """Hit mask, side index (into SIDES) and unrounded depth per pixel, one
    ray through each pixel's centre."""
    right, up, into, scale = camera(turn_degrees, zoom_scale)
    xs, ys = np.meshgrid((np.arange(width) + 0.5 - ref_x) / scale, (np.arange(height) + 0.5 - ref_y) / scale)
    back = 10.0
    origin = xs[..., None] * right - ys[..., None] * up - back * into
    with np.errstate(divide="ignore"):
        t0 = (BOX_LO - origin) / into
        t1 = (BOX_HI - origin) / into
    near = np.minimum(t0, t1)
    t_near, t_far = near.max(axis=-1), np.maximum(t0, t1).min(axis=-1)
    axis = near.argmax(axis=-1)
    side = axis * 2 + (into[axis] > 0)  # entering against the ray: the + side when the ray runs towards -
    return t_near < t_far, side, 128 + 48 * (t_near - back)


def corners_on_screen(turn_degrees, zoom_scale, ref_x, ref_y):
    right, up, _, scale = camera(turn_degrees, zoom_scale)
    corners = np.array([(x, y, z) for x in (BOX_LO[0], BOX_HI[0]) for y in (BOX_LO[1], BOX_HI[1])
                        for z in (BOX_LO[2], BOX_HI[2])])
    return ref_x + corners @ right * scale, ref_y - corners @ up * scale


def colour_name(rgb):
    """The nearest side colour by hue; unsaturated pixels are grey."""
    hsv = np.array(Image.fromarray(rgb.astype(np.uint8)[None]).convert("HSV"))[0].astype(int)
    names = np.array(list(HUES))
    gap = np.abs(hsv[:, 0, None] - np.array(list(HUES.values())))
    nearest = names[np.minimum(gap, 256 - gap).argmin(axis=-1)]
    return np.where(hsv[:, 1] < 64, "grey", nearest)


def neighbourhood_same(values):
    """True where all eight neighbours hold the pixel's own value."""
    padded = np.pad(values, 1, mode="edge")
    h, w = values.shape
    same = np.ones(values.shape, bool)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            same &= padded[1 + dy:1 + dy + h, 1 + dx:1 + dx + w] == values
    return same


def run(command, deadline=DEADLINE, env=None, check=True, cwd=None):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=deadline,
                          env=env, cwd=cwd)
    if check and done.returncode != 0:
        raise AssertionError(f"{' '.join(command)} exited with {done.returncode}:\n{done.stdout}")
    return done


def read_sheet(path):
    rgba = np.array(Image.open(path).convert("RGBA"))
    return rgba[..., :3].astype(int), rgba[..., 3]


def sizes_from_markup(markup):
    """The sizes tag as the build reads it, through pixmold tags."""
    listing = run([PIXMOLD, "tags", markup]).stdout
    for tag in re.findall(r"<\n(.*?)\n>", listing, re.S):
        entries = tag.split("\n")
        if entries[0] == "sizes":
            return dict(e.split("=", 1) for e in entries[1:])
    raise AssertionError(f"no sizes tag in {markup}")


def cells(sizes, columns, frames):
    """(frame, zoom name, column, left, top, width, height, ref_x, ref_y) of
    every cell, by the build's layout: a row per frame holding the large
    cells, then the medium, then the small ones."""
    border = int(sizes["border"])
    out = []
    for frame in range(frames):
        x = 0
        for letter, zoom in zip("lms", ZOOM_SCALE):
            w, h = int(sizes[letter + "width"]), int(sizes[letter + "height"])
            ref = (int(sizes[letter + "xorigin"]) + border, int(sizes[letter + "yorigin"]) - border)
            for column in range(columns):
                out.append((frame, zoom, column, x, frame * int(sizes["lheight"]), w, h, *ref))
                x += w
    return out


class Work:
    folder = None
    scene = None


def setUpModule():
    if shutil.which(BLENDER) is None:
        raise RuntimeError(f"{BLENDER} not found: install Blender with bash scripts/install-deps.sh --blender")
    Work.folder = os.environ.get("PIXMOLD_TEST_WORK") or tempfile.mkdtemp(prefix="pixmold-blender-")
    shutil.rmtree(Work.folder, ignore_errors=True)
    os.makedirs(Work.folder)
    Work.scene = os.path.join(Work.folder, "scene", "demo.blend")
    # As README runs it: a path relative to the working folder, into a folder not made yet.
    run([BLENDER, "-b", "--factory-startup", "-noaudio", "--python", os.path.join(TOOLS, "make_demo_scene.py"), "--",
         os.path.join("scene", "demo.blend")], cwd=Work.folder)


def pixmold_on_path():
    """The environment a user has after README's first steps: pixmold found on PATH."""
    return dict(os.environ, PATH=os.path.dirname(os.path.abspath(PIXMOLD)) + os.pathsep + os.environ["PATH"])


class CalibrationBoxTest(unittest.TestCase):
    """Four views and their diagonals, three zooms, rendered and built once
    into an object file, then drawn by the preview compositor."""

    # Cells just large enough for the box in every view keep the render short.
    SIZES = "80x104,44x56,24x32"

    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(Work.folder, "box")
        cls.object_file = os.path.join(cls.out, "box.iff")
        cls.log = run([BLENDER, "-b", Work.scene, "-noaudio", "--python", os.path.join(TOOLS, "pixmold_render.py"),
                       "--", "--collection", "Calibration Box", "--out", cls.out, "--id", "100", "--name",
                       "Calibration Box", "--frames", "2", "--sizes", cls.SIZES, "--samples", "8",
                       "--object-file", cls.object_file, "--build"], RENDER_DEADLINE, env=pixmold_on_path()).stdout
        cls.rgb, cls.depth = read_sheet(os.path.join(cls.out, "calibration_box.tga"))
        cls.cells = cells(sizes_from_markup(os.path.join(cls.out, "calibration_box.omk")), 4, 2)

    def views(self):
        """(label, turn, zoom, ref_x, ref_y, colour, depth) of every cell."""
        out = []
        for frame, zoom, column, left, top, w, h, ref_x, ref_y in self.cells:
            area = np.s_[top:top + h, left:left + w]
            label = {"direction": 2 * column + frame, "zoom": zoom}
            out.append((label, 90 * column + 45 * frame, zoom, ref_x, ref_y, self.rgb[area], self.depth[area]))
        return out

    def test_pixels_land_where_the_projection_puts_the_corners(self):
        extents = {}
        for label, turn, zoom, ref_x, ref_y, _, depth in self.views():
            rows, columns = np.nonzero(depth != 255)
            xs, ys = corners_on_screen(turn, ZOOM_SCALE[zoom], ref_x, ref_y)
            drawn = np.array((columns.min(), columns.max() + 1, rows.min(), rows.max() + 1))
            expected = np.array((xs.min(), xs.max(), ys.min(), ys.max()))
            with self.subTest(**label):
                np.testing.assert_allclose(drawn, expected, atol=1.0)
            extents[turn, zoom] = (drawn[1] - drawn[0], drawn[3] - drawn[2])
        for turn in {t for t, _ in extents}:
            for bigger, smaller in (("large", "medium"), ("medium", "small")):
                with self.subTest(turn=turn, zoom=smaller):
                    np.testing.assert_allclose(extents[turn, smaller], np.array(extents[turn, bigger]) / 2, atol=1.0)

    def test_each_view_shows_the_sides_facing_it(self):
        for label, turn, zoom, ref_x, ref_y, rgb, depth in self.views():
            hit, side, _ = ray_cast_box(turn, ZOOM_SCALE[zoom], depth.shape[1], depth.shape[0], ref_x, ref_y)
            inside = hit & neighbourhood_same(np.where(hit, side, -1))
            expected = np.array([SIDE_COLOURS[SIDES[s]] for s in side[inside]])
            seen = colour_name(rgb[inside])
            with self.subTest(**label):
                self.assertGreater(inside.sum(), 0)
                self.assertEqual((seen != expected).sum(), 0,
                                 f"sides seen {sorted(set(seen))}, expected {sorted(set(expected))}")

    def test_depth_matches_the_ray_cast_and_meets_the_floor_at_reference_depth(self):
        for label, turn, zoom, ref_x, ref_y, _, depth in self.views():
            hit, side, expected = ray_cast_box(turn, ZOOM_SCALE[zoom], depth.shape[1], depth.shape[0], ref_x, ref_y)
            inside = hit & neighbourhood_same(np.where(hit, side, -1))
            with self.subTest(**label):
                self.assertLessEqual(np.abs(depth[inside] - expected[inside]).max(), 1.0)
            if zoom != "large":
                continue
            # Where the box stands on the floor its depth is the floor's: the
            # reference depth, less the floor's slope towards the viewer. The
            # lowest drawn pixel's centre lies up to a pixel above that line,
            # on the side: 0.8 of depth, and 0.5 more for rounding.
            right, up, into, scale = camera(turn, ZOOM_SCALE[zoom])
            for column in np.nonzero((depth != 255).any(axis=0))[0][2:-2]:
                bottom = np.nonzero(depth[:, column] != 255)[0].max()
                on_floor = self.floor_point(column + 0.5, bottom + 1.0, ref_x, ref_y, right, up, scale)
                with self.subTest(**label, column=int(column)):
                    self.assertAlmostEqual(float(depth[bottom, column]), 128 + 48 * float(on_floor @ into), delta=1.3)

    @staticmethod
    def floor_point(x, y, ref_x, ref_y, right, up, scale):
        """The point on the floor (z 0) seen at screen position (x, y)."""
        a = np.array([[right[0], right[1]], [up[0], up[1]]])
        fx, fy = np.linalg.solve(a, ((x - ref_x) / scale, -(y - ref_y) / scale))
        return np.array((fx, fy, 0.0))

    def test_built_composite_puts_the_footprint_centre_on_the_reference_point(self):
        previews = os.path.join(self.out, "previews")
        # The object, as the build split it: the name without its extension.
        built = os.path.splitext(self.object_file)[0]
        run([PIXMOLD, "preview", built, "DGRP", "100", "-o", previews, "-q"])
        group = json.loads(run([PIXMOLD, "dump", built, "DGRP", "100", "--json"]).stdout)
        items = {(d, image["zoom"]): image["items"] for image in group["images"]
                 for d in range(8) if image["directionMask"] & 1 << d}
        # The second frame's row is built into the diagonal directions.
        self.assertEqual(sorted(items), [(d, z) for d in range(8) for z in (1, 2, 3)])
        for (direction, zoom), view_items in items.items():
            label = {"direction": direction, "zoom": zoom}
            with self.subTest(**label):
                self.assertEqual(len(view_items), 1)
                offset_x, offset_y = view_items[0]["offsetX"], view_items[0]["offsetY"]
                alpha = np.array(Image.open(os.path.join(previews, f"DGRP_100_d{direction}_z{zoom}.png")))[..., 3]
                # The view spans its one frame and the reference point; the
                # frame's left column lies offsetX right of the reference
                # point and the row below its last offsetY below it.
                ref_x = -min(0, offset_x)
                ref_y = alpha.shape[0] - max(1, offset_y)
                rows, columns = np.nonzero(alpha)
                scale = {1: 0.25, 2: 0.5, 3: 1.0}[zoom]
                _, ys = corners_on_screen(45 * direction, scale, 0, 0)
                below_centre = ys.max()  # the lowest floor corner, below the footprint's centre
                centre = ((columns.min() + columns.max() + 1) / 2, rows.max() + 1 - below_centre)
                np.testing.assert_allclose(centre, (ref_x, ref_y), atol=1.0)


class AddonTest(unittest.TestCase):
    """The add-on as an artist installs it, its operator run through bpy.ops."""

    def test_installed_operator_renders_a_floor_tile_at_reference_depth(self):
        archive = os.path.join(Work.folder, "pixmold_sheets.zip")
        run(["/usr/bin/python3", os.path.join(TOOLS, "make_addon_zip.py"), archive])
        user = os.path.join(Work.folder, "user")
        env = dict(os.environ, BLENDER_USER_SCRIPTS=os.path.join(user, "scripts"),
                   BLENDER_USER_CONFIG=os.path.join(user, "config"))
        out_dir = os.path.join(Work.folder, "tile")
        log = run([BLENDER, "-b", "--factory-startup", "-noaudio", "--python",
                   os.path.join(HERE, "addon_in_blender.py"), "--", archive, out_dir, PIXMOLD], env=env).stdout
        # The panel's line gives the outcome even when warnings follow it.
        self.assertIn("operator result, hard edges: {'FINISHED'} Rendered 3 views in ", log)
        self.assertIn("operator result, soft edges: {'FINISHED'} Rendered 3 views in ", log)
        self.assertTrue(os.path.exists(os.path.join(user, "scripts", "addons", "pixmold_sheets", "ui.py")))
        self.assertFalse(os.path.exists(os.path.join(out_dir, "hard", "floor_tilealpha.tga")))

        (fields,) = re.findall(r"^panel fields: (.*)$", log, re.M)
        self.assertLessEqual({"collection", "sprite_id", "sprite_name", "symmetry", "columns", "frames", "palette_id",
                              "demo_sizes", "out_dir", "object_file", "pixmold"}, set(fields.split()))
        self.assertIn("panel button Render: pixmold.render_sheets {'build': False}", log)
        self.assertIn("panel button Build: pixmold.render_sheets {'build': True}", log)
        # Build: the palette image made, the object built, and both tools'
        # words in the report the panel points to.
        built = os.path.join(out_dir, "built")
        self.assertIn(f"operator result, build: {{'FINISHED'}} Built into {built}/tile.iff", log)
        report = log.split("--- report ---\n", 1)[1].split("--- end of report ---", 1)[0]
        self.assertIn(f"{built}/floor_tile.tga: ", report)
        self.assertIn("wrote 1 palette image", report)
        self.assertIn(f"pixmold: built {built}/tile.iff: ", report)
        group = json.loads(run([PIXMOLD, "dump", os.path.join(built, "tile"), "DGRP", "300", "--json"]).stdout)
        self.assertEqual({i["items"][0]["spriteId"] for i in group["images"]}, {300})
        self.assertEqual({i["zoom"] for i in group["images"]}, {1, 2, 3})

        _, depth = read_sheet(os.path.join(out_dir, "hard", "floor_tile.tga"))
        _, soft_depth = read_sheet(os.path.join(out_dir, "soft", "floor_tile.tga"))
        coverage = np.array(Image.open(os.path.join(out_dir, "soft", "floor_tilealpha.tga")).convert("L"))
        for _, zoom, _, left, top, w, h, ref_x, ref_y in cells(sizes_from_markup(
                os.path.join(out_dir, "hard", "floor_tile.omk")), 1, 1):
            cell = depth[top:top + h, left:left + w]
            rows, columns = np.nonzero(cell != 255)
            half_width = 64 * ZOOM_SCALE[zoom]
            with self.subTest(zoom=zoom):
                # The tile alone: a 2:1 diamond on the reference point. The
                # default cube, two units across, would hide it.
                np.testing.assert_allclose((columns.min(), columns.max() + 1, rows.min(), rows.max() + 1),
                                           (ref_x - half_width, ref_x + half_width, ref_y - half_width / 2,
                                            ref_y + half_width / 2), atol=1.0)
                self.assertAlmostEqual(len(rows) / half_width ** 2, 1.0, delta=0.05)
                # Soft edges: every covered pixel has a depth, the edges are
                # partly covered, and the coverage adds up to the diamond's area.
                area = np.s_[top:top + h, left:left + w]
                covered = coverage[area] > 0
                np.testing.assert_array_equal(covered, soft_depth[area] != 255)
                self.assertGreater(((coverage[area] > 0) & (coverage[area] < 255)).sum(), 4 * half_width)
                self.assertAlmostEqual(coverage[area].sum() / 255 / half_width ** 2, 1.0, delta=0.005)
            if zoom == "large":
                # The four pixels around the reference point lie within half
                # a pixel of it, less than half a step of depth.
                np.testing.assert_array_equal(cell[ref_y - 1:ref_y + 1, ref_x - 1:ref_x + 1], 128)


class ErrorsTest(unittest.TestCase):
    """What a user gets wrong ends Blender with a message and a status of
    the script's own, and writes nothing; a failed build ends it with the
    build's status."""

    def render_command(self, *extra):
        return [BLENDER, "-b", Work.scene, "-noaudio", "--python", os.path.join(TOOLS, "pixmold_render.py"), "--",
                "--id", "7", "--name", "Error Case", *extra]

    def test_no_such_collection_exits_with_a_usage_status(self):
        out_dir = os.path.join(Work.folder, "missing")
        done = run(self.render_command("--collection", "Tabel", "--out", out_dir), check=False)
        self.assertEqual(done.returncode, 2, done.stdout)
        self.assertIn('no collection named "Tabel" in this file (its collections: Calibration Box, Table)',
                      done.stdout)
        self.assertFalse(os.path.exists(out_dir))

    def test_each_failure_has_its_message_and_status(self):
        folder = os.path.join(Work.folder, "errors")
        os.makedirs(folder)
        blocker = os.path.join(folder, "a file")
        open(blocker, "w").close()
        out_dir = os.path.join(folder, "out")
        base = ["--id", "7", "--name", "Error Case", "--out", out_dir]
        box = ["--collection", "Calibration Box"]
        cases = [
            ({"args": base + ["--collection", "Nothing Here"]}, 1,
             'collection "Nothing Here" holds nothing to render'),
            ({"args": ["--id", "7", "--name", "E", "--out", os.path.join(blocker, "out")] + box}, 1,
             "cannot write to the output folder " + os.path.join(blocker, "out") + ": Not a directory"),
            ({"args": base + box + ["--object-file", os.path.join(folder, "obj"), "--build"], "path": "/nonexistent"},
             1, 'pixmold not found on PATH; put the folder holding pixmold on PATH (in the repository: '
                'export PATH="$PWD/build/release/cli:$PATH")'),
            ({"args": base + box, "version": [3, 3, 1]}, 1, "Blender 3.4 or newer is needed; this is Blender 3.3.1"),
            ({"args": base + box + ["--frames", "0"]}, 2, "--frames 0 is not 1 or 2"),
            # A build that fails ends Blender with the build's status.
            ({"args": ["--id", "7", "--name", "Built", "--out", os.path.join(folder, "built"), "--symmetry",
                       "radial", "--sizes", CalibrationBoxTest.SIZES, "--object-file",
                       os.path.join(folder, "built", "obj.iff"), "--build"] + box,
              "path": self.fake_pixmold(folder)}, 7, ""),
        ]
        cases_file, results_file = os.path.join(folder, "cases.json"), os.path.join(folder, "results.json")
        with open(cases_file, "w") as out:
            json.dump([case for case, _, _ in cases], out)
        run([BLENDER, "-b", Work.scene, "-noaudio", "--python", os.path.join(HERE, "errors_in_blender.py"), "--",
             cases_file, results_file])
        with open(results_file) as results:
            for (case, status, message), result in zip(cases, json.load(results)):
                with self.subTest(args=case["args"][-2:]):
                    self.assertEqual(result["status"], status, result["message"])
                    self.assertIn(message, result["message"])
        self.assertFalse(os.path.exists(out_dir))
        built = os.path.join(folder, "built")
        with open(os.path.join(folder, "pixmold.log")) as log:
            self.assertEqual(log.read().splitlines(), [
                f"add --create {built}/obj OBJD 128 --name Built",
                f"palette {built}/built.tga",
                f"build {built}/obj.iff --omk {built}/built.omk --images {built} --draw-groups 7",
            ])

    @staticmethod
    def fake_pixmold(folder):
        """A pixmold that logs its arguments and fails every build with 7."""
        fake = os.path.join(folder, "bin", "pixmold")
        os.makedirs(os.path.dirname(fake))
        with open(fake, "w") as out:
            out.write(f'#!/bin/sh\necho "$*" >> "{folder}/pixmold.log"\n[ "$1" = build ] && exit 7\nexit 0\n')
        os.chmod(fake, 0o755)
        return os.path.dirname(fake) + os.pathsep + "/usr/bin:/bin"


if __name__ == "__main__":
    unittest.main(verbosity=2)
