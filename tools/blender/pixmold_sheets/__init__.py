"""Renders a collection into Pixmold's sprite sheets and markup, and builds them.

The package is both a Blender add-on and a library: the demo generator
imports its projection outside Blender, so nothing that needs bpy is imported
until Blender registers the add-on.
"""

bl_info = {
    "name": "Pixmold sheets",
    "author": "Pixmold",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "3D View > Sidebar > Pixmold",
    "description": "Render a collection as Pixmold sprite sheets (colour, depth, markup) and build them",
    "category": "Render",
}


def register():
    from . import ui

    ui.register()


def unregister():
    from . import ui

    ui.unregister()
