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

vexo_cli, data, work, scene = vb.addon_check("vexo_addon_failures_")
preferences = bpy.context.preferences.addons["vexo"].preferences
emitter, spark = addon_scene.build()
vexo = scene.vexo
vexo.cache_folder = os.path.join(work, "cache") + os.sep
addon_scene.set_settings(vexo, {"num_particles": "5", "particles_per_frame": "1", "velocity": "0.2"})
vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the first bake failed")
scene.frame_set(7)


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


def value(key, text):
    text = text.replace("DATA", data).replace("\\n", "\n")
    if key == "particle_mesh" or key == "active":
        return bpy.data.objects.get(text)
    return addon_scene.CONVERT.get(getattr(vexo.bl_rna.properties.get(key), "type", ""), str)(text)


def apply(changes):
    """Makes the changes; returns the changes that undo them."""
    undo = {}
    for key, new in changes.items():
        owner = preferences if key == "vexo_cli" else bpy.context.view_layer.objects if key == "active" else vexo
        undo[key] = getattr(owner, key)
        setattr(owner, key, new)
    return undo


cases = {}
with open(os.path.join(data, "addon_failure_cases.txt")) as lines:
    for line in (line.rstrip("\n") for line in lines if line.strip() and not line.startswith("#")):
        word, _, rest = line.partition(" ")
        if word == "==":
            name = rest
            cases[name] = {"changes": {}}
        elif word == "set":
            key, _, text = rest.partition(" ")
            cases[name]["changes"][key] = value(key, text)
        elif word == "cli":
            path = os.path.join(work, "cli%d" % len(cases))
            with open(path, "w") as script:
                script.write('#!/bin/sh\nscene=\nwhile [ $# -gt 0 ]; do [ "$1" = --scene ] && scene=$2; shift; done\n'
                             + rest + "\n")
            os.chmod(path, stat.S_IRWXU)
            cases[name]["changes"]["vexo_cli"] = path
        else:
            cases[name]["report"] = rest.replace("DATA", data)
vb.check(len(cases) == 13, "%d cases read" % len(cases))
for name, case in cases.items():
    undo = apply(case["changes"])
    try:
        report = "no error, %s" % bpy.ops.vexo.bake()
    except RuntimeError as error:
        report = str(error).strip()
    expected = "Error: " + case["report"]
    pattern = re.escape(expected).replace(re.escape("{scratch}"), re.escape(tempfile.gettempdir()) + r"/vexo_bake_\w+")
    vb.check(re.fullmatch(pattern, report) is not None, "%s: reported\n  %s\nnot\n  %s" % (name, report, expected))
    after = state()
    if "active" in case["changes"]:
        after = after[:7] + before[7:8] + after[8:]
    vb.check(after == before, "%s: changed\n  %s\nto\n  %s" % (name, before, after))
    apply(undo)
vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the bake after the failures failed")
vb.finish("addon_failures")
