"""Runs the pixmold command line on rendered sheets: the palette image a
truecolour render lacks, then the build."""

import os
import shutil
import struct
import subprocess
import zlib

from .options import UserError

PATH_ADVICE = ('put the folder holding pixmold on PATH (in the repository: export PATH="$PWD/build/release/cli:$PATH") '
               "or name the program with --pixmold (in Blender: the panel's Pixmold program field)")
DEFINITION_VERSION = 138


def find_pixmold(explicit=None):
    if explicit:
        if os.path.isfile(explicit) and os.access(explicit, os.X_OK):
            return os.path.abspath(explicit)
        raise UserError(f"pixmold program {explicit} does not exist or cannot be run; {PATH_ADVICE}")
    found = shutil.which("pixmold")
    if not found:
        raise UserError(f"pixmold not found on PATH; {PATH_ADVICE}")
    return found


def object_definition(draw_group_id, name):
    """A 216-byte object definition showing the draw group: version 138,
    the first draw group and a count of one, a GUID made from the name (so a
    re-run makes the same object); every other field zero."""
    words = [0] * 108
    words[0] = DEFINITION_VERSION
    words[3] = draw_group_id
    words[4] = 1
    data = bytearray(struct.pack("<108H", *words))
    data[28:32] = struct.pack("<I", zlib.crc32(name.encode("utf-8")) | 1)
    return bytes(data)


def object_file_exists(object_file):
    base, extension = os.path.splitext(object_file)
    if extension.lower() not in (".iff", ".spf"):
        base = object_file
    return any(os.path.exists(p) for p in (object_file, base + ".iff", base + ".spf"))


def run(command, capture):
    """Exit status and, when captured, what the command printed."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE if capture else None,
                              stderr=subprocess.STDOUT if capture else None, text=True)
    except OSError as error:
        raise UserError(f"cannot run {command[0]}: {error.strerror or error}") from error
    return done.returncode, done.stdout or ""


def make_object_file(pixmold, job, capture=False):
    """An object holding one definition named after the sprite, when the
    object file does not exist yet."""
    if object_file_exists(job.object_file):
        return 0, ""
    base, extension = os.path.splitext(job.object_file)
    target = base if extension.lower() in (".iff", ".spf") else job.object_file
    command = [pixmold, "add", "--create", target, "OBJD", "128", "--name", job.name]
    try:
        done = subprocess.run(command, input=object_definition(job.sprite_id, job.name),
                              stdout=subprocess.PIPE if capture else None,
                              stderr=subprocess.STDOUT if capture else None)
    except OSError as error:
        raise UserError(f"cannot run {pixmold}: {error.strerror or error}") from error
    return done.returncode, (done.stdout or b"").decode("utf-8", "replace")


def build(pixmold, job, files, capture=False):
    """pixmold palette, then pixmold build of this sprite's draw group; the
    exit status of the first that fails, else the build's, and the text they
    printed when captured."""
    text = ""
    status, out = make_object_file(pixmold, job, capture)
    text += out
    if status != 0:
        return status, text
    status, out = run([pixmold, "palette", files.sheet], capture)
    text += out
    if status != 0:
        return status, text
    status, out = run([pixmold, "build", job.object_file, "--omk", files.markup, "--images",
                       os.path.dirname(os.path.abspath(files.sheet)), "--draw-groups", str(job.sprite_id)], capture)
    return status, text + out
