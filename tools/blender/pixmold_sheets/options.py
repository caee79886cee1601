"""What one render is asked to do, from the command line or the panel, and
every check that can be made before Blender spends a second rendering."""

import argparse
import os
import re
import tempfile

from .layout import SYMMETRIES, Sizes, columns_needed

MINIMUM_BLENDER = (3, 4, 0)
MAX_RESOURCE_ID = 32767
MAX_NAME_LENGTH = 63  # a resource name's limit
EXIT_FAILED = 1
EXIT_USAGE = 2


class UserError(Exception):
    """A problem the user can fix; the message says what and how."""

    def __init__(self, message, status=EXIT_FAILED):
        super().__init__(message)
        self.status = status


class SheetJob:
    def __init__(self, collection, out_dir, sprite_id, name, symmetry="none", columns=None, frames=1,
                 palette_id=None, sizes=None, soft_edges=False, samples=16, object_file=None, build=False,
                 pixmold=None):
        self.collection = collection
        self.out_dir = out_dir
        self.sprite_id = sprite_id
        self.name = name
        self.symmetry = symmetry
        self.columns = columns if columns is not None else columns_needed(symmetry)
        self.frames = frames
        self.palette_id = sprite_id if palette_id is None else palette_id
        self.sizes = sizes or Sizes()
        self.soft_edges = soft_edges
        self.samples = samples
        self.object_file = object_file
        self.build = build
        self.pixmold = pixmold

    @property
    def base_name(self):
        """Sheet and markup file names: the name in lower case, letters, digits
        and underscores only, so every tool and file system takes it."""
        return re.sub(r"[^a-z0-9]+", "_", self.name.lower()).strip("_") or f"sprite{self.sprite_id}"

    def problems(self):
        """Every reason this job cannot run, one line each (usage errors)."""
        out = []
        if not 0 <= self.sprite_id <= MAX_RESOURCE_ID:
            out.append(f"--id {self.sprite_id} is not 0..{MAX_RESOURCE_ID}")
        if not -1 <= self.palette_id <= MAX_RESOURCE_ID:
            out.append(f"--palette-id {self.palette_id} is not -1..{MAX_RESOURCE_ID} (-1: no palette resource)")
        if not self.name or len(self.name.encode("utf-8")) > MAX_NAME_LENGTH:
            out.append(f"--name must be 1 to {MAX_NAME_LENGTH} bytes")
        elif re.search(r'["<>\r\n]', self.name):
            out.append('--name may not hold a quote, "<", ">" or a line break: the markup could not carry it')
        if self.symmetry not in SYMMETRIES:
            out.append(f"--symmetry {self.symmetry} is not one of {', '.join(SYMMETRIES)}")
        elif self.columns not in (1, 2, 4):
            out.append(f"--columns {self.columns} is not 1, 2 or 4")
        elif self.columns < columns_needed(self.symmetry):
            out.append(f"symmetry {self.symmetry} needs {columns_needed(self.symmetry)} columns, "
                       f"one per view the build cannot mirror; --columns is {self.columns}")
        if self.frames not in (1, 2):
            out.append(f"--frames {self.frames} is not 1 or 2 (2 adds the diagonal views)")
        if not 1 <= self.samples <= 4096:
            out.append(f"--samples {self.samples} is not 1..4096")
        if self.build and not self.object_file:
            out.append("--build needs --object-file")
        out += self.sizes.problems()
        return out


def check_blender_version(version):
    if tuple(version[:3]) < MINIMUM_BLENDER:
        need = ".".join(map(str, MINIMUM_BLENDER[:2]))
        raise UserError(f"Blender {need} or newer is needed; this is Blender {'.'.join(map(str, version[:3]))}")


def check_writable_folder(path):
    """Makes the folder and proves a file can be written in it, before any
    render time is spent."""
    try:
        os.makedirs(path, exist_ok=True)
        with tempfile.NamedTemporaryFile(dir=path, prefix=".pixmold-probe-"):
            pass
    except OSError as error:
        raise UserError(f"cannot write to the output folder {path}: {error.strerror or error}") from error


def parse_sizes(text):
    """'WxH' for the large cell (medium and small are halves), or three of
    them, large first, separated by commas."""
    cells = []
    for part in text.split(","):
        match = re.fullmatch(r"\s*(\d+)\s*[xX]\s*(\d+)\s*", part)
        if not match:
            raise argparse.ArgumentTypeError(f"'{text}' is not WxH or three WxH separated by commas")
        cells.append((int(match.group(1)), int(match.group(2))))
    if len(cells) not in (1, 3):
        raise argparse.ArgumentTypeError(
            f"'{text}' gives {len(cells)} cells; give 1 (large) or 3 (large, medium, small)")
    return cells


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise UserError(f"{message}\n{self.format_usage().rstrip()}", EXIT_USAGE)


def argument_parser():
    parser = _Parser(
        prog="blender -b SCENE.blend --python tools/blender/pixmold_render.py --",
        description="Render one collection into a Pixmold sprite sheet (colour, depth in the alpha, markup); "
        "with --build, also make its palette image and build it into an object file.",
        epilog="Exit status: 0 done; 1 a failure (render, files, pixmold not found, Blender too old); "
        "2 bad options or no such collection; with --build, the status of pixmold build.",
    )
    parser.add_argument("--collection", required=True, help="the collection to render; nothing else is visible")
    parser.add_argument("--out", required=True, help="folder for the sheet, its alpha image and the markup")
    parser.add_argument("--id", type=int, required=True, help="the sprite's and the draw group's resource id")
    parser.add_argument("--name", required=True,
                        help="the sprite's and the draw group's name; also the files' base name")
    parser.add_argument("--symmetry", default="none", choices=SYMMETRIES,
                        help="views the build mirrors instead of rendering (default none: four views)")
    parser.add_argument("--columns", type=int,
                        help="cells per zoom on the sheet (default: the views the symmetry needs)")
    parser.add_argument("--frames", type=int, default=1, help="2 adds a row of diagonal views (default 1)")
    parser.add_argument("--palette-id", type=int, help="the PALT id the build writes (default: --id; -1 none)")
    parser.add_argument("--sizes", type=parse_sizes, help="cell sizes, WxH (large; default 136x192) or three WxH")
    parser.add_argument("--slop", type=int, default=8, help="slop width of the large cell (default 8)")
    parser.add_argument("--border", type=int, default=1, help="pixels the build trims off every cell side (default 1)")
    parser.add_argument("--soft-edges", action="store_true",
                        help="antialiased edges: also writes NAMEalpha.tga with each pixel's coverage")
    parser.add_argument("--samples", type=int, default=16, help="Cycles samples per pixel (default 16)")
    parser.add_argument("--object-file", help="the object file to build into (made when it does not exist)")
    parser.add_argument("--build", action="store_true", help="run pixmold palette and pixmold build on the result")
    parser.add_argument("--pixmold", help="the pixmold program (default: pixmold on PATH)")
    return parser


def job_from_arguments(argv):
    args = argument_parser().parse_args(argv)
    job = SheetJob(collection=args.collection, out_dir=args.out, sprite_id=args.id, name=args.name,
                   symmetry=args.symmetry, columns=args.columns, frames=args.frames, palette_id=args.palette_id,
                   sizes=Sizes(args.sizes, args.slop, args.border), soft_edges=args.soft_edges,
                   samples=args.samples, object_file=args.object_file, build=args.build, pixmold=args.pixmold)
    problems = job.problems()
    if problems:
        raise UserError("\n".join(problems), EXIT_USAGE)
    return job
