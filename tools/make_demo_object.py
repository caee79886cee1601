#!/usr/bin/python3
"""Makes a small furnished object to build: sprite sheets, markup, object file.

The object is a table set drawn from code: a rug, a soft shadow, a table with
a vase and a stack of books on it, and a chair with one armrest. Each part is
ray-traced in an orthographic 2:1 projection from every view direction and at
every zoom the markup asks for, and written where the build cuts it out:

  NAME_PART.tga        32-bit; colour for viewers, alpha = depth (255 = empty)
  NAME_PART.bmp        8-bit; the palette indices the build takes as colours
  NAME_shadowalpha.tga the shadow's opacity (red channel, 0 = clear)
  NAME_rug.tga         24-bit: no depth, so the rug becomes an SPR# list
  NAME_thumb.bmp       the catalog thumbnail
  NAME.omk             sizes, sprites, a pair group, a headline, draw groups,
                       and the object's data: a catalog, a tree table, slots
                       of every type, a skill table, attributes and sounds

With --truecolour the sheets are what a renderer leaves: smoothly shaded
true colour (no ramp of 32 shades), undrawn pixels black in 32-bit sheets,
stored top row first, and no palette images; `pixmold palette` makes those.

Sheet layout: one row per frame of a sprite; a row holds `columns` large
cells, then as many medium ones, then small ones; a cell's reference point
(the tile centre on the floor) sits at (xorigin + border, yorigin - border)
from its top-left corner, which is where the build measures screen offsets
from. Sprites stacked on one sheet take consecutive rows.

Every part is placed so that its symmetry claim holds: a bi-lateral part is
the same under x -> -x, radial parts are round and centred. The chair is not
symmetric, so it is a pair of two bi-lateral sprites: the second holds the
mirror images of the views the first cannot mirror itself.

Sizes and sheet counts are parameters, so the same script makes tiny test
objects and large benchmark objects (--extra-sheets adds sheets of one
four-view sprite each). With --pixmold it also writes the object file NAME.iff
holding one object definition, the tree table and menu texts the markup
renames, and a family history to export. Output is deterministic.

Run: /usr/bin/python3 tools/make_demo_object.py OUT_DIR [options]
(needs Debian's python3-numpy and python3-pil).
"""

import argparse
import os
import struct
import subprocess
import sys

import numpy as np
from PIL import Image

# The projection and depth scale are the game's, shared with the Blender
# add-on so that generated and rendered objects composite together.
# No bytecode cache is written beside the shared module: the generator
# writes only what it is asked to.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "blender"))
from pixmold_sheets.projection import (EMPTY_DEPTH, FARTHEST_DEPTH, LARGE_TILE_WIDTH, NEAREST_DEPTH,  # noqa: E402
                                       TILE_HEIGHTS, depth_value, pixels_per_unit, view_axes)

SHADES = 32

# ------------------------------------------------------------------ palette

# Index 0 is the background: the build takes a sheet's top-left pixel as its
# clear colour, so no part may use it. Each material owns a ramp of shades.
MATERIALS = {
    "wood": (1, (60, 32, 14), (232, 170, 104)),
    "darkwood": (33, (30, 14, 8), (150, 90, 52)),
    "ceramic": (65, (14, 30, 80), (150, 200, 255)),
    "fabric": (97, (70, 10, 14), (240, 96, 80)),
    "paper": (129, (70, 64, 50), (255, 250, 228)),
    "shadow": (161, (0, 0, 0), (60, 60, 60)),
    "gold": (193, (80, 50, 0), (255, 230, 120)),
    "stone": (225, (30, 50, 40), (170, 220, 190)),
}
# The rug's sheet has a palette of its own, stored under another id, where
# the fabric ramp is teal: a preview coloured with the wrong palette shows it.
RUG_FABRIC = ((8, 60, 60), (110, 230, 210))
BACKGROUND = (0, 0, 255)


def make_palette(overrides=None):
    colours = [BACKGROUND] + [(0, 0, 0)] * 255
    for name, (base, dark, light) in MATERIALS.items():
        if overrides and name in overrides:
            dark, light = overrides[name]
        count = min(SHADES, 256 - base)
        for i in range(count):
            f = i / (SHADES - 1)
            colours[base + i] = tuple(round(d + (l - d) * f) for d, l in zip(dark, light))
    return colours


