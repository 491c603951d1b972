# What the add-on does when a bake cannot be made: a vexo-cli that cannot be found or run, a
# setting vexo-cli refuses, a vexo-cli that fails, dies or writes something Blender cannot import,
# no emitter, a particle mesh without faces, a cache folder that cannot be made. Each gives its
# report word for word and leaves the previous bake, the scene and the scratch folders as they were.
import os
import re
import stat
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import addon_scene  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, data = vb.arguments()
work = vb.work_folder("vexo_addon_failures_")
vb.fresh_scene(24)
vb.enable_addon(vexo_cli, data)
preferences = bpy.context.preferences.addons["vexo"].preferences
scene = bpy.context.scene
emitter, spark = addon_scene.build()
vexo = scene.vexo
vexo.cache_folder = os.path.join(work, "cache") + os.sep
addon_scene.set_settings(vexo, {"num_particles": "5", "particles_per_frame": "1", "velocity": "0.2"})
vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the first bake failed")
scene.frame_set(7)


def fake_cli(name, body):
    """A stand-in for vexo-cli: a shell script that finds its --scene argument in $scene."""
    path = os.path.join(work, name)
    with open(path, "w") as script:
        script.write('#!/bin/sh\nscene=\nwhile [ $# -gt 0 ]; do [ "$1" = --scene ] && scene=$2; shift; done\n' + body)
    os.chmod(path, stat.S_IRWXU)
    return path


def scratch_folders():
    roots = (tempfile.gettempdir(), os.path.join(work, "cache"))
    return sorted(name for root in roots if os.path.isdir(root) for name in os.listdir(root)
                  if name.startswith(("vexo_bake_", ".vexo_bake_")))


def state():
    particle = bpy.data.objects["particle_0003"]
    return (sorted(o.name for o in bpy.data.collections["Vexo particles"].objects), sorted(bpy.data.objects.keys()),
            len(bpy.data.meshes), len(bpy.data.actions), len(bpy.data.materials), sorted(bpy.data.collections.keys()),
            scene.frame_current, bpy.context.view_layer.objects.active, tuple(particle.matrix_world.translation),
            scratch_folders())


empty_mesh = bpy.data.objects.new("Nothing", bpy.data.meshes.new("Nothing"))
scene.collection.objects.link(empty_mesh)
before = state()
SETUP = "Edit > Preferences > Add-ons > Vexo)"
not_run = os.path.join(data, "emitter_v1.mot")
CASES = [
    ("missing program", {"vexo_cli": "/nonexistent/vexo-cli"},
     "vexo-cli was not found at /nonexistent/vexo-cli: set its path in the preferences of the Vexo add-on (" + SETUP),
    ("not on PATH", {"vexo_cli": "vexo-cli-nowhere"},
     "vexo-cli-nowhere was not found on PATH: set its path in the preferences of the Vexo add-on (" + SETUP),
    ("not a program", {"vexo_cli": not_run}, not_run + " is not a program that can be run (no permission to execute it)"),
    ("refused setting", {"turbulence_size": 0.0}, "vexo-cli failed (exit status 2): turbulence_size=0: must be more than 0"),
    ("control character", {"particle_object": "/tmp/a\nb.lwo"},
     "vexo-cli failed (exit status 2): particle_object=...: A path must not hold control characters such as line "
     "breaks."),
    ("failed write", {"vexo_cli": fake_cli("full", 'echo "vexo-cli: writing $scene failed: No space left on device" >&2\n'
                                                   'echo "vexo-cli: second line" >&2; exit 1\n')},
     "vexo-cli failed (exit status 1): writing {scratch}/particles.glb failed: No space left on device second line"),
    ("killed", {"vexo_cli": fake_cli("killed", "echo progress 0 5; kill -9 $$\n")},
     "vexo-cli was ended by signal 9: no message"),
    ("unreadable result", {"vexo_cli": fake_cli("garbage", 'printf "glTF" > "$scene"; exit 0\n')},
     "The bake could not be imported, the previous bake is kept: Blender could not read particles.glb "
     "(its importer stopped with an error, which the system console shows)"),
    ("unreadable cache", {"vexo_cli": fake_cli("badobj", 'printf "v 0 0\\nf 1 2 3\\n" > "${scene%.pc2}.obj"; '
                                                         'printf "POINT" > "$scene"; exit 0\n'), "cache_above": 1},
     "The bake could not be imported, the previous bake is kept: particles.pc2 is not a PC2 point cache"),
    ("cache of another object", {"vexo_cli": fake_cli("points", 'printf "v 0 0 0\\nv 1 0 0\\nv 0 1 0\\nf 1 2 3\\n" > '
                                                                  '"${scene%.pc2}.obj"; printf "POINTCACHE2\\0\\1\\0\\0\\0'
                                                                  '\\10\\0\\0\\0" > "$scene"; '
                                                                  'head -c 16 /dev/zero >> "$scene"; exit 0\n'),
                                  "cache_above": 1},
     "The bake could not be imported, the previous bake is kept: the point cache moves 8 points, but particles.obj "
     "holds 3"),
    ("no emitter", {"active": None}, "Select the emitter: the bake follows the active object's motion"),
    ("mesh without faces", {"particle_mesh": empty_mesh}, "The particle mesh Nothing has no faces"),
    ("cache folder", {"cache_above": 1, "cache_folder": "/proc/vexo_cache/"},
     "The cache folder /proc/vexo_cache/ cannot be made: No such file or directory"),
]
for name, changes, expected in CASES:
    kept = {}
    for key, value in changes.items():
        if key == "vexo_cli":
            kept[key] = preferences.vexo_cli
            preferences.vexo_cli = value
        elif key == "active":
            kept[key] = bpy.context.view_layer.objects.active
            bpy.context.view_layer.objects.active = value
        else:
            kept[key] = getattr(vexo, key)
            setattr(vexo, key, value)
    report = None
    try:
        result = bpy.ops.vexo.bake()
        report = "no error, %s" % result
    except RuntimeError as error:
        report = str(error).strip()
    pattern = re.escape("Error: " + expected).replace(re.escape("{scratch}"), re.escape(tempfile.gettempdir()) +
                                                      r"/vexo_bake_\w+")
    vb.check(re.fullmatch(pattern, report) is not None, "%s: reported\n  %s\nnot\n  Error: %s" % (name, report, expected))
    after = state()
    if "active" in changes:
        after = after[:7] + before[7:8] + after[8:]
    vb.check(after == before, "%s: changed\n  %s\nto\n  %s" % (name, before, after))
    for key, value in kept.items():
        if key == "vexo_cli":
            preferences.vexo_cli = value
        elif key == "active":
            bpy.context.view_layer.objects.active = value
        else:
            setattr(vexo, key, value)
vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the bake after the failures failed")
vb.finish("addon_failures")
