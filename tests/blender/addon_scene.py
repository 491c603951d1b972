# The scene the add-on checks bake: an emitter parented to an animated rig, with its own keys and
# a constraint that clamps its height in the world, and a small wedge mesh as the particle. The
# reference inputs for vexo-cli are made without the add-on: the emitter's world matrices keyed
# onto an unparented empty and written by Blender's own glTF exporter, the wedge by its OBJ exporter.
import os

import bpy

FIRST, LAST = 1, 24


def set_settings(vexo, settings):
    """Stores "field": "text" settings (as --set takes them) into the add-on's properties."""
    for name, text in settings.items():
        kind = vexo.bl_rna.properties[name].type
        if kind == "BOOLEAN":
            setattr(vexo, name, text == "on")
        elif kind == "INT":
            setattr(vexo, name, int(text))
        elif kind == "FLOAT":
            setattr(vexo, name, float(text))
        else:
            setattr(vexo, name, text)


def build():
    scene = bpy.context.scene
    scene.frame_start, scene.frame_end = FIRST, LAST
    rig = bpy.data.objects.new("Rig", None)
    scene.collection.objects.link(rig)
    for frame, (x, turn, z) in ((FIRST, (0, 0, 0)), (12, (1.5, 0.8, 1.0)), (LAST, (2.5, 1.9, 2.2))):
        rig.location = (x, 0.4 * turn, z)
        rig.rotation_euler = (0.0, 0.2 * turn, turn)
        rig.keyframe_insert("location", frame=frame)
        rig.keyframe_insert("rotation_euler", frame=frame)
    emitter = bpy.data.objects.new("Nozzle", None)
    scene.collection.objects.link(emitter)
    emitter.parent = rig
    for frame, tilt in ((FIRST, 0.0), (LAST, 0.9)):
        emitter.location = (1.0, 0.0, 0.5 + tilt)
        emitter.rotation_euler = (tilt, 0.0, 0.0)
        emitter.keyframe_insert("location", frame=frame)
        emitter.keyframe_insert("rotation_euler", frame=frame)
    limit = emitter.constraints.new("LIMIT_LOCATION")
    limit.use_max_z, limit.max_z, limit.owner_space = True, 2.0, "WORLD"
    wedge = bpy.data.meshes.new("Wedge")
    wedge.from_pydata([(0, 0, 0), (0.3, 0, 0), (0, 0.15, 0), (0, 0, 0.45)], [], [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)])
    spark = bpy.data.objects.new("Spark", wedge)
    scene.collection.objects.link(spark)
    bpy.context.view_layer.objects.active = emitter
    return emitter, spark


def clamped(emitter):
    """Frames at which the constraint holds the emitter down (so the check sees it work)."""
    scene = bpy.context.scene
    held = []
    for frame in range(FIRST, LAST + 1):
        scene.frame_set(frame)
        if abs(emitter.matrix_world.translation.z - 2.0) < 1e-6:
            held.append(frame)
    return held


def reference_inputs(folder, emitter, spark, frames):
    """emitter.glb and spark.obj as Blender's own exporters write them."""
    scene = bpy.context.scene
    copy = bpy.data.objects.new("EmitterCopy", None)
    scene.collection.objects.link(copy)
    copy.rotation_mode = "QUATERNION"
    for frame in range(FIRST, FIRST + frames):
        scene.frame_set(frame)
        location, rotation, scale = emitter.matrix_world.decompose()
        copy.location, copy.rotation_quaternion, copy.scale = location, rotation, scale
        for path in ("location", "rotation_quaternion", "scale"):
            copy.keyframe_insert(path, frame=frame)
    for obj in scene.objects:
        obj.select_set(obj == copy)
    end = scene.frame_end
    scene.frame_end = FIRST + frames - 1
    motion = os.path.join(folder, "emitter.glb")
    bpy.ops.export_scene.gltf(filepath=motion, export_format="GLB", use_selection=True)
    scene.frame_end = end
    action = copy.animation_data.action
    bpy.data.objects.remove(copy)
    bpy.data.actions.remove(action)
    for obj in scene.objects:
        obj.select_set(obj == spark)
    mesh = os.path.join(folder, "spark.obj")
    bpy.ops.wm.obj_export(filepath=mesh, export_selected_objects=True, export_materials=False)
    for obj in scene.objects:
        obj.select_set(False)
    bpy.context.view_layer.objects.active = emitter
    return motion, mesh
