"""The add-on's face in Blender: settings kept with the scene, the "Render
Pixmold sheets" operator, and a panel in the 3D view's sidebar with a Render
and a Build button. The work itself is the same code the headless entry
runs."""

import bpy

from . import pixmold_tool
from .layout import DEMO_BORDER, DEMO_CELL, DEMO_SLOP, SYMMETRIES, Sizes
from .options import MAX_RESOURCE_ID, SheetJob, UserError, check_blender_version, check_writable_folder
from .render import find_collection
from .sheets import render_job

REPORT_TEXT = "Pixmold report"


class PixmoldSheetSettings(bpy.types.PropertyGroup):
    collection: bpy.props.PointerProperty(name="Collection", type=bpy.types.Collection,
                                          description="The collection to render; nothing else shows")
    sprite_id: bpy.props.IntProperty(name="Object id", default=100, min=0, max=MAX_RESOURCE_ID,
                                     description="Resource id of the sprite and its draw group")
    sprite_name: bpy.props.StringProperty(name="Name", default="", maxlen=63,
                                          description="Name of the sprite and draw group, and the files' base name")
    symmetry: bpy.props.EnumProperty(name="Symmetry", default="none",
                                     items=[(s, s, f"symmetry={s}") for s in SYMMETRIES])
    columns: bpy.props.EnumProperty(name="Columns", default="AUTO", items=[
        ("AUTO", "As needed", "One column per view the symmetry cannot mirror"),
        ("1", "1", ""), ("2", "2", ""), ("4", "4", "")])
    frames: bpy.props.IntProperty(name="Frames", default=1, min=1, max=2,
                                  description="2 adds a row of diagonal views")
    palette_id: bpy.props.IntProperty(name="Palette id", default=-2, min=-2, max=MAX_RESOURCE_ID,
                                      description="PALT id: -2 the object id, -1 no palette resource")
    demo_sizes: bpy.props.BoolProperty(name="Demo sizes", default=True,
                                       description="Cells of 136x192, 68x96 and 34x48 pixels")
    large: bpy.props.IntVectorProperty(name="Large", size=2, default=DEMO_CELL, min=8)
    medium: bpy.props.IntVectorProperty(name="Medium", size=2, default=(DEMO_CELL[0] // 2, DEMO_CELL[1] // 2), min=4)
    small: bpy.props.IntVectorProperty(name="Small", size=2, default=(DEMO_CELL[0] // 4, DEMO_CELL[1] // 4), min=2)
    slop: bpy.props.IntProperty(name="Slop", default=DEMO_SLOP, min=0)
    border: bpy.props.IntProperty(name="Border", default=DEMO_BORDER, min=0)
    soft_edges: bpy.props.BoolProperty(name="Soft edges", default=False,
                                       description="Antialiased edges, with an alpha image of coverage")
    samples: bpy.props.IntProperty(name="Samples", default=16, min=1, max=4096)
    out_dir: bpy.props.StringProperty(name="Output folder", subtype="DIR_PATH", default="//pixmold/")
    object_file: bpy.props.StringProperty(name="Object file", subtype="FILE_PATH", default="",
                                          description="Built into by Build; made when it does not exist")
    pixmold: bpy.props.StringProperty(name="Pixmold program", subtype="FILE_PATH", default="",
                                      description="Empty: pixmold on PATH")
    last_result: bpy.props.StringProperty(name="Last result", default="")


def job_from_settings(settings, build):
    if settings.collection is None:
        raise UserError("choose the collection to render")
    sizes = Sizes(None if settings.demo_sizes else [tuple(settings.large), tuple(settings.medium),
                                                    tuple(settings.small)],
                  DEMO_SLOP if settings.demo_sizes else settings.slop,
                  DEMO_BORDER if settings.demo_sizes else settings.border)
    job = SheetJob(collection=settings.collection.name, out_dir=bpy.path.abspath(settings.out_dir),
                   sprite_id=settings.sprite_id, name=settings.sprite_name or settings.collection.name,
                   symmetry=settings.symmetry, columns=None if settings.columns == "AUTO" else int(settings.columns),
                   frames=settings.frames, palette_id=None if settings.palette_id == -2 else settings.palette_id,
                   sizes=sizes, soft_edges=settings.soft_edges, samples=settings.samples,
                   object_file=bpy.path.abspath(settings.object_file) if settings.object_file else None, build=build,
                   pixmold=bpy.path.abspath(settings.pixmold) if settings.pixmold else None)
    problems = job.problems()
    if problems:
        raise UserError("; ".join(problems))
    return job


def show_report(text):
    report = bpy.data.texts.get(REPORT_TEXT) or bpy.data.texts.new(REPORT_TEXT)
    report.clear()
    report.write(text)


class PIXMOLD_OT_render_sheets(bpy.types.Operator):
    """Render the chosen collection into a Pixmold sheet and markup; with Build, also build it"""

    bl_idname = "pixmold.render_sheets"
    bl_label = "Render Pixmold sheets"
    bl_options = {"REGISTER"}

    build: bpy.props.BoolProperty(name="Build", default=False,
                                  description="Run pixmold palette and pixmold build on the result")

    def execute(self, context):
        settings = context.scene.pixmold_sheets
        try:
            check_blender_version(bpy.app.version)
            job = job_from_settings(settings, self.build)
            find_collection(job.collection)
            pixmold = pixmold_tool.find_pixmold(job.pixmold) if job.build else None
            check_writable_folder(job.out_dir)
            files = render_job(job, context.scene.frame_current, progress=lambda line: print("pixmold:", line))
        except UserError as error:
            return self.fail(settings, str(error))
        lines = [f"Rendered {files.cells} views in {files.seconds:.1f} s into {files.sheet}"]
        lines += ["warning: " + w for w in files.edge_warnings]
        if not job.build:
            return self.finish(settings, lines)
        try:
            status, text = pixmold_tool.build(pixmold, job, files, capture=True)
        except UserError as error:
            return self.fail(settings, str(error))
        show_report("\n".join(lines) + "\n" + text)
        if status != 0:
            return self.fail(settings, f"the build failed (exit status {status}); see the text '{REPORT_TEXT}'")
        return self.finish(settings, lines + [f"Built into {job.object_file}; the report is the text '{REPORT_TEXT}'"])

    def finish(self, settings, lines):
        warnings = [line.removeprefix("warning: ") for line in lines if line.startswith("warning: ")]
        # The panel's one line keeps the outcome; the warnings go to the status bar and the info log.
        outcome = [line for line in lines if not line.startswith("warning: ")][-1]
        settings.last_result = outcome + (f" ({len(warnings)} warnings)" if warnings else "")
        for line in lines:
            if not line.startswith("warning: "):
                self.report({"INFO"}, line)
        for warning in warnings:
            self.report({"WARNING"}, warning)
        return {"FINISHED"}

    def fail(self, settings, message):
        settings.last_result = "Failed: " + message
        self.report({"ERROR"}, message)
        return {"CANCELLED"}


class PIXMOLD_PT_sheets(bpy.types.Panel):
    bl_label = "Pixmold sheets"
    bl_space_type = "VIEW_3D"
    bl_region_type = "UI"
    bl_category = "Pixmold"

    def draw(self, context):
        settings = context.scene.pixmold_sheets
        layout = self.layout
        layout.prop(settings, "collection")
        layout.prop(settings, "sprite_id")
        layout.prop(settings, "sprite_name")
        layout.prop(settings, "symmetry")
        layout.prop(settings, "columns")
        layout.prop(settings, "frames")
        layout.prop(settings, "palette_id")
        layout.prop(settings, "demo_sizes")
        if not settings.demo_sizes:
            sizes = layout.column(align=True)
            for name in ("large", "medium", "small", "slop", "border"):
                sizes.prop(settings, name)
        layout.prop(settings, "soft_edges")
        layout.prop(settings, "samples")
        layout.prop(settings, "out_dir")
        layout.prop(settings, "object_file")
        layout.prop(settings, "pixmold")
        row = layout.row()
        row.operator(PIXMOLD_OT_render_sheets.bl_idname, text="Render", icon="RENDER_STILL").build = False
        row.operator(PIXMOLD_OT_render_sheets.bl_idname, text="Build", icon="EXPORT").build = True
        if settings.last_result:
            layout.label(text=settings.last_result)


CLASSES = (PixmoldSheetSettings, PIXMOLD_OT_render_sheets, PIXMOLD_PT_sheets)


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.Scene.pixmold_sheets = bpy.props.PointerProperty(type=PixmoldSheetSettings)


def unregister():
    del bpy.types.Scene.pixmold_sheets
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
