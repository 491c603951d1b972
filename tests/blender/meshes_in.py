# Blender makes a long box (the emitter mesh), an empty that carries it (moving, turning,
# stretching) and a tilted plane, and exports them (OBJ, OBJ, glTF). Vexo uses the files as they
# are; its glTF scene, imported back, must show every particle born on the box as it stood the
# frame before, and none ever below the plane, both judged in Blender's own coordinates.
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, data = vb.arguments()
FIRST, LAST = 1, 48
work = vb.work_folder("vexo_blender_meshes_")


def export_obj(obj, path):
    bpy.ops.object.select_all(action="DESELECT")
    obj.select_set(True)
    bpy.ops.wm.obj_export(filepath=path, export_selected_objects=True, export_materials=False)


vb.fresh_scene(24)
scene = bpy.context.scene
scene.frame_start, scene.frame_end = FIRST, LAST
bpy.ops.mesh.primitive_cube_add(size=1)
box = bpy.context.active_object
box.scale = (2, 0.2, 0.2)
bpy.ops.object.transform_apply(scale=True)  # the mesh itself is 2 x 0.2 x 0.2, at the origin
bpy.ops.mesh.primitive_plane_add(size=24, location=(0, 0, 0), rotation=(math.radians(12), 0, 0))
plane = bpy.context.active_object
export_obj(box, os.path.join(work, "box.obj"))
export_obj(plane, os.path.join(work, "plane.obj"))

mover = bpy.data.objects.new("Mover", None)
scene.collection.objects.link(mover)
keys = [(1, (-4, 0, 5), (0.2, 0.3, 0), (1.5, 1, 0.8)), (24, (0, 1, 5.5), (0.5, -0.3, 1.2), (1, 1.2, 1)),
        (48, (4, 0, 5), (-0.2, 0.4, 2.4), (0.8, 1, 1.3))]
for frame, location, rotation, scale in keys:
    mover.location, mover.rotation_euler, mover.scale = location, rotation, scale
    for path in ("location", "rotation_euler", "scale"):
        mover.keyframe_insert(path, frame=frame)
bpy.ops.object.select_all(action="DESELECT")
mover.select_set(True)
motion = os.path.join(work, "mover.glb")
bpy.ops.export_scene.gltf(filepath=motion, export_format="GLB", use_selection=True)
carried = {}
for frame in range(FIRST, LAST + 1):
    scene.frame_set(frame)
    carried[frame] = mover.matrix_world.inverted()
into_plane = plane.matrix_world.inverted()

target = os.path.join(work, "scene.glb")
vb.generate_cube(vexo_cli, data, target, (
    "num_particles=40 particles_per_frame=2 velocity=0 gravity=4 elasticity=0.6 friction=0.2 linear_path=off "
    "first_frame=1 last_frame=48 start_size=0.05 end_size=0.05 emit_from=surface").split() + [
    "emitter_object=" + os.path.join(work, "box.obj"), "collision_object=" + os.path.join(work, "plane.obj")],
    motion + "#Mover")

vb.fresh_scene(24)
bpy.ops.import_scene.gltf(filepath=target)
particles = [o for o in bpy.data.objects if o.name.startswith("particle_")]
vb.check(len(particles) == 40, "%d particles imported" % len(particles))
born, near = {}, 0
for half_frames in range(2 * FIRST, 2 * LAST + 1):
    frame = half_frames / 2.0
    bpy.context.scene.frame_set(int(frame), subframe=frame - int(frame))
    for p in particles:
        location, _, scale = p.matrix_world.decompose()
        if scale.length == 0:
            continue
        on_plane = into_plane @ location
        if abs(on_plane.x) <= 12 and abs(on_plane.y) <= 12:
            vb.check(on_plane.z >= -1e-5, "%s frame %.1f: %.6f below the plane" % (p.name, frame, -on_plane.z))
            near += 1 if on_plane.z < 0.05 else 0
        if p.name not in born and frame == int(frame):
            born[p.name] = True
            # Born still (velocity 0): it appears where it left the box, as carried the frame before.
            local = carried[max(int(frame) - 1, FIRST)] @ location
            extent = max(abs(local.x) / 1.0, abs(local.y) / 0.1, abs(local.z) / 0.1)
            vb.check(abs(extent - 1) <= 1e-4, "%s born at frame %d off the box: %s" % (p.name, int(frame), local))
vb.check(len(born) == 40, "%d particles seen" % len(born))
vb.check(near > 40, "only %d places within 0.05 of the plane: nothing bounced" % near)
vb.finish("meshes_in")
