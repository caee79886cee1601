"""Run inside Blender by blender_render_test.py: installs the add-on from its
zip as the preferences' Install button does, enables it, and renders a
floor tile through its operator, with hard and with soft edges, with Blender's default cube, camera and
light still in the scene (they belong to another collection, so nothing of
them may show); then presses the panel's Build button, with the pixmold
program named in the panel, and prints the report it shows. Exits 0 when
the operator finished every time.

  blender -b --factory-startup --python addon_in_blender.py -- ADDON.zip OUT_DIR PIXMOLD
"""

import sys
import types

import bpy

zip_path, out_dir, pixmold = sys.argv[sys.argv.index("--") + 1:]
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


class SidebarLayout:
    """Stands in for the sidebar, which a background Blender does not draw:
    records the panel's fields and buttons in order."""

    def __init__(self):
        self.fields, self.buttons = [], {}

    def prop(self, data, name, **_):
        self.fields.append(name)

    def row(self, **_):
        return self

    column = row

    def label(self, **_):
        pass

    def operator(self, idname, text="", **_):
        self.buttons[text] = (idname, types.SimpleNamespace())
        return self.buttons[text][1]


sidebar = SidebarLayout()
bpy.types.PIXMOLD_PT_sheets.draw(types.SimpleNamespace(layout=sidebar), bpy.context)
print("panel fields:", " ".join(sidebar.fields))
for text, (idname, properties) in sidebar.buttons.items():
    print(f"panel button {text}: {idname} {vars(properties)}")

settings.out_dir = f"{out_dir}/built"
settings.soft_edges = False
settings.object_file = f"{out_dir}/built/tile.iff"
settings.pixmold = pixmold
idname, properties = sidebar.buttons["Build"]
operator = getattr(bpy.ops.pixmold, idname.split(".")[1])
results.append(operator(**vars(properties)))
print("operator result, build:", results[-1], settings.last_result)
print("--- report ---")
report = bpy.data.texts.get("Pixmold report")
print(report.as_string() if report else "(none)")
print("--- end of report ---")
sys.exit(0 if all(r == {"FINISHED"} for r in results) else 1)
