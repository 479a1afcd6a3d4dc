# Makes the test models of the importer with Blender, as a modeller's user would: a UV sphere, a
# torus, an open cylinder, a subdivided grid and a small creature of several pieces, each
# exported as OBJ. Run it only to remake the committed files (it is no part of the build or the
# tests):
#   blender -b --factory-startup -P scripts/blender_test_models.py -- tests/data/models
import math
import os
import sys

import bpy

out_dir = sys.argv[sys.argv.index("--") + 1] if "--" in sys.argv else "."
os.makedirs(out_dir, exist_ok=True)


def clear_scene():
    bpy.ops.object.select_all(action="SELECT")
    bpy.ops.object.delete()


def export(name):
    bpy.ops.object.select_all(action="SELECT")
    # Y up as the scenes have it; no materials, so that each file stands alone.
    bpy.ops.wm.obj_export(filepath=os.path.join(out_dir, name + ".obj"), export_selected_objects=True,
                          export_materials=False, forward_axis="NEGATIVE_Z", up_axis="Y")


def named(name):
    bpy.context.active_object.name = name
    bpy.context.active_object.data.name = name


clear_scene()
bpy.ops.mesh.primitive_uv_sphere_add(segments=24, ring_count=12, radius=1.0)
named("Sphere")
export("sphere")

clear_scene()
bpy.ops.mesh.primitive_torus_add(major_segments=32, minor_segments=12, major_radius=1.0, minor_radius=0.35)
named("Torus")
export("torus")

clear_scene()
bpy.ops.mesh.primitive_cylinder_add(vertices=24, radius=0.5, depth=2.0, end_fill_type="NOTHING")
named("Cylinder")
export("cylinder")

clear_scene()
bpy.ops.mesh.primitive_grid_add(x_subdivisions=12, y_subdivisions=9, size=3.0)
named("Grid")
export("grid")

# A creature: an egg-shaped body, a head, two flattened ears, an
# open tube of a tail and a torus of a collar, all applied into world space.
clear_scene()
bpy.ops.mesh.primitive_uv_sphere_add(segments=32, ring_count=16, radius=1.0, location=(0, 0, 0))
bpy.context.active_object.scale = (1.3, 0.85, 0.9)
named("Body")
bpy.ops.mesh.primitive_uv_sphere_add(segments=24, ring_count=12, radius=0.6, location=(1.55, 0, 0.55))
named("Head")
for side, y in (("Left", 0.32), ("Right", -0.32)):
    bpy.ops.mesh.primitive_uv_sphere_add(segments=16, ring_count=8, radius=0.22, location=(1.5, y, 1.1))
    bpy.context.active_object.scale = (0.35, 1.0, 1.4)
    named("Ear" + side)
bpy.ops.mesh.primitive_cylinder_add(vertices=16, radius=0.16, depth=1.4, end_fill_type="NOTHING",
                                    location=(-1.75, 0, 0.55))
bpy.context.active_object.rotation_euler = (0, math.radians(-55), 0)
named("Tail")
bpy.ops.mesh.primitive_torus_add(major_segments=32, minor_segments=10, major_radius=0.5, minor_radius=0.12,
                                 location=(1.1, 0, 0.25))
bpy.context.active_object.rotation_euler = (0, math.radians(70), 0)
named("Collar")
bpy.ops.object.select_all(action="SELECT")
bpy.ops.object.transform_apply(location=False, rotation=True, scale=True)
export("creature")
