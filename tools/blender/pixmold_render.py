"""Renders a collection of a .blend file into Pixmold sheets, headless:

  blender -b SCENE.blend --python tools/blender/pixmold_render.py -- \
      --collection NAME --out DIR --id N --name TEXT [--object-file OBJ --build]

`-- --help` lists every option. Blender exits with this script's status.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pixmold_sheets import headless  # noqa: E402

sys.exit(headless.main(headless.arguments_after_separator(sys.argv)))
