"""One job from collection to files: every cell rendered, the sheet, its
alpha image and the markup written, nothing written unless every cell
rendered."""

import os
import time

import numpy as np

from . import layout, projection, tga
from .render import SheetRenderer, find_collection


class SheetFiles:
    def __init__(self, sheet, alpha_image, markup, edge_warnings, seconds, cells):
        self.sheet = sheet
        self.alpha_image = alpha_image  # None with hard edges
        self.markup = markup
        self.edge_warnings = edge_warnings
        self.seconds = seconds
        self.cells = cells


def _reaches_edge(image, cell, border):
    """True when something is drawn on the outermost row or column that the
    build keeps: the model probably goes on beyond the cell."""
    inner = image.depth[border:cell.height - border, border:cell.width - border] != projection.EMPTY_DEPTH
    return bool(inner[0].any() or inner[-1].any() or inner[:, 0].any() or inner[:, -1].any())


def render_job(job, scene_frame=None, progress=print):
    collection = find_collection(job.collection)
    sizes = job.sizes
    cells = layout.sheet_cells(sizes, job.symmetry, job.columns, job.frames)
    width, height = layout.sheet_size(cells)
    rgb = np.zeros((height, width, 3), np.uint8)
    depth = np.full((height, width), projection.EMPTY_DEPTH, np.uint8)
    coverage = np.zeros((height, width), np.uint8)
    warnings = []
    started = time.monotonic()
    drawn_cells = [c for c in cells if c.direction is not None]
    renderer = SheetRenderer(collection, job.samples, job.soft_edges, scene_frame)
    try:
        for number, cell in enumerate(drawn_cells, 1):
            cell_started = time.monotonic()
            ref_x, ref_y = sizes.reference(cell.size)
            image = renderer.render(cell.direction, cell.extra_degrees, cell.width, cell.height, ref_x, ref_y,
                                    sizes.tile_width(cell.size))
            # The border is trimmed off before compression: keep it clear.
            b = sizes.border
            keep = np.zeros((cell.height, cell.width), bool)
            keep[b:cell.height - b, b:cell.width - b] = True
            area = np.s_[cell.y:cell.y + cell.height, cell.x:cell.x + cell.width]
            rgb[area] = np.where(keep[..., None], image.rgb, 0)
            depth[area] = np.where(keep, image.depth, projection.EMPTY_DEPTH)
            coverage[area] = np.where(keep, image.coverage, 0)
            if _reaches_edge(image, cell, b):
                warnings.append(f"the model reaches the edge of the {layout.SIZE_NAMES[cell.size]} cell of "
                                f"direction {cell.direction + cell.frame}; it is cut off there (give larger --sizes)")
            progress(f"rendered {layout.SIZE_NAMES[cell.size]} view {cell.direction + cell.frame} "
                     f"({number}/{len(drawn_cells)}) in {time.monotonic() - cell_started:.1f} s")
    finally:
        renderer.close()

    os.makedirs(job.out_dir, exist_ok=True)
    base = job.base_name
    sheet = os.path.join(job.out_dir, base + ".tga")
    tga.write_sheet(sheet, rgb, depth)
    alpha_image = os.path.join(job.out_dir, base + "alpha.tga")
    if job.soft_edges:
        tga.write_alpha_image(alpha_image, coverage)
    else:
        # The build takes any alpha image beside a sheet: one left by an
        # earlier soft-edged render would blend these hard edges.
        if os.path.exists(alpha_image):
            os.remove(alpha_image)
        alpha_image = None
    markup = os.path.join(job.out_dir, base + ".omk")
    with open(markup + ".partial", "w", encoding="utf-8") as out:
        out.write(layout.markup_text(job, sizes, base + ".tga"))
    os.replace(markup + ".partial", markup)
    return SheetFiles(sheet, alpha_image, markup, warnings, time.monotonic() - started, len(drawn_cells))
