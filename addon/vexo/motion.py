# The emitter's motion for vexo-cli: the active object's evaluated world matrix at every frame
# (parents, constraints and drivers included) written as a glTF binary file of one animated node,
# which vexo-cli reads as an animated scene file. Frame f is written at f / fps seconds.
import json
import struct

import bpy
from mathutils import Matrix

NODE = "Emitter"
# Blender's axes (z up) into glTF's (y up): (x, y, z) becomes (x, z, -y).
TO_GLTF = Matrix(((1, 0, 0, 0), (0, 0, 1, 0), (0, -1, 0, 0), (0, 0, 0, 1)))


def sample_world(scene, obj, first, count):
    """The object's world matrix at frames first .. first + count - 1; the scene's frame is kept."""
    frame, subframe = scene.frame_current, scene.frame_subframe
    matrices = []
    try:
        for j in range(count):
            scene.frame_set(first + j)
            graph = bpy.context.evaluated_depsgraph_get()
            matrices.append(obj.evaluated_get(graph).matrix_world.copy())
    finally:
        scene.frame_set(frame, subframe=subframe)
    return matrices


def _floats(values):
    return struct.pack("<%df" % len(values), *values)


def write_glb(path, matrices, first, fps):
    """One node, NODE, with a LINEAR translation, rotation and scale key at every frame."""
    times, moves, turns, sizes = [], [], [], []
    previous = None
    to_blender = TO_GLTF.inverted()
    for j, matrix in enumerate(matrices):
        location, rotation, scale = (TO_GLTF @ matrix @ to_blender).decompose()
        if previous is not None and previous.dot(rotation) < 0:
            rotation.negate()  # the same turn, on the side of the key before
        previous = rotation
        times.append((first + j) / fps)
        moves += location[:]
        turns += [rotation.x, rotation.y, rotation.z, rotation.w]
        sizes += scale[:]
    count = len(matrices)
    parts = [_floats(times), _floats(moves), _floats(turns), _floats(sizes)]
    views, accessors, offset = [], [], 0
    for part, kind in zip(parts, ("SCALAR", "VEC3", "VEC4", "VEC3")):
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(part)})
        accessors.append({"bufferView": len(views) - 1, "componentType": 5126, "count": count, "type": kind})
        offset += len(part)
    accessors[0]["min"] = [struct.unpack("<f", struct.pack("<f", min(times)))[0]]
    accessors[0]["max"] = [struct.unpack("<f", struct.pack("<f", max(times)))[0]]
    paths = ("translation", "rotation", "scale")
    document = {
        "asset": {"version": "2.0", "generator": "Vexo Blender add-on"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"name": NODE}],
        "buffers": [{"byteLength": offset}],
        "bufferViews": views,
        "accessors": accessors,
        "animations": [{
            "name": "emitter",
            "samplers": [{"input": 0, "output": i + 1, "interpolation": "LINEAR"} for i in range(3)],
            "channels": [{"sampler": i, "target": {"node": 0, "path": p}} for i, p in enumerate(paths)],
        }],
    }
    text = json.dumps(document, separators=(",", ":")).encode("utf-8")
    text += b" " * (-len(text) % 4)
    binary = b"".join(parts)
    binary += b"\0" * (-len(binary) % 4)
    with open(path, "wb") as out:
        out.write(struct.pack("<4sII", b"glTF", 2, 12 + 8 + len(text) + 8 + len(binary)))
        out.write(struct.pack("<I4s", len(text), b"JSON") + text)
        out.write(struct.pack("<I4s", len(binary), b"BIN\0") + binary)
