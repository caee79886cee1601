"""Renders one cell at a time with Cycles, from the game's camera.

Every render happens in a scene of its own that holds only the collection,
a camera and a light rig, so nothing else in the artist's file shows, and
their scene's settings are neither used nor changed. The camera turns about
the Z axis through the origin for each view; the model never moves. The
light turns with the camera, so every view is lit from the same side of
the screen, as the demo's objects are.

Depth comes from the Z pass: for an orthographic camera it is the distance
along the view direction from the camera's plane, which is the camera's
distance plus how far the point lies beyond the plane through the reference
point. Cycles writes that pass from the first sample only, so each pixel's
depth is the surface under its first sample. With hard edges (the default)
every sample is taken at the pixel's centre, as the demo generator traces
its rays, and a pixel is drawn when most samples hit; soft edges spread the
samples over the pixel and keep the coverage for the alpha image.
"""

import contextlib
import ctypes
import glob
import os
import shutil
import tempfile

import bpy
import numpy as np
from mathutils import Matrix, Vector

from . import projection
from .options import EXIT_USAGE, UserError

CAMERA_DISTANCE = 50.0  # from the reference point, along the view direction
RENDERABLE_TYPES = {"MESH", "CURVE", "SURFACE", "META", "FONT", "VOLUME", "GPENCIL", "CURVES", "POINTCLOUD"}
SOFT_DRAWN_COVERAGE = 8 / 255  # below one step of the build's five alpha bits nothing shows
SUN_STRENGTH = 2.2
AMBIENT = 0.3
NO_SURFACE = 1e9  # the Z pass's value where the first sample hit nothing


def find_collection(name):
    collection = bpy.data.collections.get(name)
    if collection is None:
        known = ", ".join(sorted(c.name for c in bpy.data.collections)) or "none"
        raise UserError(f'no collection named "{name}" in this file (its collections: {known})', EXIT_USAGE)
    if not renderable_objects(collection):
        raise UserError(f'collection "{name}" holds nothing to render: no mesh, curve, text or other object '
                        "that is enabled for renders")
    return collection


def renderable_objects(collection):
    if collection.hide_render:
        return []
    return [o for o in collection.all_objects if o.type in RENDERABLE_TYPES and not o.hide_render]


def srgb_bytes(linear):
    """Blender's 'Standard' view transform: the sRGB curve, no tone mapping."""
    linear = np.clip(linear, 0.0, 1.0)
    encoded = np.where(linear <= 0.0031308, linear * 12.92, 1.055 * np.power(linear, 1 / 2.4) - 0.055)
    return np.round(encoded * 255).astype(np.uint8)


def fill_missing_depth(depth, drawn):
    """Drawn pixels whose first sample missed take the nearest depth of a
    neighbour, so no drawn pixel ends up without depth."""
    missing = drawn & (depth >= NO_SURFACE)
    for _ in range(3):
        if not missing.any():
            break
        padded = np.pad(np.where(missing, np.inf, depth), 1, constant_values=np.inf)
        h, w = depth.shape
        neighbours = np.min([padded[1 + dy:1 + dy + h, 1 + dx:1 + dx + w]
                             for dy in (-1, 0, 1) for dx in (-1, 0, 1)], axis=0)
        found = missing & (neighbours < NO_SURFACE)
        depth = np.where(found, neighbours, depth)
        missing &= ~found
    return depth, drawn & ~missing


@contextlib.contextmanager
def quiet_stdout():
    """Cycles prints a progress line per sample block on standard output;
    ours are the lines a user needs."""
    try:
        libc = ctypes.CDLL(None)
        saved = os.dup(1)
    except OSError:
        yield
        return
    try:
        libc.fflush(None)
        with open(os.devnull, "w") as null:
            os.dup2(null.fileno(), 1)
        yield
    finally:
        libc.fflush(None)
        os.dup2(saved, 1)
        os.close(saved)


class CellImage:
    def __init__(self, rgb, depth, coverage):
        self.rgb = rgb  # height x width x 3 bytes
        self.depth = depth  # height x width bytes, EMPTY_DEPTH where nothing is drawn
        self.coverage = coverage  # height x width bytes, 0 clear .. 255 opaque