# ------------------------------------------------------------------ geometry


class Box:
    def __init__(self, lo, hi, material, stripes=False):
        self.lo = np.array(lo, float)
        self.hi = np.array(hi, float)
        self.material = material
        self.stripes = stripes

    def hit(self, origin, direction):
        with np.errstate(divide="ignore", invalid="ignore"):
            inv = 1.0 / direction
            t0 = (self.lo - origin) * inv
            t1 = (self.hi - origin) * inv
        near = np.minimum(t0, t1)
        far = np.maximum(t0, t1)
        t_near = near.max(axis=-1)
        t_far = far.min(axis=-1)
        hit = (t_near <= t_far) & (t_far > 0)
        axis = near.argmax(axis=-1)
        normal = np.zeros(origin.shape)
        sign = -np.sign(direction)
        rows = np.arange(axis.shape[0])
        normal[rows, axis] = sign[rows, axis]
        point = origin + direction * t_near[:, None]
        shade = np.ones(axis.shape[0])
        if self.stripes:
            # A woven border: a darker band around the edge and thin stripes.
            u = (point[:, 0] - self.lo[0]) / (self.hi[0] - self.lo[0])
            v = (point[:, 1] - self.lo[1]) / (self.hi[1] - self.lo[1])
            edge = np.minimum(np.minimum(u, 1 - u), np.minimum(v, 1 - v))
            shade = np.where(edge < 0.12, 0.55, np.where((np.floor(u * 9) % 2) == 0, 1.0, 0.8))
        return np.where(hit, t_near, np.inf), normal, shade


class Cylinder:
    """Upright, capped."""

    def __init__(self, centre, radius, z0, z1, material, band=None):
        self.cx, self.cy = centre
        self.radius = radius
        self.z0, self.z1 = z0, z1
        self.material = material
        self.band = band

    def hit(self, origin, direction):
        ox = origin[:, 0] - self.cx
        oy = origin[:, 1] - self.cy
        dx, dy, dz = direction[:, 0], direction[:, 1], direction[:, 2]
        a = dx * dx + dy * dy
        b = 2 * (ox * dx + oy * dy)
        c = ox * ox + oy * oy - self.radius**2
        disc = b * b - 4 * a * c
        with np.errstate(divide="ignore", invalid="ignore"):
            t_side = (-b - np.sqrt(np.maximum(disc, 0))) / (2 * a)
        z_side = origin[:, 2] + dz * t_side
        side_ok = (disc >= 0) & (a > 1e-12) & (z_side >= self.z0) & (z_side <= self.z1) & (t_side > 0)
        with np.errstate(divide="ignore", invalid="ignore"):
            t_cap = (self.z1 - origin[:, 2]) / dz
        cx = ox + dx * t_cap
        cy = oy + dy * t_cap
        cap_ok = (cx * cx + cy * cy <= self.radius**2) & (t_cap > 0) & (dz < 0)
        t = np.where(side_ok, t_side, np.inf)
        use_cap = cap_ok & (t_cap < t)
        t = np.where(use_cap, t_cap, t)
        normal = np.zeros(origin.shape)
        px = ox + dx * t_side
        py = oy + dy * t_side
        normal[:, 0] = px / self.radius
        normal[:, 1] = py / self.radius
        normal[use_cap] = (0.0, 0.0, 1.0)
        shade = np.ones(t.shape)
        if self.band is not None:
            z = origin[:, 2] + dz * np.where(np.isfinite(t), t, 0)
            shade = np.where((z >= self.band[0]) & (z <= self.band[1]) & ~use_cap, 0.55, 1.0)
        return t, normal, shade


class Sphere:
    def __init__(self, centre, radius, material):
        self.centre = np.array(centre, float)
        self.radius = radius
        self.material = material

    def hit(self, origin, direction):
        oc = origin - self.centre
        b = (oc * direction).sum(axis=1)
        c = (oc * oc).sum(axis=1) - self.radius**2
        disc = b * b - c
        t = -b - np.sqrt(np.maximum(disc, 0))
        t = np.where((disc >= 0) & (t > 0), t, np.inf)
        normal = (oc + direction * np.where(np.isfinite(t), t, 0)[:, None]) / self.radius
        return t, normal, np.ones(t.shape)


