"""The command-line entry: Blender runs a script and exits 0 whatever the
script raised, so every outcome is turned into an exit status here."""

import sys
import traceback

from .options import EXIT_FAILED, UserError, check_blender_version, check_writable_folder, job_from_arguments

PROGRAM = "pixmold_render"


def say(line):
    print(f"{PROGRAM}: {line}", flush=True)


def run(argv, blender_version=None):
    import bpy

    from . import pixmold_tool
    from .render import find_collection
    from .sheets import render_job

    job = job_from_arguments(argv)
    check_blender_version(blender_version or bpy.app.version)
    find_collection(job.collection)
    pixmold = pixmold_tool.find_pixmold(job.pixmold) if job.build else None
    check_writable_folder(job.out_dir)
    files = render_job(job, bpy.context.scene.frame_current, progress=say)
    for warning in files.edge_warnings:
        say("warning: " + warning)
    written = [files.sheet] + ([files.alpha_image] if files.alpha_image else []) + [files.markup]
    say(f"wrote {', '.join(written)}: {files.cells} views in {files.seconds:.1f} s")
    if not job.build:
        return 0
    status, _ = pixmold_tool.build(pixmold, job, files)
    return status


def main(argv, blender_version=None):
    """The exit status for the arguments after Blender's '--'."""
    try:
        return run(argv, blender_version)
    except UserError as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr, flush=True)
        return error.status
    except SystemExit as leaving:  # --help
        return leaving.code if isinstance(leaving.code, int) else 0
    except BaseException:  # noqa: B902 - nothing may end Blender with status 0 by accident
        traceback.print_exc()
        print(f"{PROGRAM}: internal error (above); nothing was built", file=sys.stderr, flush=True)
        return EXIT_FAILED


def arguments_after_separator(argv):
    return argv[argv.index("--") + 1:] if "--" in argv else []
