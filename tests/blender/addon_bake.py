# The add-on bakes an animated, parented and constrained emitter with a Blender mesh as the
# particle, once as objects (GLB) and once as a point cache, and at 29.97 frames a second. Every
# imported particle must be where vexo-cli's own output for the same settings puts it, from inputs
# made without the add-on (addon_scene.py): the keys of its version 1 scene for the objects, its
# PC2 file for the cache, at every frame.
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import addon_scene  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, work, scene = vb.addon_check("vexo_addon_bake_")
SETTINGS = {"num_particles": "12", "particles_per_frame": "1", "velocity": "0.3", "velocity_variation": "30",
            "heading_spread": "90", "pitch_angle": "40", "pitch_spread": "20", "gravity": "3",
            "limited_lifespan": "on", "lifespan": "6", "end_behavior": "Recycle", "linear_path": "off",
            "particle_grow": "on", "end_size": "0.5", "drag": "0.1", "wind_x": "0.7", "spin": "120"}

emitter, spark = addon_scene.build()
vexo = scene.vexo
addon_scene.set_settings(vexo, SETTINGS)
vexo.particle_mesh = spark
motion, mesh, held = addon_scene.reference_inputs(work, emitter, spark, addon_scene.LAST + 1)
vb.check(len(held) >= 3, "the constraint holds the emitter at no frame")
FRAMES = range(0, addon_scene.LAST + 1)


def reference(target, fps, motion_file=None):
    settings = dict(SETTINGS, first_frame=str(addon_scene.FIRST), last_frame=str(addon_scene.LAST))
    vb.run([vexo_cli, "-q", "--motion", motion_file or motion, "--object", mesh, "--scene", os.path.join(work, target),
            "--fps", repr(fps)] + [word for item in settings.items() for word in ("--set", "%s=%s" % item)])
    return os.path.join(work, target)


def bake():
    vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the bake failed")
    vb.check(bpy.context.view_layer.objects.active == emitter, "the emitter is no longer the active object")
    return bpy.data.collections["Vexo particles"]


def points(mesh):
    return sorted(tuple(round(c, 5) for c in v.co) for v in mesh.vertices)


def check_objects(label, fps, motion_file=None):
    objects = {obj.name: obj for obj in bake().objects}
    keys = vb.version1_keys(reference(label + ".lws", fps, motion_file))
    vb.check(sorted(objects) == ["particle_%04d" % n for n in range(len(keys))] and len(keys) == 12,
             "%s: baked %s, vexo-cli's scene holds %d objects" % (label, sorted(objects), len(keys)))
    compared = 0
    for particle_keys, particle in zip(keys, (objects[name] for name in sorted(objects))):
        vb.check(points(particle.data) == points(spark.data), "%s: %s is no wedge" % (label, particle.name))
        for frame in FRAMES:
            scene.frame_set(frame)
            want = vb.interpolated(particle_keys, frame)
            location, _, scale = particle.matrix_world.decompose()
            want_location = vb.in_blender_axes(vb.lightwave_matrix(want)).translation
            visible = max(want[6:9]) > 0.0
            vb.check(((location - want_location).length <= 1e-4 or not visible) and abs(max(scale) - max(want[6:9])) <= 1e-4,
                     "%s %s frame %d: at %s size %s, vexo-cli %s %s" % (label, particle.name, frame, tuple(location),
                                                                      tuple(scale), tuple(want_location), want[6:9]))
            compared += visible
    vb.check(compared > 100, "%s: only %d visible particle frames compared" % (label, compared))


def pc2_points(path):
    """Per sample, the points of a PC2 file in Blender's axes ((x, y, z) of glTF is (x, -z, y))."""
    with open(path, "rb") as cache:
        header = cache.read(32)
        count, samples = struct.unpack("<i", header[16:20])[0], struct.unpack("<i", header[28:32])[0]
        v = struct.unpack("<%df" % (3 * count * samples), cache.read())
    return [[(v[3 * (s * count + p)], -v[3 * (s * count + p) + 2], v[3 * (s * count + p) + 1]) for p in range(count)]
            for s in range(samples)]


def check_cache():
    vexo.cache_above, vexo.cache_folder = 10, os.path.join(work, "cache") + os.sep
    collection = bake()
    kept = sorted(os.listdir(os.path.join(work, "cache")))
    vb.check(kept == ["untitled_Scene.obj", "untitled_Scene.pc2"], "the cache folder holds %s" % kept)
    obj = collection.objects[0]
    vb.check(len(collection.objects) == 1 and [(m.type, m.cache_format) for m in obj.modifiers] == [("MESH_CACHE", "PC2")],
             "the cache bake is not one object with a PC2 Mesh Cache modifier")
    expected = pc2_points(reference("cache.pc2", 24.0))
    vb.check(len(expected) == addon_scene.LAST + 1, "vexo-cli's cache holds %d samples" % len(expected))
    for frame in FRAMES:
        scene.frame_set(frame)
        evaluated = obj.evaluated_get(bpy.context.evaluated_depsgraph_get())
        got = [evaluated.matrix_world @ v.co for v in evaluated.data.vertices]
        vb.check(len(got) == len(expected[frame]) == 12 * 4, "frame %d: %d points, vexo-cli %d" % (frame, len(got),
                                                                                                  len(expected[frame])))
        for n in range(12):  # each copy of the wedge: its four points, in any order
            mine = got[4 * n:4 * n + 4]
            far = max(min((a - b).length for b in mine) for a in map(type(got[0]), expected[frame][4 * n:4 * n + 4]))
            vb.check(far <= 1e-4, "cache frame %d particle %d: %.6f from vexo-cli's points" % (frame, n, far))


check_objects("objects", 24.0)
check_cache()
vexo.cache_above = 5000
# Blender's exporter writes frame f at f / 30 s whatever the fps base, so at 29.97 frames a second
# the reference motion is the add-on's own (checked against the exporter's at 24 above): this case
# checks that the imported keys land on the frames vexo-cli computed them for.
scene.render.fps, scene.render.fps_base = 30, 1.001
ntsc_motion = os.path.join(work, "ntsc.glb")
addon = sys.modules["vexo"]
addon.motion.write_glb(ntsc_motion, addon.motion.sample_world(scene, emitter, addon_scene.FIRST, addon_scene.LAST + 1),
                       addon_scene.FIRST, 30 / 1.001)
check_objects("ntsc", 30 / 1.001, ntsc_motion)
vb.finish("addon_bake")
