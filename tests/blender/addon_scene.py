# The scene the add-on checks bake: an emitter parented to an animated rig, with keys of its own and
# a constraint that clamps its height in the world, and a small wedge mesh as the particle. The
# reference inputs for vexo-cli are made without the add-on: the emitter's world matrices keyed
# onto an unparented empty and written by Blender's own glTF exporter, the wedge by its OBJ exporter.
import os

import bpy

FIRST, LAST = 1, 24
CONVERT = {"BOOLEAN": lambda text: text == "on", "INT": int, "FLOAT": float}


def set_settings(vexo, settings):
    """Stores "field": "text" settings (as --set takes them) into the add-on's properties."""
    for name, text in settings.items():
        setattr(vexo, name, CONVERT.get(vexo.bl_rna.properties[name].type, str)(text))


def keys(obj, frames, paths):
    for frame, values in frames:
        for path, value in zip(paths, values):
            setattr(obj, path, value)
            obj.keyframe_insert(path, frame=frame)


def build():
    scene = bpy.context.scene
    scene.frame_start, scene.frame_end = FIRST, LAST
    rig, emitter = bpy.data.objects.new("Rig", None), bpy.data.objects.new("Nozzle", None)
    wedge = bpy.data.meshes.new("Wedge")
    wedge.from_pydata([(0, 0, 0), (0.3, 0, 0), (0, 0.15, 0), (0, 0, 0.45)], [], [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)])
    spark = bpy.data.objects.new("Spark", wedge)
    for obj in (rig, emitter, spark):
        scene.collection.objects.link(obj)
    keys(rig, [(FIRST, ((0, 0, 0), (0, 0, 0))), (12, ((1.5, 0.32, 1.0), (0, 0.16, 0.8))),
               (LAST, ((2.5, 0.76, 2.2), (0, 0.38, 1.9)))], ("location", "rotation_euler"))
    emitter.parent = rig
    keys(emitter, [(FIRST, ((1, 0, 0.5), (0, 0, 0))), (LAST, ((1, 0, 1.4), (0.9, 0, 0)))], ("location", "rotation_euler"))
    limit = emitter.constraints.new("LIMIT_LOCATION")
    limit.use_max_z, limit.max_z, limit.owner_space = True, 2.0, "WORLD"
    bpy.context.view_layer.objects.active = emitter
    return emitter, spark


def select(scene, chosen):
    for obj in scene.objects:
        obj.select_set(obj == chosen)


def reference_inputs(folder, emitter, spark, frames):
    """emitter.glb and spark.obj as Blender's own exporters write them, and the frames at which
    the constraint holds the emitter down (so the check sees it work)."""
    scene = bpy.context.scene
    copy = bpy.data.objects.new("EmitterCopy", None)
    scene.collection.objects.link(copy)
    copy.rotation_mode = "QUATERNION"
    held = []
    for frame in range(FIRST, FIRST + frames):
        scene.frame_set(frame)
        held += [frame] if abs(emitter.matrix_world.translation.z - 2.0) < 1e-6 else []
        keys(copy, [(frame, emitter.matrix_world.decompose())], ("location", "rotation_quaternion", "scale"))
    select(scene, copy)
    end, scene.frame_end = scene.frame_end, FIRST + frames - 1
    motion, mesh = os.path.join(folder, "emitter.glb"), os.path.join(folder, "spark.obj")
    bpy.ops.export_scene.gltf(filepath=motion, export_format="GLB", use_selection=True)
    scene.frame_end = end
    action = copy.animation_data.action
    bpy.data.objects.remove(copy)
    bpy.data.actions.remove(action)
    select(scene, spark)
    bpy.ops.wm.obj_export(filepath=mesh, export_selected_objects=True, export_materials=False)
    select(scene, None)
    bpy.context.view_layer.objects.active = emitter
    return motion, mesh, held