class Disc:
    """A flat soft shadow: its opacity falls off towards the rim."""

    def __init__(self, radius, z, material):
        self.radius = radius
        self.z = z
        self.material = material

    def hit(self, origin, direction):
        with np.errstate(divide="ignore", invalid="ignore"):
            t = (self.z - origin[:, 2]) / direction[:, 2]
        x = origin[:, 0] + direction[:, 0] * t
        y = origin[:, 1] + direction[:, 1] * t
        r = np.sqrt(x * x + y * y) / self.radius
        t = np.where((r <= 1.0) & (t > 0), t, np.inf)
        normal = np.tile((0.0, 0.0, 1.0), (origin.shape[0], 1))
        opacity = np.clip((1.0 - r) / 0.45, 0.0, 1.0) * 0.75
        return t, normal, opacity


def table_parts():
    top = 0.48
    parts = [Box((-0.34, -0.36, top - 0.05), (0.34, 0.14, top), "wood")]
    for x in (-0.3, 0.26):
        for y in (-0.32, 0.1):
            parts.append(Box((x, y, 0.0), (x + 0.04, y + 0.04, top - 0.05), "wood"))
    return parts


def vase_parts():
    return [Cylinder((0.0, 0.0), 0.07, 0.48, 0.68, "ceramic", band=(0.56, 0.6)), Sphere((0.0, 0.0, 0.74), 0.07, "gold")]


def books_parts():
    return [
        Box((0.12, -0.3, 0.48), (0.3, -0.18, 0.52), "fabric"),
        Box((0.14, -0.29, 0.52), (0.28, -0.19, 0.55), "paper"),
        Box((0.13, -0.31, 0.55), (0.26, -0.2, 0.58), "ceramic"),
    ]


def chair_parts():
    seat = 0.27
    parts = [Box((-0.16, 0.22, seat - 0.04), (0.16, 0.46, seat), "darkwood")]
    for x in (-0.16, 0.13):
        for y in (0.22, 0.43):
            parts.append(Box((x, y, 0.0), (x + 0.03, y + 0.03, seat - 0.04), "darkwood"))
    parts.append(Box((-0.16, 0.43, seat), (0.16, 0.46, seat + 0.34), "darkwood"))  # back
    parts.append(Box((-0.13, 0.3, seat), (0.13, 0.43, seat + 0.03), "fabric"))  # cushion
    parts.append(Box((0.13, 0.24, seat + 0.12), (0.16, 0.43, seat + 0.15), "darkwood"))  # one armrest
    parts.append(Box((0.13, 0.24, seat), (0.16, 0.27, seat + 0.12), "darkwood"))
    return parts


def rug_parts():
    return [Box((-0.46, -0.44, 0.0), (0.46, 0.44, 0.012), "fabric", stripes=True)]


def shadow_parts():
    return [Disc(0.42, 0.013, "shadow")]


def headline_parts():
    # The stem runs off the bottom of the cell: headline frames are trimmed
    # at the top only, and a frame ending in empty rows is reported.
    return [Sphere((0.0, 0.0, 0.35), 0.2, "gold"), Cylinder((0.0, 0.0), 0.05, -2.0, 0.18, "gold")]


def blocks_parts(scale, seed):
    """A tower of boxes filling a large cell, for benchmark sheets."""
    parts = []
    z = 0.0
    for level in range(4):
        half = scale * (0.42 - 0.07 * level)
        shift = scale * 0.05 * ((seed + level) % 3 - 1)
        height = scale * 0.3
        parts.append(Box((-half + shift, -half, z), (half + shift, half * 0.8, z + height), ("stone", "wood", "ceramic")[level % 3]))
        z += height
    parts.append(Cylinder((0.0, 0.0), scale * 0.12, z, z + scale * 0.4, "gold"))
    return parts


# ------------------------------------------------------------------ renderer


def camera(direction, extra_degrees):
    return tuple(np.array(axis) for axis in view_axes(direction, extra_degrees))