class SheetRenderer:
    def __init__(self, collection, samples=16, soft_edges=False, frame=None):
        self.soft_edges = soft_edges
        self.folder = tempfile.mkdtemp(prefix="pixmold-render-")
        self.scene = bpy.data.scenes.new(".pixmold render")
        self.scene.collection.children.link(collection)
        if frame is not None:
            self.scene.frame_set(frame)
        self._set_up_cycles(samples)
        self._set_up_camera_and_light()
        self._set_up_output()

    def _set_up_cycles(self, samples):
        scene = self.scene
        scene.render.engine = "CYCLES"
        scene.cycles.device = "CPU"
        scene.cycles.samples = samples
        scene.cycles.use_adaptive_sampling = False
        scene.cycles.use_denoising = False  # Debian's Blender has no denoiser
        scene.cycles.max_bounces = 4
        scene.cycles.pixel_filter_type = "BLACKMAN_HARRIS" if self.soft_edges else "BOX"
        scene.cycles.filter_width = 1.5 if self.soft_edges else 0.01
        scene.render.film_transparent = True
        scene.render.resolution_percentage = 100
        scene.render.pixel_aspect_x = scene.render.pixel_aspect_y = 1.0
        scene.render.use_compositing = True
        scene.render.use_sequencer = False
        scene.view_settings.view_transform = "Standard"
        scene.view_layers[0].use_pass_z = True
        self.world = bpy.data.worlds.new(".pixmold ambient")
        self.world.use_nodes = True
        background = self.world.node_tree.nodes["Background"]
        background.inputs["Color"].default_value = (1.0, 1.0, 1.0, 1.0)
        background.inputs["Strength"].default_value = AMBIENT
        scene.world = self.world

    def _set_up_camera_and_light(self):
        self.camera_data = bpy.data.cameras.new(".pixmold camera")
        self.camera_data.type = "ORTHO"
        self.camera_data.sensor_fit = "HORIZONTAL"
        self.camera_data.clip_start = 0.01
        self.camera_data.clip_end = 2 * CAMERA_DISTANCE
        self.camera = bpy.data.objects.new(".pixmold camera", self.camera_data)
        self.sun_data = bpy.data.lights.new(".pixmold sun", "SUN")
        self.sun_data.energy = SUN_STRENGTH
        self.sun = bpy.data.objects.new(".pixmold sun", self.sun_data)
        for thing in (self.camera, self.sun):
            self.scene.collection.objects.link(thing)
        self.scene.camera = self.camera

    def _set_up_output(self):
        self.scene.use_nodes = True
        tree = self.scene.node_tree
        for node in list(tree.nodes):
            tree.nodes.remove(node)
        layers = tree.nodes.new("CompositorNodeRLayers")
        layers.scene = self.scene
        composite = tree.nodes.new("CompositorNodeComposite")
        tree.links.new(layers.outputs["Image"], composite.inputs["Image"])
        files = tree.nodes.new("CompositorNodeOutputFile")
        files.base_path = self.folder
        files.format.file_format = "OPEN_EXR"
        files.format.color_depth = "32"
        files.format.color_mode = "RGBA"
        files.format.exr_codec = "NONE"
        files.file_slots.clear()
        for name, output in (("rgba", "Image"), ("depth", "Depth")):
            files.file_slots.new(name)
            tree.links.new(layers.outputs[output], files.inputs[name])

    def _aim(self, direction, extra_degrees, width, height, ref_x, ref_y, tile_width):
        right, up, into = (Vector(v) for v in projection.view_axes(direction, extra_degrees))
        scale = projection.pixels_per_unit(tile_width)
        # The image centre lies this far from the reference point, in units,
        # so the origin lands on (ref_x, ref_y) counted from the top-left.
        centre = ((width / 2 - ref_x) * right + (ref_y - height / 2) * up) / scale
        rotation = Matrix((right, up, -into)).transposed().to_4x4()
        self.camera.matrix_world = Matrix.Translation(centre - CAMERA_DISTANCE * into) @ rotation
        self.camera_data.ortho_scale = width / scale
        towards_light = (-0.45 * right + 0.7 * up - 0.55 * into).normalized()
        self.sun.matrix_world = towards_light.to_track_quat("Z", "Y").to_matrix().to_4x4()
        self.scene.render.resolution_x = width
        self.scene.render.resolution_y = height

    def _read(self, slot):
        (path,) = glob.glob(os.path.join(self.folder, slot + "*.exr"))
        image = bpy.data.images.load(path, check_existing=False)
        try:
            width, height = image.size
            pixels = np.empty(width * height * 4, np.float32)
            image.pixels.foreach_get(pixels)
        finally:
            bpy.data.images.remove(image)
            os.remove(path)
        return pixels.reshape(height, width, 4)[::-1]  # Blender's rows run bottom first

    def render(self, direction, extra_degrees, width, height, ref_x, ref_y, tile_width):
        self._aim(direction, extra_degrees, width, height, ref_x, ref_y, tile_width)
        with quiet_stdout():
            bpy.ops.render.render(scene=self.scene.name)
        rgba = self._read("rgba")
        z = self._read("depth")[..., 0]
        alpha = rgba[..., 3]
        drawn = alpha >= (SOFT_DRAWN_COVERAGE if self.soft_edges else 0.5)
        z, drawn = fill_missing_depth(np.where(drawn, z, np.inf), drawn)
        depth = np.clip(np.round(projection.depth_value(z - CAMERA_DISTANCE)), projection.NEAREST_DEPTH,
                        projection.FARTHEST_DEPTH)
        depth = np.where(drawn, depth, projection.EMPTY_DEPTH).astype(np.uint8)
        with np.errstate(divide="ignore", invalid="ignore"):
            straight = np.where(alpha[..., None] > 0, rgba[..., :3] / alpha[..., None], 0.0)
        rgb = np.where(drawn[..., None], srgb_bytes(straight), 0).astype(np.uint8)
        coverage = np.where(drawn, np.round(np.clip(alpha, 0, 1) * 255), 0).astype(np.uint8)
        return CellImage(rgb, depth, coverage)

    def close(self):
        for block, collection in ((self.camera, bpy.data.objects), (self.sun, bpy.data.objects),
                                  (self.camera_data, bpy.data.cameras), (self.sun_data, bpy.data.lights),
                                  (self.scene, bpy.data.scenes), (self.world, bpy.data.worlds)):
            collection.remove(block)
        shutil.rmtree(self.folder, ignore_errors=True)
