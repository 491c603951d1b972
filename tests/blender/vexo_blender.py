# What both Blender checks share: the numpy alias Debian's Blender 3.4 glTF add-on still needs,
# the command-line arguments, and the change between Blender's axes and LightWave's.
#
# Axes. Blender is right-handed with z up; glTF is right-handed with y up, and Blender's glTF
# add-on maps Blender (x, y, z) to glTF (x, z, -y). Vexo mirrors glTF's z to reach LightWave's
# left-handed axes (x right, y up, z forward). Together: Blender (x, y, z) is LightWave (x, z, y),
# a swap of y and z, so a transform M in LightWave's axes is SWAP * M * SWAP in Blender's.
# A LightWave rotation is Ry(heading) * Rx(pitch) * Rz(bank) with the usual rotation matrices
# (Ry turns +z towards +x, Rx turns +z towards -y), as LightWave's own importers build it.
import atexit
import os
import math
import shutil
import subprocess
import sys
import tempfile

import numpy

if "bool" not in vars(numpy):
    numpy.bool = bool  # removed in numpy 1.24; Blender 3.4's glTF importer still calls it

import bpy  # noqa: E402
from mathutils import Matrix  # noqa: E402

SWAP = Matrix(((1, 0, 0, 0), (0, 0, 1, 0), (0, 1, 0, 0), (0, 0, 0, 1)))


def arguments():
    """vexo-cli, motion_dump, the test data folder."""
    args = sys.argv[sys.argv.index("--") + 1:]
    return args[0], args[1], args[2]


def work_folder(prefix):
    """A scratch folder removed when Blender exits."""
    folder = tempfile.mkdtemp(prefix=prefix)
    atexit.register(shutil.rmtree, folder, True)
    return folder


def lightwave_matrix(channels):
    """The transform of nine LightWave channels: x y z, heading pitch bank (degrees), scale x y z."""
    x, y, z, h, p, b, sx, sy, sz = channels
    rotation = (Matrix.Rotation(math.radians(h), 4, "Y") @ Matrix.Rotation(math.radians(p), 4, "X")
                @ Matrix.Rotation(math.radians(b), 4, "Z"))
    return Matrix.Translation((x, y, z)) @ rotation @ Matrix.Diagonal((sx, sy, sz, 1.0))


def in_blender_axes(matrix):
    return SWAP @ matrix @ SWAP


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        fail("%s failed (%d):\n%s%s" % (" ".join(command), done.returncode, done.stdout, done.stderr))
    return done.stdout


failures = []


def check(condition, text):
    if not condition:
        failures.append(text)


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


def finish(name):
    for text in failures[:20]:
        print("FAIL: " + text, file=sys.stderr)
    if failures:
        fail("%s: %d differences" % (name, len(failures)))
    print("%s: passed" % name)


def fresh_scene(fps):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.context.scene.render.fps = fps
    bpy.context.scene.render.fps_base = 1.0


def enable_addon(vexo_cli, data):
    """Enables the add-on from the repository (addon/vexo) with vexo-cli as its program. Its scratch
    folders go to a temporary folder of this check's own, so that checks can run side by side."""
    import addon_utils
    tempfile.tempdir = work_folder("vexo_addon_tmp_")
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(data)), "..", "addon"))
    addon_utils.enable("vexo", default_set=True, handle_error=None)
    if "vexo" not in bpy.context.preferences.addons:
        fail("the add-on could not be enabled")
    bpy.context.preferences.addons["vexo"].preferences.vexo_cli = vexo_cli


# The particles of the two checks that play vexo-cli's output: spread, falling, bouncing and dying.
CUBE_SETTINGS = ["num_particles=10", "particles_per_frame=1", "velocity=0.3", "velocity_variation=40",
                 "heading_spread=300", "pitch_angle=30", "pitch_spread=20", "gravity=4", "ground_bounce=on",
                 "limited_lifespan=on", "lifespan=7", "end_behavior=Destroy", "radial_creation=on"]


def generate_cube(vexo_cli, data, target, settings, motion=None):
    """vexo-cli's scene of the motion (else emitter_v1.mot) with simple_cube.lwo as the particle and the
    settings (--set)."""
    run([vexo_cli, "-q", "--object", os.path.join(data, "simple_cube.lwo"), "--motion",
         motion or os.path.join(data, "emitter_v1.mot"), "--scene", target]
        + [w for s in settings for w in ("--set", s)])
    return target


def addon_check(prefix):
    """vexo-cli, the test data folder, a work folder and the scene: a fresh one at 24 frames a second
    with the add-on enabled."""
    vexo_cli, _, data = arguments()
    work = work_folder(prefix)
    fresh_scene(24)
    enable_addon(vexo_cli, data)
    return vexo_cli, data, work, bpy.context.scene


def version1_keys(path):
    """Per object of a version 1 scene, its keys as (frame, nine values); of two keys on one frame
    the later counts."""
    objects = []
    with open(path) as scene:
        for line in scene:
            if line.startswith("LoadObject "):
                objects.append({})
            elif line.startswith("  ") and "." in line:
                numbers = line.split()
                objects[-1][int(numbers[9])] = [float(v) for v in numbers[:9]]
    return [sorted(keys.items()) for keys in objects]


def interpolated(keys, frame):
    """The keys at `frame`, linear between neighbours; heading by its shorter way, as a slerp turns."""
    if frame <= keys[0][0]:
        return keys[0][1]
    for (f0, a), (f1, b) in zip(keys, keys[1:]):
        if f0 <= frame <= f1:
            u = (frame - f0) / (f1 - f0)
            values = [x + (y - x) * u for x, y in zip(a, b)]
            for c in (3, 4, 5):
                turn = (b[c] - a[c] + 180.0) % 360.0 - 180.0
                values[c] = a[c] + turn * u
            return values
    return keys[-1][1]
