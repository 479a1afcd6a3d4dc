# Renders the strands peer_strands wrote with Blender's Workbench, as hair curves, at 1280 x 720:
#   blender -b --factory-startup --python-exit-code 1 -P bench/blender_peer.py -- STRANDS AA OUTPUT.png
# AA is Workbench's render_aa: OFF (no antialiasing) or 8 (eight samples, our level 4).
import array
import math
import struct
import sys
import time

import bpy
from mathutils import Matrix, Vector

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
    # Blender 3.4 cannot size hair curves from Python: the strands go in as a mesh of edge
    # chains, and a hair curves object turns them into curves with geometry nodes.
    total = sum(sizes)
    mesh = bpy.data.meshes.new("Strands")
    mesh.vertices.add(total)
    mesh.vertices.foreach_set("co", positions)
    edges = array.array("i")
    first = 0
    for n in sizes:
        for k in range(first, first + n - 1):
            edges.append(k)
            edges.append(k + 1)
        first += n
    mesh.edges.add(len(edges) // 2)
    mesh.edges.foreach_set("vertices", edges)
    mesh.attributes.new("radius", "FLOAT", "POINT").data.foreach_set("value", radii)
    mesh.attributes.new("color", "FLOAT_COLOR", "POINT").data.foreach_set("color", colours)
    strands_object = bpy.data.objects.new("Strands", mesh)
    scene.collection.objects.link(strands_object)
    strands_object.hide_render = True

    fur = bpy.data.objects.new("Fur", bpy.data.hair_curves.new("Fur"))
    scene.collection.objects.link(fur)
    tree = bpy.data.node_groups.new("Fur", "GeometryNodeTree")
    tree.outputs.new("NodeSocketGeometry", "Geometry")
    group_output = tree.nodes.new("NodeGroupOutput")
    info = tree.nodes.new("GeometryNodeObjectInfo")
    info.inputs["Object"].default_value = strands_object
    to_curves = tree.nodes.new("GeometryNodeMeshToCurve")
    tree.links.new(info.outputs["Geometry"], to_curves.inputs["Mesh"])
    tree.links.new(to_curves.outputs["Curve"], group_output.inputs[0])
    fur.modifiers.new("Fur", "NODES").node_group = tree

    camera_data = bpy.data.cameras.new("Camera")
    camera_data.sensor_fit = "VERTICAL"
    camera_data.angle_y = math.radians(fov)
    camera = bpy.data.objects.new("Camera", camera_data)
    camera.location = eye
    # Looking from the eye at the interest with +y up, as the scene's camera does.
    forward = (Vector(interest) - Vector(eye)).normalized()
    right = forward.cross(Vector((0.0, 1.0, 0.0))).normalized()
    up = right.cross(forward)
    camera.rotation_euler = Matrix((right, up, -forward)).transposed().to_euler()
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
