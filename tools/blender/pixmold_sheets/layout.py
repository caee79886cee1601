"""Where each rendered view goes on a sheet, and the markup that tells the
build so.

A sheet holds one sprite: a row per frame, and in each row `columns` large
cells, then as many medium ones, then small ones, all top-aligned. The
build finds a cell's reference point (the object's origin on the floor) at
(xorigin + border, yorigin - border) from the cell's top-left corner, so
that is where the renderer must put the origin; writing the origins into
the sizes tag, rather than leaving them to the build's defaults, keeps the
two from ever disagreeing.
"""

from .projection import LARGE_TILE_WIDTH, TILE_HEIGHTS, ZOOM_SCALES

SIZE_NAMES = ("large", "medium", "small")
SYMMETRIES = ("none", "bi-lateral", "radial", "radial-flip")
# The view directions a sheet holds, one per column, by symmetry: the build
# mirrors the others from these.
RENDERED_DIRECTIONS = {
    "none": (0, 2, 4, 6),
    "bi-lateral": (0, 2),
    "radial": (0,),
    "radial-flip": (0,),
}
DEMO_CELL = (136, 192)  # the demo's large cell; medium and small are halves
DEMO_SLOP = 8
DEMO_BORDER = 1


class Sizes:
    """Cell sizes per zoom (large, medium, small) and their reference points."""

    def __init__(self, cells=None, slop=DEMO_SLOP, border=DEMO_BORDER):
        cells = list(cells or [DEMO_CELL])
        if len(cells) == 1:
            width, height = cells[0]
            cells = [(width, height), (width // 2, height // 2), (width // 4, height // 4)]
        self.width = [w for w, _ in cells]
        self.height = [h for _, h in cells]
        self.slop = [slop, slop // 2, slop // 4]
        self.border = border
        self.x_origin = [w // 2 for w in self.width]
        self.y_origin = [h - t - s - border for h, t, s in zip(self.height, TILE_HEIGHTS, self.slop)]

    def problems(self):
        """Why these sizes cannot hold a sprite, one line each."""
        out = []
        for size, name in enumerate(SIZE_NAMES):
            w, h = self.width[size], self.height[size]
            if w <= 2 * self.border or h <= 2 * self.border:
                out.append(f"the {name} cell {w}x{h} has nothing inside its border of {self.border}")
            elif not self.border <= self.y_origin[size] - self.border < h - self.border:
                out.append(f"the {name} cell {w}x{h} is too short for its floor tile, slop and border")
        return out

    def reference(self, size):
        return self.x_origin[size] + self.border, self.y_origin[size] - self.border

    def tile_width(self, size):
        return LARGE_TILE_WIDTH * ZOOM_SCALES[size]

    def tag(self):
        attributes = []
        for size, letter in enumerate("lms"):
            attributes += [
                f"{letter}width={self.width[size]}",
                f"{letter}height={self.height[size]}",
                f"{letter}xorigin={self.x_origin[size]}",
                f"{letter}yorigin={self.y_origin[size]}",
            ]
        attributes += [f"slopwidth={self.slop[0]}", f"border={self.border}"]
        return "<sizes " + " ".join(attributes) + ">"


class Cell:
    def __init__(self, frame, size, column, x, y, width, height, direction):
        self.frame = frame
        self.size = size
        self.column = column
        self.x, self.y = x, y
        self.width, self.height = width, height
        self.direction = direction  # None: a column the symmetry leaves empty

    @property
    def extra_degrees(self):
        # A second frame holds the diagonal views, each turned a further 45.
        return 45.0 * self.frame


def columns_needed(symmetry):
    return len(RENDERED_DIRECTIONS[symmetry])


def sheet_cells(sizes, symmetry, columns, frames):
    """Every cell of the sheet, in the build's order: row by row, large to small."""
    directions = RENDERED_DIRECTIONS[symmetry]
    cells = []
    for frame in range(frames):
        y = frame * sizes.height[0]
        x = 0
        for size in range(3):
            for column in range(columns):
                direction = directions[column] if column < len(directions) else None
                cells.append(Cell(frame, size, column, x, y, sizes.width[size], sizes.height[size], direction))
                x += sizes.width[size]
    return cells


def sheet_size(cells):
    return max(c.x + c.width for c in cells), max(c.y + c.height for c in cells)


def markup_text(job, sizes, tga_name):
    """The sizes, the sprite and one draw group showing it in every view; the
    build works out the items' screen offsets from the trimmed frames."""
    return "\n".join([
        "Rendered by the Pixmold sheets add-on for Blender.",
        "",
        sizes.tag(),
        "",
        f'<sprite id={job.sprite_id} name="{job.name}" tgafile="{tga_name}" symmetry={job.symmetry} '
        f"columns={job.columns} frames={job.frames} paletteid={job.palette_id}>",
        "",
        f'<drawgroup id={job.sprite_id} name="{job.name}" ordering=fixed>',
        f"<item sprite id={job.sprite_id} alt=0 x=0 y=0>",
        "",
    ])
