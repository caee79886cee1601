"""Run inside Blender by blender_render_test.py: calls the headless entry
once per case of CASES.json and writes each case's exit status and message
to RESULTS.json, so that every failure a user can meet is tried in one
Blender start. A case is {"args": [...], "path": PATH or absent,
"version": [major, minor, patch] or absent}; the scene gets an empty
collection named "Nothing Here" first.

  blender -b SCENE.blend --python errors_in_blender.py -- CASES.json RESULTS.json
"""

import contextlib
import io
import json
import os
import sys

import bpy

cases_path, results_path = sys.argv[sys.argv.index("--") + 1:]
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "blender"))
from pixmold_sheets import headless  # noqa: E402

bpy.context.scene.collection.children.link(bpy.data.collections.new("Nothing Here"))
results = []
path = os.environ["PATH"]
for case in json.load(open(cases_path)):
    os.environ["PATH"] = case.get("path", path)
    messages = io.StringIO()
    with contextlib.redirect_stderr(messages):
        status = headless.main(case["args"], tuple(case["version"]) if "version" in case else None)
    results.append({"status": status, "message": messages.getvalue()})
json.dump(results, open(results_path, "w"))
