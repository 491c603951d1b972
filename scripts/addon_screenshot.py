# Run by scripts/addon-screenshot inside Blender's window: a scene with an animated emitter, the
# add-on enabled from the repository, the bundled fountain's settings loaded as a preset and baked,
# and the 3D viewport's sidebar on the Vexo tab; then a screenshot of the window.
import math
import os
import sys

import bpy

repository, vexo_cli, picture = sys.argv[sys.argv.index("--") + 1:]


def steps():
    import addon_utils
    sys.path.insert(0, os.path.join(repository, "addon"))
    addon_utils.enable("vexo", default_set=True, handle_error=None)
    bpy.context.preferences.addons["vexo"].preferences.vexo_cli = vexo_cli
    scene = bpy.context.scene
    for obj in list(bpy.data.objects):
        if obj.type != "CAMERA" and obj.type != "LIGHT":
            bpy.data.objects.remove(obj)
    emitter = bpy.data.objects.new("Nozzle", None)
    emitter.empty_display_type = "CONE"
    scene.collection.objects.link(emitter)
    scene.frame_start, scene.frame_end = 1, 120
    for frame in (1, 60, 120):
        emitter.location = (3 * math.cos(frame / 19), 3 * math.sin(frame / 19), 0.5)
        emitter.keyframe_insert("location", frame=frame)
    bpy.context.view_layer.objects.active = emitter
    emitter.select_set(True)
    bpy.ops.vexo.load_preset(filepath=os.path.join(repository, "samples", "fountain.prefs"))
    scene.vexo.particle_object = ""
    bpy.ops.vexo.bake()
    scene.frame_set(80)
    window = bpy.context.window_manager.windows[0]
    area = next(a for a in window.screen.areas if a.type == "VIEW_3D")
    space = area.spaces.active
    space.show_region_ui = True
    with bpy.context.temp_override(window=window, area=area, region=next(r for r in area.regions if r.type == "WINDOW")):
        bpy.ops.view3d.view_all()
    window.event_simulate(type="ESC", value="PRESS")  # the splash screen
    window.event_simulate(type="ESC", value="RELEASE")
    yield 0.5
    # No call chooses a sidebar tab: a click on it, the last of the tabs ("Item", "Tool", "View", "Vexo") at the region's right edge.
    region = next(r for r in area.regions if r.type == "UI")
    x, y = region.x + region.width - 12, region.y + region.height - 155
    window.event_simulate(type="MOUSEMOVE", value="NOTHING", x=x, y=y)
    window.event_simulate(type="LEFTMOUSE", value="PRESS", x=x, y=y)
    window.event_simulate(type="LEFTMOUSE", value="RELEASE", x=x, y=y)
    window.event_simulate(type="MOUSEMOVE", value="NOTHING", x=region.x - 300, y=region.y + 100)
    yield 1.0
    bpy.ops.screen.screenshot(filepath=picture)
    yield 0.2


def tick(generator=steps()):
    try:
        return next(generator)
    except StopIteration:
        os._exit(0)
    except Exception as error:
        print("screenshot failed: %s" % error, file=sys.stderr)
        os._exit(1)


bpy.app.timers.register(tick, first_interval=1.0)