def render_cell(parts, width, height, ref_x, ref_y, tile_width, direction, extra_degrees, mirrored):
    """Colour index, depth, opacity (0..1), material and a renderer's
    brightness (0..1) of one cell. The ray through a pixel centre starts on
    the plane through the reference point, so the depth of the floor under
    the reference point is DEPTH_AT_REFERENCE. The index takes one of 32
    shades of flat lighting; the renderer's brightness also darkens surfaces
    near the floor and away from the viewer, so every face is a gradient, as
    a render with soft light is."""
    right, up, into = camera(direction, extra_degrees)
    scale = pixels_per_unit(tile_width)
    xs = (np.arange(width) + 0.5 - ref_x) / scale
    ys = (np.arange(height) + 0.5 - ref_y) / scale
    if mirrored:
        xs = -xs
    gx, gy = np.meshgrid(xs, ys)
    back = 10.0
    origin = gx.reshape(-1, 1) * right - gy.reshape(-1, 1) * up - back * into
    direction_vectors = np.tile(into, (origin.shape[0], 1))

    count = origin.shape[0]
    best = np.full(count, np.inf)
    normal = np.zeros((count, 3))
    material = np.zeros(count, int)
    shade_mod = np.ones(count)
    names = list(MATERIALS)
    for part in parts:
        t, n, mod = part.hit(origin, direction_vectors)
        closer = t < best
        best = np.where(closer, t, best)
        normal[closer] = n[closer]
        material[closer] = names.index(part.material)
        shade_mod[closer] = mod[closer]

    drawn = np.isfinite(best)
    light = -0.45 * right + 0.7 * up - 0.55 * into
    light /= np.linalg.norm(light)
    lambert = np.clip(normal @ light, 0.0, 1.0)
    is_shadow = material == names.index("shadow")
    brightness = np.where(is_shadow, 0.0, (0.3 + 0.7 * lambert) * shade_mod)
    level = np.clip(np.round(brightness * (SHADES - 1)), 0, SHADES - 1).astype(int)
    bases = np.array([MATERIALS[m][0] for m in names])
    index = np.where(drawn, np.minimum(bases[material] + level, 255), 0)
    depth = np.where(drawn, np.clip(np.round(depth_value(best - back)), NEAREST_DEPTH, FARTHEST_DEPTH), EMPTY_DEPTH)
    opacity = np.where(drawn, np.where(is_shadow, shade_mod, 1.0), 0.0)
    height_above_floor = origin[:, 2] + direction_vectors[:, 2] * np.where(drawn, best, 0.0)
    occlusion = 0.7 + 0.3 * np.clip(height_above_floor / 0.4, 0.0, 1.0)
    falloff = 1.0 - 0.2 * np.clip((best - back) / 1.5 + 0.5, 0.0, 1.0)
    soft = np.clip(brightness * occlusion * np.where(drawn, falloff, 1.0), 0.0, 1.0)
    shape = (height, width)
    return (index.reshape(shape).astype(np.uint8), depth.reshape(shape).astype(np.uint8), opacity.reshape(shape),
            material.reshape(shape), soft.reshape(shape))


# ------------------------------------------------------------------ sheets


