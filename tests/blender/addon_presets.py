# The add-on's settings against vexo-cli itself: every property has the name, tooltip, default and
# range of vexo-cli's settings table; presets saved with the defaults are vexo-cli's own defaults
# byte for byte; a file vexo-cli wrote loads and saves back to the same bytes (every digit of a
# double kept); a value typed in Blender is saved as typed; a file that is no preferences file is
# refused with vexo-cli's message and changes nothing.
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402

vexo_cli, data, work, scene = vb.addon_check("vexo_addon_presets_")
vexo = scene.vexo
vexo.use_scene_frames = False

for field in json.loads(vb.run([vexo_cli, "--settings-table"]))["fields"]:
    prop = vexo.bl_rna.properties.get(field["name"])
    got = prop and {"label": prop.name, "tooltip": prop.description, "default": prop.default,
                    "choices": [item.identifier for item in getattr(prop, "enum_items", ())],
                    "min": getattr(prop, "hard_min", None), "max": getattr(prop, "hard_max", None)}
    for key in [key for key in ("label", "tooltip", "default", "choices", "min", "max") if key in field]:
        vb.check(got and got[key] == field[key], "%s %s: %r, vexo-cli %r"
                 % (field["name"], key, got and got[key], field[key]))


def read(path):
    with open(path, "rb") as prefs:
        return prefs.read()


def save(name):
    vb.check(bpy.ops.vexo.save_preset(filepath=os.path.join(work, name)) == {"FINISHED"}, "saving " + name)
    return read(os.path.join(work, name))


def written(name, *assignments):
    vb.run([vexo_cli, "--write-prefs", os.path.join(work, name)] + [w for a in assignments for w in ("--set", a)])
    return os.path.join(work, name), read(os.path.join(work, name))


vb.check(save("blender-defaults.prefs") == written("defaults.prefs")[1], "Blender's defaults are not vexo-cli's")
# Every field away from its default, each number as vexo-cli's text gives it.
with open(os.path.join(data, "addon_round_trip.txt")) as cases:
    ROUND_TRIP = [line.strip() for line in cases if line.strip() and not line.startswith("#")]
source, original = written("source.prefs", *ROUND_TRIP)
vb.check(bpy.ops.vexo.load_preset(filepath=source) == {"FINISHED"}, "loading the preset")
SHOWN = {"num_particles": 4321, "end_behavior": "Stop", "emit_from": "surface", "linear_path": False,
         "ground_bounce": True, "heading_angle": -275, "first_frame": 5, "particle_object": "/models/spark drop.lwo"}
for name, value in SHOWN.items():
    vb.check(getattr(vexo, name) == value, "loaded %s=%r, not %r" % (name, getattr(vexo, name), value))
vb.check(abs(vexo.velocity - 0.123456789012345) < 1e-7, "loaded velocity %r" % vexo.velocity)
vb.check(save("round-trip.prefs") == original, "the preset saved back differs from vexo-cli's file")


vexo.velocity, vexo.gravity, vexo.drag, vexo.spin = 0.3, -1.7, 0.05, 0.00002
vexo.use_scene_frames, scene.frame_start, scene.frame_end = True, 3, 40
save("typed.prefs")
values = dict(line.split("=", 1) for line in vb.run([vexo_cli, os.path.join(work, "typed.prefs"), "--print-prefs"]).splitlines())
for name, text in (("velocity", "0.3"), ("gravity", "-1.7"), ("drag", "0.05"), ("spin", "0.00002"), ("first_frame", "3"),
                   ("last_frame", "40"), ("elasticity", "0.65"), ("wind_z", "0.000001")):
    vb.check(values.get(name) == text, "saved %s=%s, typed %s" % (name, values.get(name), text))

vexo.use_scene_frames = False
kept = save("kept.prefs")
bad = written("bad.prefs")[0]
with open(bad, "wb") as out:
    out.write(b"NOTVEXO")
try:
    bpy.ops.vexo.load_preset(filepath=bad)
    vb.check(False, "a file that is no preferences file was loaded")
except RuntimeError as error:
    want = "Error: vexo-cli failed (exit status 2): %s: This is not a VEXO preferences file" % bad
    vb.check(str(error).strip() == want, "reported %r, not %r" % (str(error).strip(), want))
vb.check(save("after-bad.prefs") == kept, "refusing a file changed the settings")

# A value the properties cannot hold (a choice beyond the list) is left as it was; the rest loads.
damaged = bytearray(original)
damaged[1402:1406] = (7).to_bytes(4, "big")
with open(os.path.join(work, "damaged.prefs"), "wb") as out:
    out.write(damaged)
vexo.emit_from, vexo.num_particles = "vertices", 1
vb.check(bpy.ops.vexo.load_preset(filepath=os.path.join(work, "damaged.prefs")) == {"FINISHED"}, "damaged preset")
vb.check(vexo.emit_from == "vertices" and vexo.num_particles == 4321, "emit_from=7 loaded as %s, num_particles %d"
         % (vexo.emit_from, vexo.num_particles))
vb.finish("addon_presets")
