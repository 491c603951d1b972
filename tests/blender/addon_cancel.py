# The add-on in Blender's window (run under Xvfb with --enable-event-simulate): Bake runs in the
# background with its progress, and both Esc and the panel's Cancel stop vexo-cli, leaving the
# previous bake, the scene and the scratch folders as they were; a bake left to finish replaces
# the previous one. The slow vexo-cli here is a stand-in that prints progress and waits.
import atexit
import os
import stat
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import addon_scene  # noqa: E402
import bpy  # noqa: E402

vexo_cli, _, data = vb.arguments()
work = vb.work_folder("vexo_addon_cancel_")
pid_file = os.path.join(work, "pid")
slow_cli = os.path.join(work, "slow-vexo-cli")
with open(slow_cli, "w") as script:
    script.write('#!/bin/sh\necho $$ > "%s"\ni=0\nwhile [ $i -lt 600 ]; do echo "progress $i 600"; i=$((i+1)); '
                 'sleep 0.05; done\necho > "%s.ran"\nexit 3\n' % (pid_file, pid_file))
os.chmod(slow_cli, stat.S_IRWXU)


def state():
    scratch = sorted(n for n in os.listdir(tempfile.gettempdir()) if n.startswith("vexo_bake_"))
    return (sorted(o.name for o in bpy.data.collections["Vexo particles"].objects), sorted(bpy.data.objects.keys()),
            len(bpy.data.meshes), len(bpy.data.actions), bpy.context.scene.frame_current, scratch)


def invoke(operator):
    """Runs an operator as a click in the 3D viewport does."""
    window = bpy.context.window_manager.windows[0]
    area = next(a for a in window.screen.areas if a.type == "VIEW_3D")
    with bpy.context.temp_override(window=window, area=area, region=next(r for r in area.regions if r.type == "WINDOW")):
        return operator("INVOKE_DEFAULT")


def wait(done, ticks):
    for _ in range(ticks):
        yield 0.05
        if done():
            return


def steps():
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    vb.enable_addon(vexo_cli, data)
    running = sys.modules["vexo"].bake.running
    preferences = bpy.context.preferences.addons["vexo"].preferences
    emitter, _ = addon_scene.build()
    vexo = bpy.context.scene.vexo
    addon_scene.set_settings(vexo, {"num_particles": "5", "particles_per_frame": "1", "velocity": "0.2"})
    vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the first bake failed")
    bpy.context.scene.frame_set(9)
    before = state()
    preferences.vexo_cli = slow_cli
    for how in ("Esc", "Cancel"):
        vb.check(invoke(bpy.ops.vexo.bake) == {"RUNNING_MODAL"}, "%s: the bake did not start in the background" % how)
        yield from wait(lambda: running() is not None and running().fraction > 0.01, 100)
        vb.check(running() is not None and 0.01 < running().fraction < 0.5, "%s: no progress while vexo-cli runs" % how)
        vb.check(not bpy.ops.vexo.bake.poll(), "%s: a second bake could start" % how)
        with open(pid_file) as pid_text:
            process = "/proc/" + pid_text.read().strip()
        if how == "Esc":
            for value in ("PRESS", "RELEASE"):
                bpy.context.window_manager.windows[0].event_simulate(type="ESC", value=value)
        else:
            vb.check(invoke(bpy.ops.vexo.cancel_bake) == {"FINISHED"}, "Cancel was refused")
        yield from wait(lambda: running() is None, 40)
        vb.check(running() is None, "%s did not stop the bake" % how)
        # Ended, not run to its end; and reaped by the add-on, so no zombie is left.
        vb.check(not os.path.exists(process) and not os.path.exists(pid_file + ".ran"), "%s left vexo-cli running" % how)
        after = state()
        vb.check(after == before, "%s changed\n  %s\nto\n  %s" % (how, before, after))
    preferences.vexo_cli, vexo.num_particles = vexo_cli, 7
    vb.check(invoke(bpy.ops.vexo.bake) == {"RUNNING_MODAL"}, "the last bake did not start")
    yield from wait(lambda: running() is None, 200)
    names = sorted(o.name for o in bpy.data.collections["Vexo particles"].objects)
    vb.check(names == ["particle_%04d" % n for n in range(7)], "the finished bake holds %s" % names)
    vb.check(bpy.context.view_layer.objects.active == emitter, "the emitter is no longer active")


def tick(generator=steps()):
    try:
        return next(generator)
    except StopIteration:
        pass
    except Exception as error:  # a failure of the check itself
        vb.check(False, "%s: %s" % (type(error).__name__, error))
    code = 0
    try:
        vb.finish("addon_cancel")
    except SystemExit as done:
        code = done.code or 0
    atexit._run_exitfuncs()  # os._exit, which ends Blender's window at once, runs none
    os._exit(code)


bpy.app.timers.register(tick, first_interval=0.5)
