"""Builds the demo scene from Blender primitives and materials and saves it:

  blender -b --factory-startup --python tools/blender/make_demo_scene.py -- OUT.blend

Two collections, each standing on the floor around the world origin (the
centre of its floor tile; one tile is one unit square, +Z up):

  Table            a small side table with a lamp on it
  Calibration Box  a plain box, BOX_SIZE, centred on the origin, each side
                   its own colour (BOX_FACE_COLOURS) so every view shows
                   which way it faces

Made from code so that no binary .blend is kept in the repository.
"""

import argparse
import math
import os
import sys

import bpy

BOX_SIZE = (0.6, 0.4, 0.5)  # x, y, z in units (floor tiles)
BOX_FACE_COLOURS = {  # outward normal: linear RGB
    (1, 0, 0): (0.8, 0.05, 0.05),  # red
    (-1, 0, 0): (0.8, 0.7, 0.05),  # yellow
    (0, 1, 0): (0.05, 0.7, 0.05),  # green
    (0, -1, 0): (0.05, 0.1, 0.8),  # blue
    (0, 0, 1): (0.6, 0.6, 0.6),  # grey
    (0, 0, -1): (0.6, 0.6, 0.6),
}


def material(name, colour, roughness=0.6, metallic=0.0, emission=None):
    made = bpy.data.materials.new(name)
    made.use_nodes = True
    shader = made.node_tree.nodes["Principled BSDF"]
    shader.inputs["Base Color"].default_value = (*colour, 1.0)
    shader.inputs["Roughness"].default_value = roughness
    shader.inputs["Metallic"].default_value = metallic
    if emission:
        shader.inputs["Emission"].default_value = (*emission, 1.0)
        shader.inputs["Emission Strength"].default_value = 1.0
    return made


def place(obj, collection, made):
    for owner in list(obj.users_collection):
        owner.objects.unlink(obj)
    collection.objects.link(obj)
    obj.data.materials.append(made)
    return obj


def box(collection, made, size, centre):
    bpy.ops.mesh.primitive_cube_add(size=1.0, location=centre)
    obj = bpy.context.active_object
    obj.scale = size
    return place(obj, collection, made)


def cylinder(collection, made, radius, depth, centre, radius_top=None, vertices=32):
    if radius_top is None:
        bpy.ops.mesh.primitive_cylinder_add(vertices=vertices, radius=radius, depth=depth, location=centre)
    else:
        bpy.ops.mesh.primitive_cone_add(vertices=vertices, radius1=radius, radius2=radius_top, depth=depth,
                                        location=centre)
    obj = bpy.context.active_object
    bpy.ops.object.shade_smooth()
    return place(obj, collection, made)


def make_table(scene):
    table = bpy.data.collections.new("Table")
    scene.collection.children.link(table)
    wood = material("Walnut", (0.22, 0.09, 0.04), roughness=0.45)
    brass = material("Brass", (0.8, 0.55, 0.2), roughness=0.3, metallic=1.0)
    shade = material("Lamp shade", (0.85, 0.75, 0.5), roughness=0.9, emission=(0.25, 0.18, 0.08))
    top = 0.46
    box(table, wood, (0.64, 0.64, 0.05), (0.0, 0.0, top - 0.025))
    box(table, wood, (0.56, 0.56, 0.03), (0.0, 0.0, 0.12))  # a shelf between the legs
    for x in (-0.27, 0.27):
        for y in (-0.27, 0.27):
            box(table, wood, (0.05, 0.05, top - 0.05), (x, y, (top - 0.05) / 2))
    cylinder(table, brass, 0.09, 0.03, (0.05, 0.05, top + 0.015))
    cylinder(table, brass, 0.015, 0.28, (0.05, 0.05, top + 0.17), vertices=12)
    cylinder(table, shade, 0.14, 0.16, (0.05, 0.05, top + 0.33), radius_top=0.08)
    book = material("Book", (0.5, 0.06, 0.05), roughness=0.7)
    obj = box(table, book, (0.16, 0.22, 0.04), (-0.15, -0.12, top + 0.02))
    obj.rotation_euler.z = math.radians(20)


def make_calibration_box(scene):
    collection = bpy.data.collections.new("Calibration Box")
    scene.collection.children.link(collection)
    obj = box(collection, material("Box grey", BOX_FACE_COLOURS[(0, 0, 1)]), BOX_SIZE, (0.0, 0.0, BOX_SIZE[2] / 2))
    obj.data.materials.clear()
    for normal, colour in BOX_FACE_COLOURS.items():
        obj.data.materials.append(material(f"Box side {normal}", colour, roughness=0.8))
    normals = list(BOX_FACE_COLOURS)
    for polygon in obj.data.polygons:
        facing = tuple(round(c) for c in polygon.normal)
        polygon.material_index = normals.index(facing)


def main():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    parser = argparse.ArgumentParser(
        prog="blender -b --factory-startup --python tools/blender/make_demo_scene.py --",
        description="Saves the demo scene (a small table and a calibration box) as a .blend file.")
    parser.add_argument("out", metavar="OUT.blend", help="the scene file to write")
    try:
        out = parser.parse_args(argv).out
    except SystemExit as leaving:  # --help, or arguments refused
        return leaving.code
    # Blender saves to absolute paths only, and into a folder that exists.
    path = os.path.abspath(out)
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    make_table(scene)
    make_calibration_box(scene)
    try:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        bpy.ops.wm.save_as_mainfile(filepath=path)
    except (OSError, RuntimeError) as error:
        print(f"make_demo_scene: cannot save {path}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    # Blender would exit with 0 whatever the script raised.
    sys.exit(main())
