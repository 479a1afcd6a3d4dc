# Renders the strands peer_strands wrote with Blender's Workbench, as hair curves, at 1280 x 720:
#   blender -b --factory-startup -P bench/blender_peer.py -- STRANDS AA OUTPUT.png
# AA is Workbench's render_aa: OFF (no antialiasing) or 8 (eight samples, our level 4).
import array
import math
import struct
import sys
import time

import bpy
from mathutils import Vector

def read_strands(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"VSTR":
        raise SystemExit(f"{path}: not a strands file")
    header = struct.unpack_from("<10fI", data, 4)
    eye, interest, fov, light, count = header[0:3], header[3:6], header[6], header[7:10], header[10]
    offset = 4 + 11 * 4
    sizes = array.array("I")
    sizes.frombytes(data[offset:offset + 4 * count])
    offset += 4 * count
    total = sum(sizes)
    blocks = []
    for width in (3, 1, 4):  # positions, radii, colours
        block = array.array("f")
        block.frombytes(data[offset:offset + 4 * width * total])
        offset += 4 * width * total
        blocks.append(block)
    return eye, interest, fov, light, list(sizes), blocks


def main():
    args = sys.argv[sys.argv.index("--") + 1:]
    strands, aa, output = args[0], args[1], args[2]
    started = time.monotonic()
    eye, interest, fov, light, sizes, (positions, radii, colours) = read_strands(strands)

    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    curves = bpy.data.hair_curves.new("Fur")
    curves.add_curves(sizes)
    curves.position_data.foreach_set("vector", positions)
    radius = curves.attributes.get("radius") or curves.attributes.new("radius", "FLOAT", "POINT")
    radius.data.foreach_set("value", radii)
    colour = curves.attributes.new("color", "FLOAT_COLOR", "POINT")
    colour.data.foreach_set("color", colours)
    fur = bpy.data.objects.new("Fur", curves)
    scene.collection.objects.link(fur)

    camera_data = bpy.data.cameras.new("Camera")
    camera_data.sensor_fit = "VERTICAL"
    camera_data.angle_y = math.radians(fov)
    camera = bpy.data.objects.new("Camera", camera_data)
    camera.location = eye
    camera.rotation_euler = (Vector(interest) - Vector(eye)).to_track_quat("-Z", "Y").to_euler()
    scene.collection.objects.link(camera)
    scene.camera = camera
    lamp = bpy.data.objects.new("Light", bpy.data.lights.new("Light", "POINT"))
    lamp.location = light
    scene.collection.objects.link(lamp)

    scene.render.engine = "BLENDER_WORKBENCH"
    scene.render.resolution_x, scene.render.resolution_y = 1280, 720
    scene.render.resolution_percentage = 100
    scene.display.render_aa = aa
    scene.display.shading.light = "STUDIO"
    scene.display.shading.color_type = "VERTEX"
    scene.render.filepath = output
    prepared = time.monotonic()
    bpy.ops.render.render(write_still=True)
    done = time.monotonic()
    print(f"peer: {sum(sizes)} points in {len(sizes)} strands, "
          f"setup {prepared - started:.2f} s, render {done - prepared:.2f} s", flush=True)


main()
