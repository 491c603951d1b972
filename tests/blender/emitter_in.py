# Blender keys an empty along a curved path with rotation and non-uniform scale, and exports it
# as glTF and as FBX; Vexo's motion table of each file must equal Blender's own world matrix of
# the empty at every frame, after the axis change (vexo_blender.py).
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402

_, motion_dump, _ = vb.arguments()
FIRST, LAST = 1, 33
work = vb.work_folder("vexo_blender_in_")

vb.fresh_scene(24)
scene = bpy.context.scene
scene.frame_start, scene.frame_end = FIRST, LAST
emitter = bpy.data.objects.new("Emitter", None)
scene.collection.objects.link(emitter)
for i, frame in enumerate(range(FIRST, LAST + 1, 8)):
    a = i * 1.3
    emitter.location = (3 * math.cos(a), 3 * math.sin(a), 0.5 * i)
    emitter.rotation_euler = (0.3 * i, -0.25 * i, 0.9 * i)
    emitter.scale = (1 + 0.2 * i, 1 - 0.1 * i, 1 + 0.05 * i)
    for path in ("location", "rotation_euler", "scale"):
        emitter.keyframe_insert(path, frame=frame)

expected = []
for frame in range(FIRST, LAST + 1):
    scene.frame_set(frame)
    expected.append(emitter.matrix_world.copy())

glb = os.path.join(work, "emitter.glb")
fbx = os.path.join(work, "emitter.fbx")
bpy.ops.export_scene.gltf(filepath=glb, export_format="GLB")
# "Apply Scalings: FBX All" keeps metres; "Apply Transform" keeps the object's own axes y-up.
bpy.ops.export_scene.fbx(filepath=fbx, apply_scale_options="FBX_SCALE_ALL", bake_space_transform=True)

for motion in (glb, fbx, fbx + "#Emitter"):
    rows = [[float(v) for v in line.split()] for line in vb.run([motion_dump, motion]).splitlines()]
    vb.check(len(rows) == len(expected), "%s: %d entries, Blender has %d frames" % (motion, len(rows), len(expected)))
    for j, (row, world) in enumerate(zip(rows, expected)):
        got = vb.in_blender_axes(vb.lightwave_matrix(row))
        for r in range(3):
            for c in range(4):
                vb.check(abs(got[r][c] - world[r][c]) <= 1e-5,
                         "%s frame %d [%d][%d]: Vexo %.7f, Blender %.7f" % (motion, FIRST + j, r, c, got[r][c],
                                                                           world[r][c]))
vb.finish("emitter_in")
