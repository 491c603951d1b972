#!/usr/bin/env python3
# How Blender plays what Vexo writes, each measurement in a Blender of its own (headless):
#   bench/blender_playback.py build/cli/vexo-cli [PARTICLES...]          (default 10000 30000 100000 1000000)
#   bench/blender_playback.py build/cli/vexo-cli --glb 2000 10000        (the GLB, for comparison)
#   bench/blender_playback.py build/cli/vexo-cli --names 10000           (GLB import time by node names)
#   bench/blender_playback.py build/cli/vexo-cli --reference 100000      (beside a cache made without Vexo)
# The bundled fountain over 120 frames with the bundled cube, as many particles as asked, a stream
# that keeps flowing (a lifespan of 56 frames). For a PC2: load = bpy.ops.wm.obj_import with its
# defaults and a Mesh Cache modifier with its file and format set, up to the first frame shown;
# memory = Blender's peak resident set; frame change = the mean time of scene.frame_set over every
# frame (the modifier reads the cache there). For a GLB: load = bpy.ops.import_scene.gltf.
# --names writes one GLB and gives its nodes other names (unpadded numbers, which do not sort in
# creation order; the numbers backwards; shuffled), then times the import of each.
# --reference also measures, side by side, a cache of the same layout written here without Vexo
# (as many cubes of 8 points and 6 squares on a grid, rising frame by frame): what Blender itself
# costs for that many points on this machine, the yardstick for Vexo's files.
import json
import os
import random
import resource
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FRAMES = 120


