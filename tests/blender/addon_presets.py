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

vexo_cli, _, data = vb.arguments()
work = vb.work_folder("vexo_addon_presets_")
vb.fresh_scene(24)
vb.enable_addon(vexo_cli, data)
scene = bpy.context.scene
vexo = scene.vexo
vexo.use_scene_frames = False

table = json.loads(vb.run([vexo_cli, "--settings-table"]))["fields"]
for field in table:
    name = field["name"]
    prop = vexo.bl_rna.properties.get(name)
    if prop is None:
        vb.check(False, "no property %s" % name)
        continue
    vb.check(prop.name == field["label"], "%s: label %r, vexo-cli %r" % (name, prop.name, field["label"]))
    vb.check(prop.description == field["tooltip"], "%s: tooltip %r, vexo-cli %r" % (name, prop.description,
                                                                                     field["tooltip"]))
    if field["kind"] in ("end_behavior", "emit_from"):
        vb.check([item.identifier for item in prop.enum_items] == field["choices"], "%s: choices" % name)
    vb.check(prop.default == field["default"], "%s: default %r, vexo-cli %r" % (name, prop.default, field["default"]))
    for end in ("min", "max"):
        if end in field:
            vb.check(getattr(prop, "hard_" + end) == field[end], "%s: %s %r, vexo-cli %r"
                     % (name, end, getattr(prop, "hard_" + end), field[end]))


def save(name):
    path = os.path.join(work, name)
    vb.check(bpy.ops.vexo.save_preset(filepath=path) == {"FINISHED"}, "saving " + name)
    with open(path, "rb") as saved:
        return saved.read()


def written(name, *assignments):
    path = os.path.join(work, name)
    command = [vexo_cli, "--write-prefs", path]
    for assignment in assignments:
        command += ["--set", assignment]
    vb.run(command)
    with open(path, "rb") as prefs:
        return path, prefs.read()


_, defaults = written("defaults.prefs")
vb.check(save("blender-defaults.prefs") == defaults, "the defaults saved from Blender are not vexo-cli's")

ROUND_TRIP = ["particle_object=/models/spark drop.lwo", "num_particles=4321", "particles_per_frame=17",
              "lifespan=33", "velocity=0.123456789012345", "velocity_variation=12.5", "heading_angle=-275",
              "heading_spread=300", "pitch_angle=-20", "pitch_spread=170", "creation_delay=4", "start_size=0.75",
              "end_size=3.1", "gravity=9.81", "limited_lifespan=on", "use_creation_delay=on", "particle_grow=on",
              "ground_bounce=on", "radial_creation=on", "end_behavior=Stop", "first_frame=5", "last_frame=77",
              "frame_step=2", "linear_path=off", "elasticity=0.65", "oversampling=on",
              "emitter_object=/models/ring.obj", "emit_from=surface", "emit_along_normal=on", "wind_x=0.3",
              "wind_y=-2.5", "wind_z=0.000001", "drag=0.3", "turbulence=4", "turbulence_size=0.25",
              "collision_object=/models/ramp.obj", "friction=0.2", "spin=90"]
source, original = written("source.prefs", *ROUND_TRIP)
vb.check(bpy.ops.vexo.load_preset(filepath=source) == {"FINISHED"}, "loading the preset")
SHOWN = {"num_particles": 4321, "end_behavior": "Stop", "emit_from": "surface", "linear_path": False,
         "ground_bounce": True, "heading_angle": -275, "first_frame": 5, "particle_object": "/models/spark drop.lwo"}
for name, value in SHOWN.items():
    vb.check(getattr(vexo, name) == value, "loaded %s=%r, not %r" % (name, getattr(vexo, name), value))
vb.check(abs(vexo.velocity - 0.123456789012345) < 1e-7, "loaded velocity %r" % vexo.velocity)
vb.check(save("round-trip.prefs") == original, "the preset saved back differs from vexo-cli's file")


def printed(path):
    return dict(line.split("=", 1) for line in vb.run([vexo_cli, path, "--print-prefs"]).splitlines())


vexo.velocity, vexo.gravity, vexo.drag, vexo.spin = 0.3, -1.7, 0.05, 0.00002
vexo.use_scene_frames, scene.frame_start, scene.frame_end = True, 3, 40
save("typed.prefs")
values = printed(os.path.join(work, "typed.prefs"))
for name, text in (("velocity", "0.3"), ("gravity", "-1.7"), ("drag", "0.05"), ("spin", "0.00002"), ("first_frame", "3"),
                   ("last_frame", "40"), ("elasticity", "0.65"), ("wind_z", "0.000001")):
    vb.check(values.get(name) == text, "saved %s=%s, typed %s" % (name, values.get(name), text))

vexo.use_scene_frames = False
kept = save("kept.prefs")
bad = os.path.join(work, "bad.prefs")
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