class Sizes:
    """Cell sizes per size index (large, medium, small) as the sizes tag sets
    them, and the reference point each cell is drawn around."""

    def __init__(self, large_width, large_height, slop, border):
        self.width = [large_width, large_width // 2, large_width // 4]
        self.height = [large_height, large_height // 2, large_height // 4]
        self.slop = [slop, slop // 2, slop // 4]
        self.border = [border] * 3
        # A floor tile is 128 pixels across at the large zoom; cells too
        # narrow for one (tiny test objects) get a smaller world instead of
        # parts cut off at the cell's edge.
        tile = min(LARGE_TILE_WIDTH, large_width - slop)
        self.tile_width = [tile, tile / 2, tile / 4]
        self.x_origin = [w // 2 for w in self.width]
        self.y_origin = [h - t - s - border for h, t, s in zip(self.height, TILE_HEIGHTS, self.slop)]

    def reference(self, size, width, height):
        return self.x_origin[size] + self.border[size], self.y_origin[size] - self.border[size]

    def tag(self):
        attributes = []
        for size, letter in enumerate("lms"):
            attributes += [
                f"{letter}width={self.width[size]}",
                f"{letter}height={self.height[size]}",
                f"{letter}xorigin={self.x_origin[size]}",
                f"{letter}yorigin={self.y_origin[size]}",
            ]
        attributes += [f"slopwidth={self.slop[0]}", f"border={self.border[0]}"]
        return "<sizes " + " ".join(attributes) + ">"


# Which rendered view each sheet column holds, per symmetry: (direction,
# mirrored). The pair's second sprite holds mirror images of the views that
# its first sprite's mirrored slots stand for.
SLOT_VIEWS = {
    "none": [(0, False), (2, False), (4, False), (6, False)],
    "bi-lateral": [(0, False), (2, False)],
    "radial": [(0, False)],
    "radial-flip": [(0, False)],
    "pair-second": [(6, True), (4, True)],
}


class Sprite:
    def __init__(self, sprite_id, name, parts, symmetry, columns, frames=1, palette_id=200, extra=""):
        self.id = sprite_id
        self.name = name
        self.parts = parts
        self.symmetry = symmetry
        self.columns = columns
        self.frames = frames
        self.palette_id = palette_id
        self.extra = extra
        self.position = 0

    def tag_symmetry(self):
        return "bi-lateral" if self.symmetry == "pair-second" else self.symmetry


class Sheet:
    def __init__(self, base, sprites, sizes, bits=32, alpha=False, palette=None, tag="sprite", truecolour=False):
        self.base = base
        self.truecolour = truecolour
        self.sprites = sprites
        self.sizes = sizes
        self.bits = bits
        self.alpha = alpha
        self.palette = palette or make_palette()
        self.tag = tag
        row = 0
        for sprite in sprites:
            sprite.position = row
            row += sprite.frames
        self.rows = row
        cells = [c for sprite in sprites for frame in range(sprite.frames) for c in self.cells(sprite, frame)]
        self.width = max(c[2] + c[4] for c in cells)
        self.height = max(c[3] + c[5] for c in cells)

    def cells(self, sprite, frame):
        """(size, column, x, y, width, height) of each cell of one frame."""
        if self.tag == "headline":
            # Headlines have a layout of their own: a row every 98 pixels
            # with cells at x 0, 66 and 100, each one pixel in.
            y = (sprite.position + frame) * 98
            return [(0, 0, 0, y, 66, 98), (1, 0, 66, y, 34, 50), (2, 0, 100, y, 17, 25)]
        out = []
        y = (sprite.position + frame) * self.sizes.height[0]
        for size in range(3):
            for column in range(sprite.columns):
                x = column * self.sizes.width[size]
                if size >= 1:
                    x += sprite.columns * self.sizes.width[0]
                if size == 2:
                    x += sprite.columns * self.sizes.width[1]
                out.append((size, column, x, y, self.sizes.width[size], self.sizes.height[size]))
        return out

    def render(self):
        index = np.zeros((self.height, self.width), np.uint8)
        depth = np.full((self.height, self.width), EMPTY_DEPTH, np.uint8)
        opacity = np.zeros((self.height, self.width))
        material = np.zeros((self.height, self.width), int)
        brightness = np.zeros((self.height, self.width))
        for sprite in self.sprites:
            views = SLOT_VIEWS[sprite.symmetry][: sprite.columns]
            for frame in range(sprite.frames):
                for size, column, x, y, w, h in self.cells(sprite, frame):
                    direction, mirrored = views[column]
                    ref_x, ref_y = self.sizes.reference(size, w, h)
                    ci, cd, co, cm, cb = render_cell(sprite.parts, w, h, ref_x, ref_y, self.sizes.tile_width[size],
                                                     direction, 45.0 * frame, mirrored)
                    # The border is trimmed off before compression: keep it clear.
                    b = self.sizes.border[size]
                    inner = np.zeros((h, w), bool)
                    inner[b:h - b, b:w - b] = True
                    ci[~inner], cd[~inner], co[~inner] = 0, EMPTY_DEPTH, 0.0
                    index[y:y + h, x:x + w] = ci
                    depth[y:y + h, x:x + w] = cd
                    opacity[y:y + h, x:x + w] = co
                    material[y:y + h, x:x + w] = cm
                    brightness[y:y + h, x:x + w] = cb
        return index, depth, opacity, material, brightness

    def shaded(self, index, material, brightness):
        """True colour as a renderer shades it: each material's ramp from its
        darkest to its lightest colour, at the unrounded brightness."""
        bases = np.array([MATERIALS[m][0] for m in MATERIALS])
        palette = np.array(self.palette, float)
        dark = palette[bases[material]]
        light = palette[np.minimum(bases[material] + SHADES - 1, 255)]
        rgb = dark + (light - dark) * brightness[..., None]
        drawn = (index != 0)[..., None]
        background = np.array(BACKGROUND if self.bits == 24 else (0, 0, 0), float)
        return np.where(drawn, np.round(rgb), background).astype(np.uint8)

    def write(self, out_dir):
        index, depth, opacity, material, brightness = self.render()
        if self.alpha:
            # Opacity below one step of five bits would be dropped by the build;
            # that is also where the shape ends.
            alpha = np.round(opacity * 255).astype(np.uint8)
            alpha[alpha < 8] = 0
            depth[alpha == 0] = EMPTY_DEPTH
            index[alpha == 0] = 0
            Image.fromarray(np.dstack([alpha] * 3), "RGB").save(os.path.join(out_dir, self.base + "alpha.tga"))
        if self.truecolour:
            rgb = self.shaded(index, material, brightness)
            save = {"orientation": 1}
        else:
            bmp = Image.fromarray(index, "P")
            bmp.putpalette([c for rgb in self.palette for c in rgb])
            bmp.save(os.path.join(out_dir, self.base + ".bmp"))
            rgb = np.array(self.palette, np.uint8)[index]
            save = {}
        if self.bits == 24:
            Image.fromarray(rgb, "RGB").save(os.path.join(out_dir, self.base + ".tga"), **save)
        else:
            Image.fromarray(np.dstack([rgb, depth]), "RGBA").save(os.path.join(out_dir, self.base + ".tga"), **save)

    def tags(self):
        lines = []
        for sprite in self.sprites:
            if self.tag == "headline":
                lines.append(f'<headline id={sprite.id} name="{sprite.name}" tgafile="{self.base}.tga" '
                             f"frames={sprite.frames} paletteid={sprite.palette_id}>")
                continue
            lines.append(f'<sprite id={sprite.id} name="{sprite.name}" tgafile="{self.base}.tga" '
                         f"symmetry={sprite.tag_symmetry()} columns={sprite.columns} frames={sprite.frames} "
                         f"paletteid={sprite.palette_id}{sprite.extra}>")
        return lines


class HeadlineSizes(Sizes):
    """Headline pictures: drawn at a tile width of 64, 32 and 16 pixels."""

    def __init__(self):
        super().__init__(64, 96, 0, 1)

    def reference(self, size, width, height):
        # Nothing places headlines relative to a tile: centre the picture.
        return width / 2, height * 0.85


# ------------------------------------------------------------------ object


GUID = 0x87654321
TREE_TABLE_ID = 300


def object_definition(first_draw_group, draw_group_count):
    """216 bytes, version 138: the first draw group and their count, the tree
    table's id, a fixed GUID; every other word zero."""
    words = [0] * 108
    words[0] = 138
    words[3] = first_draw_group
    words[4] = draw_group_count
    words[7] = TREE_TABLE_ID
    data = bytearray(struct.pack("<108H", *words))
    data[28:32] = struct.pack("<I", GUID)
    return bytes(data)


def object_data_tags(name):
    """Markup for every data pass; markup reads a GUID as a signed number.
    The catalog writes to the object the target tag names, so a copy made
    with --new-from (which gets a GUID of its own) still finds it; a tree
    table names its object by GUID only."""
    guid = GUID - (1 << 32) if GUID >= 1 << 31 else GUID
    return [
        "",
        f'<catalog thumbnail={name}_thumb.bmp cost=450 "room sort"="Dining Room" '
        f'"function sort"="Surfaces" comfort=2 room=3 creativity=true>',
        f'<bmpfile id=2001 filename={name}_thumb.bmp name="Catalog picture">',
        f'<ttab guid={guid} name="Table Set Interactions">',
        '<interaction index=0 name="Sit Down">',
        '<interaction index=1 name="Eat Dinner">',
        '<slots id=128 name="Table Set">',
        '<slot type="contained object" name="Tabletop" alt=2.75 surface=true height=table "maximum size"=60>',
        '<slot type=headline name="Headline" alt=5>',
        '<slot type=handle name="Handle" x=0.5>',
        '<slot type=routing name="Seat approach" y=-1 south southwest southeast min=0.5 max=1.5 gradient=3 '
        '"opposite facing">',
        '<"skill table">',
        '<skill index=0 name="Cooking" type=a2o>',
        '<skill index=0 name="Creativity" type=c2o>',
        '<attributes id=200 name="Table Set Attributes">',
        '<attribute index=0 label="Wear">',
        '<attribute index=1 label="Polish">',
        f'<sound id=128 name="{name}_scrape.wav">',
        f'<sound id=129 name="{name}_clink.wav">',
    ]


def tree_table(trees):
    """A version 8 tree table: one entry per behaviour tree, menu text i."""
    data = struct.pack("<HH", len(trees), 8)
    for index, tree in enumerate(trees):
        data += struct.pack("<HHIIII", tree, 0, 0, 0, index, 3) + struct.pack("<f", 0.0)
        data += struct.pack("<Ii", 50, -1)
    return data


def string_set(values):
    """Layout -3 with English values and no comments."""
    data = struct.pack("<HH", 0xFFFD, len(values))
    for value in values:
        data += b"\x01" + value.encode("latin-1") + b"\x00\x00"
    return data


def family_history(rows):
    """A version 1 family history, unencoded: 30 columns per row."""
    wide = set(range(8, 10)) | set(range(17, 25))
    data = struct.pack("<IIIBI", 0, 1, 0x46414D68, 0, len(rows))
    for row in rows:
        for column, value in enumerate(row):
            data += struct.pack("<i" if column in wide else "<h", value)
    return data


def write_object_data(args, base):
    resources = [
        ("TTAB", TREE_TABLE_ID, "Table Set Interactions", tree_table([4096, 4097])),
        ("TTAs", TREE_TABLE_ID, "", string_set(["Sit", "Eat"])),
        ("FAMh", 128, "", family_history([[1, 4, 1, 1, 1, 1, 2, 35, 12000, 40000] + [0] * 20,
                                          [2, 2, 1, 1, 0, 0, 1, 20, 6000, 28000] + [0] * 20])),
    ]
    for res_type, res_id, res_name, data in resources:
        subprocess.run([args.pixmold, "add", base, res_type, str(res_id), "--name", res_name], input=data,
                       check=True)


def build_object(args):
    name = args.name
    sizes = Sizes(args.lwidth, args.lheight, args.slopwidth, args.border)
    sheets = []
    draw_groups = []
    if not args.no_furniture:
        rug = Sprite(200, "Rug", rug_parts(), "bi-lateral", 2, palette_id=201)
        shadow = Sprite(201, "Shadow", shadow_parts(), "radial", 1, extra=" shrink=true")
        table = Sprite(202, "Table", table_parts(), "bi-lateral", 2)
        vase = Sprite(203, "Vase", vase_parts(), "radial-flip", 1)
        books = Sprite(206, "Books", books_parts(), "none", 4)
        chair = Sprite(204, "Chair", chair_parts(), "bi-lateral", 2, extra=" pairing=1")
        chair_mirror = Sprite(205, "Chair Mirrored", chair_parts(), "pair-second", 2, extra=" pairing=1")
        truecolour = args.truecolour
        sheets += [
            Sheet(f"{name}_rug", [rug], sizes, bits=24, palette=make_palette({"fabric": RUG_FABRIC}),
                  truecolour=truecolour),
            Sheet(f"{name}_shadow", [shadow], sizes, alpha=True, truecolour=truecolour),
            Sheet(f"{name}_table", [table, vase], sizes, truecolour=truecolour),
            Sheet(f"{name}_books", [books], sizes, truecolour=truecolour),
            Sheet(f"{name}_chair", [chair, chair_mirror], sizes, truecolour=truecolour),
            Sheet(f"{name}_headline", [Sprite(300, "Idea", headline_parts(), "none", 1, palette_id=50)],
                  HeadlineSizes(), tag="headline", truecolour=truecolour),
        ]
        set_items = [(200, 0.0), (201, 0.0), (202, 0.0), (203, 0.5), (206, 0.5), (204, 0.0)]
        draw_groups += [
            (100, "Table Set", "fixed", set_items, 0),
            (101, "Table Set Turned", "fixed", set_items, 2),
            (102, "Chair Mirrored", "obscured", [(201, 0.0), (205, 0.0)], 0),
        ]
    extra_items = []
    for k in range(args.extra_sheets):
        sprite = Sprite(400 + k, f"Blocks {k}", blocks_parts(args.lwidth / LARGE_TILE_WIDTH, k), "none", 4,
                        frames=args.extra_frames)
        sheets.append(Sheet(f"{name}_blocks{k:02d}", [sprite], sizes, truecolour=args.truecolour))
        extra_items.append((400 + k, 0.0))
    if extra_items:
        draw_groups.append((100 + len(draw_groups), "Blocks", "fixed", extra_items, 0))

    os.makedirs(args.out_dir, exist_ok=True)
    lines = [
        f'Made by tools/make_demo_object.py: a table set of {len(sheets)} sheets.',
        "",
        f'<target object="{args.object_name}">',
        "",
        sizes.tag(),
        "",
    ]
    for sheet in sheets:
        sheet.write(args.out_dir)
        lines += sheet.tags()
    for dgrp_id, dgrp_name, ordering, items, offset in draw_groups:
        lines += ["", f'<drawgroup id={dgrp_id} name="{dgrp_name}" ordering={ordering}>']
        for sprite_id, alt in items:
            offset_text = f' "direction offset"={offset}' if offset else ""
            lines.append(f"<item sprite id={sprite_id} alt={alt} x=0 y=0{offset_text}>")
    lines += object_data_tags(name)
    Image.new("P", (64, 64), 12).save(os.path.join(args.out_dir, f"{name}_thumb.bmp"))
    with open(os.path.join(args.out_dir, name + ".omk"), "w") as omk:
        omk.write("\n".join(lines) + "\n")

    if args.pixmold:
        first = draw_groups[0][0] if draw_groups else 0
        subprocess.run([args.pixmold, "add", "--create", os.path.join(args.out_dir, name), "OBJD", "128", "--name",
                        args.object_name], input=object_definition(first, len(draw_groups)), check=True)
        write_object_data(args, os.path.join(args.out_dir, name))
    return sheets


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out_dir")
    parser.add_argument("--name", default="tableset", help="base name of every file (default tableset)")
    parser.add_argument("--object-name", default="Demo Table Set", help="the object definition's name")
    parser.add_argument("--lwidth", type=int, default=136, help="large cell width; medium and small are 1/2 and 1/4")
    parser.add_argument("--lheight", type=int, default=192, help="large cell height")
    parser.add_argument("--slopwidth", type=int, default=8)
    parser.add_argument("--border", type=int, default=1)
    parser.add_argument("--extra-sheets", type=int, default=0, help="sheets of one four-view sprite each")
    parser.add_argument("--extra-frames", type=int, default=1, help="frames (sheet rows) of each extra sprite")
    parser.add_argument("--no-furniture", action="store_true", help="only the extra sheets")
    parser.add_argument("--truecolour", action="store_true",
                        help="smoothly shaded true-colour sheets and no palette images, as a renderer leaves them")
    parser.add_argument("--pixmold", help="the pixmold program: also write the object file NAME.iff")
    args = parser.parse_args()
    if args.lwidth < 8 or args.lheight < 8:
        parser.error("cells must be at least 8 x 8 pixels")
    if args.no_furniture and args.extra_sheets == 0:
        parser.error("--no-furniture needs --extra-sheets")
    for sheet in build_object(args):
        print(os.path.join(args.out_dir, sheet.base + ".tga"), f"{sheet.width}x{sheet.height}")


if __name__ == "__main__":
    sys.exit(main())