def generate(cli, particles, target):
    command = [cli, "-q", os.path.join(ROOT, "samples", "fountain.prefs"),
               "--object", os.path.join(ROOT, "samples", "simple_cube.lwo"),
               "--motion", os.path.join(ROOT, "samples", "emitter.mot"), "--scene", target,
               "--set", "num_particles=%d" % particles,
               "--set", "particles_per_frame=%d" % max(1, particles // 56), "--set", "last_frame=%d" % FRAMES]
    subprocess.run(command, check=True)
    os.sync()  # the files on disk before Blender reads them, no write-back beside the measuring


def in_blender(kind, path, *extra):
    """Runs this script inside Blender on one file; returns its printed measurement."""
    # Blender runs the system's Python: nothing of another one the driver may run on (pyenv, a
    # virtual environment) may leak into it, not even through PATH.
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PYTHON", "PYENV", "_PYENV", "VIRTUAL_ENV"))}
    env["PATH"] = os.pathsep.join(p for p in env.get("PATH", "").split(os.pathsep) if ".pyenv" not in p)
    done = subprocess.run(["blender", "-b", "--factory-startup", "--python", os.path.abspath(__file__), "--",
                           "measure", kind, path, *extra], capture_output=True, text=True, env=env)
    for line in done.stdout.splitlines():
        if line.startswith("MEASURED "):
            return json.loads(line[len("MEASURED "):])
    raise SystemExit("Blender failed on %s:\n%s%s" % (path, done.stdout[-2000:], done.stderr[-2000:]))


def measure(kind, path):
    """Inside Blender: load the file, then change frames."""
    import bpy  # noqa: E402
    import numpy
    if "bool" not in vars(numpy):
        numpy.bool = bool  # Blender 3.4's glTF importer still calls it
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = 24
    start = time.perf_counter()
    if kind == "pc2":
        bpy.ops.wm.obj_import(filepath=os.path.splitext(path)[0] + ".obj")
        modifier = bpy.context.selected_objects[0].modifiers.new("cache", "MESH_CACHE")
        modifier.cache_format = "PC2"
        modifier.filepath = path
    else:
        bpy.ops.import_scene.gltf(filepath=path)
    scene.frame_set(0)
    load = time.perf_counter() - start
    start = time.perf_counter()
    for frame in range(1, FRAMES + 1):
        scene.frame_set(frame)
    change = (time.perf_counter() - start) / FRAMES
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    print("MEASURED " + json.dumps({"load_s": load, "frame_s": change, "peak_GB": peak / 1e9}))


def write_reference(path, particles):
    """Inside Blender, for its numpy: the yardstick cache and its OBJ."""
    import numpy
    cube = numpy.array([(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1)], dtype=float) * 0.1
    squares = ((1, 3, 4, 2), (5, 6, 8, 7), (1, 2, 6, 5), (3, 7, 8, 4), (1, 5, 7, 3), (2, 4, 8, 6))
    side = int(numpy.ceil(particles ** 0.5))
    n = numpy.arange(particles)
    grid = numpy.stack([n % side, numpy.zeros(particles), n // side], axis=1) * 0.5
    points = (grid[:, None, :] + cube[None, :, :]).reshape(-1, 3)
    with open(os.path.splitext(path)[0] + ".obj", "w") as f:
        f.write("".join("v %g %g %g\n" % tuple(p) for p in cube) * particles)
        f.write("".join("f %d %d %d %d\n" % tuple(8 * c + i for i in q) for c in range(particles) for q in squares))
    with open(path, "wb") as f:
        f.write(b"POINTCACHE2\0" + struct.pack("<iiffi", 1, len(points), 0.0, 1.0, FRAMES + 1))
        for k in range(FRAMES + 1):
            (points + (0, 0.05 * k, 0)).astype("<f4").tofile(f)
    os.sync()


def renamed(glb, target, name_of):
    """A copy of a binary glTF whose node n is named name_of(n)."""
    with open(glb, "rb") as f:
        data = f.read()
    length = struct.unpack("<I", data[12:16])[0]
    document = json.loads(data[20:20 + length])
    for n, node in enumerate(document["nodes"]):
        node["name"] = name_of(n)
    text = json.dumps(document, separators=(",", ":")).encode()
    text += b" " * (-len(text) % 4)
    rest = data[20 + length:]
    with open(target, "wb") as f:
        f.write(struct.pack("<III", 0x46546C67, 2, 12 + 8 + len(text) + len(rest)))
        f.write(struct.pack("<II", len(text), 0x4E4F534A) + text + rest)


def main(argv):
    if argv[:1] == ["measure"]:
        if argv[3:]:
            write_reference(argv[2], int(argv[3]))
            return print("MEASURED {}")
        return measure(argv[1], argv[2])
    cli, rest = argv[0], argv[1:]
    kind = "pc2"
    reference = rest[:1] == ["--reference"]
    if reference:
        rest = rest[1:]
    if rest[:1] in (["--glb"], ["--names"]):
        kind, rest = rest[0][2:], rest[1:]
    counts = [int(n) for n in rest] or [10000, 30000, 100000, 1000000]
    work = tempfile.mkdtemp(prefix="vexo_playback_")
    try:
        for particles in counts:
            if kind == "names":
                glb = os.path.join(work, "names.glb")
                generate(cli, particles, glb)
                width = len(str(particles - 1))
                order = list(range(particles))
                random.Random(1).shuffle(order)
                for label, name_of in (("as written (particle_NNNN)", None),
                                       ("unpadded (particle_N)", lambda n: "particle_%d" % n),
                                       ("backwards", lambda n: "particle_%0*d" % (width, particles - 1 - n)),
                                       ("shuffled", lambda n: "particle_%0*d" % (width, order[n]))):
                    path = glb
                    if name_of is not None:
                        path = os.path.join(work, "renamed.glb")
                        renamed(glb, path, name_of)
                    m = in_blender("glb", path)
                    print("%d particles, names %-28s import %7.2f s" % (particles, label, m["load_s"]), flush=True)
                continue
            path = os.path.join(work, "cache." + kind)
            generate(cli, particles, path)
            size = sum(os.path.getsize(p) for p in (path, os.path.splitext(path)[0] + ".obj") if os.path.exists(p))
            m = in_blender(kind, path)
            print("%8d particles %s: load %7.2f s, peak %5.2f GB, frame change %.4f s (%s files %.0f MB)"
                  % (particles, kind.upper(), m["load_s"], m["peak_GB"], m["frame_s"],
                     "real time," if m["frame_s"] <= 1 / 24 else "", size / 1e6), flush=True)
            if reference:
                in_blender(kind, path, str(particles))
                r = in_blender(kind, path)
                print("%8d cubes, the yardstick: load %7.2f s, peak %5.2f GB, frame change %.4f s;"
                      " Vexo's against it: load %.2fx, frame change %.2fx"
                      % (particles, r["load_s"], r["peak_GB"], r["frame_s"], m["load_s"] / r["load_s"],
                         m["frame_s"] / r["frame_s"]), flush=True)
            for name in os.listdir(work):
                os.remove(os.path.join(work, name))
    finally:
        for name in os.listdir(work):
            os.remove(os.path.join(work, name))
        os.rmdir(work)


if __name__ == "__main__":
    main(sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else sys.argv[1:])
