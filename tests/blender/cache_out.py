# Blender plays the point caches Vexo writes as the README says: NAME.obj imported with
# bpy.ops.wm.obj_import's defaults and a Mesh Cache modifier with only its file and format set
# (PC2), or with Flip Axis Z as well (MDD, which holds LightWave's axes). At every frame every
# particle's copy must lie where Blender shows the same particle of the GLB written from the same
# settings: its mesh's points under the node's animated transform. Both path modes, a particle
# that dies and particles born between keys.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, data = vb.arguments()
work = vb.work_folder("vexo_blender_cache_")
LAST = 30
SETTINGS = vb.CUBE_SETTINGS + ["particle_grow=on", "end_size=2", "first_frame=1", "last_frame=%d" % LAST]


def generate(name, linear):
    return vb.generate_cube(vexo_cli, data, os.path.join(work, name), ["linear_path=" + linear] + SETTINGS)


def glb_points(frame):
    """Per particle, the world positions of its mesh's points, as Blender shows the GLB."""
    bpy.context.scene.frame_set(frame)
    graph = bpy.context.evaluated_depsgraph_get()
    out = []
    for n in range(10):
        particle = bpy.data.objects["particle_%04d" % n].evaluated_get(graph)
        out.append([particle.matrix_world @ v.co for v in particle.data.vertices])
    return out


def cache_points(obj, frame):
    bpy.context.scene.frame_set(frame)
    graph = bpy.context.evaluated_depsgraph_get()
    evaluated = obj.evaluated_get(graph)
    return [evaluated.matrix_world @ v.co for v in evaluated.data.vertices]


def import_obj(path):
    bpy.ops.wm.obj_import(filepath=path)
    return bpy.context.selected_objects[0]


for linear in ("on", "off"):
    vb.fresh_scene(24)
    bpy.ops.import_scene.gltf(filepath=generate("scene.glb", linear))
    expected = [glb_points(f) for f in range(LAST + 1)]
    per_copy = len(bpy.data.objects["particle_0000"].data.vertices)
    for fmt in ("PC2", "MDD"):
        cache = generate("cache." + fmt.lower(), linear)
        # Blender reads no LightWave object: the MDD plays on the PC2's OBJ of the same settings,
        # which holds the same points in the same order.
        obj = import_obj(os.path.join(work, "cache.obj"))
        modifier = obj.modifiers.new("cache", "MESH_CACHE")
        modifier.cache_format = fmt
        modifier.filepath = cache
        if fmt == "MDD":
            modifier.flip_axis = {"Z"}
        points = len(obj.data.vertices)
        vb.check(points % 10 == 0 and points // 10 <= per_copy,
                 "%s %s: %d points for 10 particles of %d" % (fmt, linear, points, per_copy))
        copy = points // 10
        hidden = 0
        for frame in range(LAST + 1):
            got = cache_points(obj, frame)
            for n in range(10):
                mine = got[n * copy:(n + 1) * copy]
                theirs = expected[frame][n]
                where = "%s linear=%s frame %d particle %d" % (fmt, linear, frame, n)
                far = max(min((a - b).length for b in mine) for a in theirs)
                back = max(min((a - b).length for b in theirs) for a in mine)
                vb.check(far <= 1e-4 and back <= 1e-4, "%s: %.6f apart" % (where, max(far, back)))
                if max((a - mine[0]).length for a in mine) == 0.0:
                    hidden += 1
        vb.check(0 < hidden < 10 * (LAST + 1), "%s %s: %d hidden copies" % (fmt, linear, hidden))
        bpy.data.objects.remove(obj)
vb.finish("cache_out")
