# Blender imports the .glb and the .gltf Vexo writes; at whole and half frames every particle's
# world location, rotation and scale must equal the keys of the version 1 scene written from the
# same settings, interpolated linearly, after the axis change (vexo_blender.py). Hidden particles
# have scale 0, and every particle shows one shared mesh: the particle object's points.
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, data = vb.arguments()
work = vb.work_folder("vexo_blender_out_")
cube = os.path.join(data, "simple_cube.lwo")
SETTINGS = vb.CUBE_SETTINGS + ["linear_path=on", "first_frame=1", "last_frame=30"]


def generate(name):
    return vb.generate_cube(vexo_cli, data, os.path.join(work, name), SETTINGS)


def birth_rotations(keys):
    """The glTF scene's rule: a hidden key (scale 0) just before a visible one turns as that one does."""
    out = list(keys)
    for i in range(len(out) - 1):
        (frame, a), (_, b) = out[i], out[i + 1]
        if all(v == 0.0 for v in a[6:9]) and any(v != 0.0 for v in b[6:9]):
            out[i] = (frame, a[:3] + b[3:6] + a[6:9])
    return out


def lwo_points(path):
    """The points of a LightWave object (PNTS chunk, big-endian floats)."""
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack(">I", data[at + 4:at + 8])[0]
        if tag == b"PNTS":
            values = struct.unpack(">%df" % (size // 4), data[at + 8:at + 8 + size])
            return [values[i:i + 3] for i in range(0, len(values), 3)]
        at += 8 + size + (size & 1)
    vb.fail("no PNTS chunk in " + path)


objects = [birth_rotations(keys) for keys in vb.version1_keys(generate("scene.lws"))]
vb.check(len(objects) == 10, "the version 1 scene holds %d objects" % len(objects))
points = sorted(set(tuple(round(v, 5) for v in (x, z, y)) for x, y, z in lwo_points(cube)))  # LightWave to Blender
hidden_seen = 0
for name in ("scene.glb", "scene.gltf"):
    vb.fresh_scene(24)
    bpy.ops.import_scene.gltf(filepath=generate(name))
    meshes = set()
    for n, keys in enumerate(objects):
        particle = bpy.data.objects.get("particle_%04d" % n)
        if particle is None:
            vb.check(False, "%s: particle_%04d missing" % (name, n))
            continue
        vb.check(particle.type == "MESH" and particle.parent is None, "%s: %s is no root mesh" % (name, particle.name))
        meshes.add(particle.data.name)
        scene = bpy.context.scene
        for half_frames in range(0, 2 * 30 + 1):
            frame = half_frames / 2.0
            scene.frame_set(int(frame), subframe=frame - int(frame))
            expected = vb.interpolated(keys, frame)
            location, rotation, scale = particle.matrix_world.decompose()
            want_location, want_rotation, want_scale = vb.in_blender_axes(vb.lightwave_matrix(expected)).decompose()
            where = "%s %s frame %.1f" % (name, particle.name, frame)
            vb.check((location - want_location).length <= 1e-5, "%s: location %s, keys %s" % (where, location,
                                                                                            want_location))
            want_scale = (expected[6], expected[8], expected[7])
            vb.check(all(abs(a - b) <= 1e-5 for a, b in zip(scale, want_scale)),
                     "%s: scale %s, keys %s" % (where, tuple(scale), want_scale))
            if min(abs(v) for v in want_scale) > 1e-6:
                vb.check(abs(rotation.dot(want_rotation)) >= 1 - 1e-9,
                         "%s: rotation %s, keys %s" % (where, rotation, want_rotation))
            else:
                hidden_seen += 1
                vb.check(all(v == 0.0 for v in scale), "%s: a hidden particle has scale %s" % (where, tuple(scale)))
    vb.check(len(meshes) == 1, "%s: the particles show %d meshes" % (name, len(meshes)))
    mesh = bpy.data.meshes[meshes.pop()] if meshes else None
    if mesh is not None:
        got = sorted(set(tuple(round(v, 5) for v in vertex.co) for vertex in mesh.vertices))
        vb.check(got == points, "%s: the mesh's points %s are not the particle object's %s" % (name, got, points))
vb.check(hidden_seen > 0, "no hidden particle was compared")
vb.finish("particles_out")
