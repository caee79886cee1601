"""The game's view of an object: one projection and one depth scale for
every renderer of sprite sheets.

Sprites drawn by different renderers (the demo generator's ray tracer, this
add-on's Cycles renders) are composited against each other, floor tiles and
walls by depth alone, so a renderer that drifted from these numbers by a
fraction would put its objects half a tile into the floor. Both import this
module; nothing here may depend on Blender or numpy.

World units: one floor tile is one unit square, +Z is up, and the origin is
the centre of the object's tile on the floor, its reference point. The view
is orthographic from 30 degrees above the floor (2:1 floor tiles), looking
along -X-Y in direction 0, so direction 0 shows the object's +X and +Y
sides.
"""

import math

SIN_ELEVATION = 0.5  # 2:1 floor tiles
COS_ELEVATION = math.sqrt(3.0) / 2.0
LARGE_TILE_WIDTH = 128.0  # pixels across one floor tile at the large zoom
ZOOM_SCALES = (1.0, 0.5, 0.25)  # large, medium, small
TILE_HEIGHTS = (32, 16, 8)  # the sizes tag's tile height per zoom

DEPTH_AT_REFERENCE = 128  # the floor under the reference point
DEPTH_PER_TILE = 48.0  # depth steps per unit away from the viewer
NEAREST_DEPTH = 0
FARTHEST_DEPTH = 254
EMPTY_DEPTH = 255  # nothing drawn


def view_axes(direction, extra_degrees=0.0):
    """Screen right, screen up and into-screen vectors in object space. View
    direction d sees the object turned by d x 45 degrees; extra_degrees
    turns it further (45 for the diagonal frames)."""
    angle = math.radians(-45.0 * direction - extra_degrees)
    c, s = math.cos(angle), math.sin(angle)

    def turn(v):
        return (c * v[0] - s * v[1], s * v[0] + c * v[1], v[2])

    r2 = 1.0 / math.sqrt(2.0)
    right = turn((r2, -r2, 0.0))
    up = turn((-r2 * SIN_ELEVATION, -r2 * SIN_ELEVATION, COS_ELEVATION))
    into = turn((-r2 * COS_ELEVATION, -r2 * COS_ELEVATION, -SIN_ELEVATION))
    return right, up, into


def pixels_per_unit(tile_width):
    """A floor tile's diagonal (sqrt 2 units) spans tile_width pixels."""
    return tile_width / math.sqrt(2.0)


def depth_value(beyond_reference):
    """Unrounded depth of a point lying beyond_reference units along the view
    direction past the plane through the reference point; works on numbers
    and on numpy arrays alike."""
    return DEPTH_AT_REFERENCE + DEPTH_PER_TILE * beyond_reference
