"""Run inside Blender by blender_render_test.py: installs the add-on from its
zip as the preferences' Install button does, enables it, and renders a
floor tile through its operator, with hard and with soft edges, with Blender's default cube, camera and
light still in the scene (they belong to another collection, so nothing of
them may show). Exits 0 when the operator finished.

  blender -b --factory-startup --python addon_in_blender.py -- ADDON.zip OUT_DIR
"""

import sys

import bpy

zip_path, out_dir = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.preferences.addon_install(filepath=zip_path)
bpy.ops.preferences.addon_enable(module="pixmold_sheets")

scene = bpy.context.scene
tile = bpy.data.collections.new("Floor Tile")
scene.collection.children.link(tile)
bpy.ops.mesh.primitive_plane_add(size=1.0, location=(0.0, 0.0, 0.0))
plane = bpy.context.active_object
for owner in list(plane.users_collection):
    owner.objects.unlink(plane)
tile.objects.link(plane)

settings = scene.pixmold_sheets
settings.collection = tile
settings.sprite_id = 300
settings.sprite_name = "Floor Tile"
settings.symmetry = "radial"
results = []
for edges in ("hard", "soft"):
    settings.out_dir = f"{out_dir}/{edges}"
    settings.soft_edges = edges == "soft"
    results.append(bpy.ops.pixmold.render_sheets())
    print(f"operator result, {edges} edges:", results[-1], settings.last_result)
sys.exit(0 if all(r == {"FINISHED"} for r in results) else 1)
