# Brings what vexo-cli wrote into the collection "Vexo particles": into a collection of its own
# first, so that a failed import is removed whole and the previous bake stays; then the previous
# bake is removed and the new one takes its name. Every data block an import made is tagged with
# its bake, so replacing a bake removes its meshes, actions and materials too.
import json
import os
import re
import struct
import uuid

import bpy

from .settings import COLLECTION

KINDS = ("objects", "meshes", "materials", "actions", "images", "textures", "node_groups", "cameras",
         "lights", "curves", "collections")
TAG = "vexo_bake"


class ImportError_(Exception):
    """The result could not be brought in; nothing of it is left."""


def _snapshot():
    return {kind: {block.as_pointer() for block in getattr(bpy.data, kind)} for kind in KINDS}


def _made_since(before):
    return [block for kind in KINDS for block in getattr(bpy.data, kind)
            if block.as_pointer() not in before[kind]]


def _layer_collection(layer, collection):
    if layer.collection == collection:
        return layer
    for child in layer.children:
        found = _layer_collection(child, collection)
        if found is not None:
            return found
    return None


def _numpy_alias():
    # Blender 3.4's glTF importer still calls numpy.bool, which numpy 1.24 removed (2.0 has it again).
    try:
        import numpy
    except ImportError:
        return
    if "bool" not in vars(numpy):
        numpy.bool = bool


def _fcurves(action):
    if hasattr(action, "fcurves"):
        return list(action.fcurves)
    curves = []  # layered actions (Blender 4.4 and later)
    for layer in getattr(action, "layers", ()):
        for strip in layer.strips:
            for bag in getattr(strip, "channelbags", ()):
                curves += list(bag.fcurves)
    return curves


def _glb_last_time(path):
    """The latest key time of a GLB vexo-cli wrote (its input accessors carry their max)."""
    with open(path, "rb") as glb:
        glb.seek(12)
        length, _ = struct.unpack("<I4s", glb.read(8))
        document = json.loads(glb.read(length))
    inputs = {s["input"] for a in document.get("animations", ()) for s in a["samplers"]}
    return max((document["accessors"][i]["max"][0] for i in inputs), default=0.0)


def _retime(path, actions, fps):
    """Puts the keys at frame = seconds * fps whatever rate the glTF importer used (Blender 3.4
    uses the scene's whole fps and leaves out the fps base of rates such as 29.97)."""
    curves = [curve for action in actions for curve in _fcurves(action)]
    last_key = max((curve.keyframe_points[-1].co.x for curve in curves if curve.keyframe_points), default=0.0)
    last_time = _glb_last_time(path)
    if last_time <= 0 or last_key <= 0:
        return
    ratio = fps * last_time / last_key
    if abs(ratio - 1) < 1e-6:
        return
    for curve in curves:
        for key in curve.keyframe_points:
            key.co.x *= ratio
            key.handle_left.x *= ratio
            key.handle_right.x *= ratio
        curve.update()


def _run_importer(operator, path):
    name = os.path.basename(path)
    try:
        result = operator(filepath=path)
    except RuntimeError as error:
        # The importer's exception is the last line that names one; Blender may cut a long
        # traceback short before it.
        lines = [line.strip() for line in str(error).splitlines()]
        reasons = [line for line in lines if re.match(r"^[A-Za-z_][\w.]*(Error|Exception): ", line)]
        reason = reasons[-1] if reasons else "its importer stopped with an error, which the system console shows"
        raise ImportError_("Blender could not read %s (%s)" % (name, reason)) from None
    if result != {"FINISHED"}:
        raise ImportError_("Blender could not read %s" % name)


def _cache_points(path):
    """The point count of a PC2 file, checked before the cache is put in place."""
    with open(path, "rb") as cache:
        head = cache.read(32)
    if len(head) < 32 or head[:12] != b"POINTCACHE2\0":
        raise ImportError_("%s is not a PC2 point cache" % os.path.basename(path))
    return struct.unpack("<i", head[16:20])[0]


def _import_glb(path, fps):
    _numpy_alias()
    before = {a.as_pointer() for a in bpy.data.actions}
    _run_importer(bpy.ops.import_scene.gltf, path)
    _retime(path, [a for a in bpy.data.actions if a.as_pointer() not in before], fps)


def _import_cache(obj_path, cache_path):
    _run_importer(bpy.ops.wm.obj_import, obj_path)


def bring_in(context, kind, path, fps, cache_path=None, keep=None):
    """Imports a GLB (kind "glb") or an OBJ and the PC2 beside it (kind "cache"; its Mesh Cache
    modifier reads the PC2 from `cache_path`), replacing the previous bake. `keep` moves the cache files to their place before the
    previous bake is removed. Returns the new collection. Raises ImportError_, leaving nothing."""
    scene, view_layer = context.scene, context.view_layer
    active, selected = view_layer.objects.active, [o for o in view_layer.objects if o.select_get()]
    frames = (scene.frame_start, scene.frame_end, scene.frame_current, scene.render.fps, scene.render.fps_base)
    active_layer = view_layer.active_layer_collection
    # The previous bake steps aside, so that the new one takes the same names.
    aside = [(block, block.name) for block in _bake_blocks()]
    for n, (block, _) in enumerate(aside):
        block.name = "vexo previous bake %d" % n
    before = _snapshot()
    serial = uuid.uuid4().hex
    staging = bpy.data.collections.new(COLLECTION + " (new)")
    scene.collection.children.link(staging)
    try:
        view_layer.active_layer_collection = _layer_collection(view_layer.layer_collection, staging)
        if kind == "glb":
            _import_glb(path, fps)
        else:
            _import_cache(path, cache_path)
        made = _made_since(before)
        objects = [block for block in made if isinstance(block, bpy.types.Object)]
        if not objects:
            raise ImportError_("%s holds no object" % os.path.basename(path))
        if kind == "cache":
            points = _cache_points(path[:-len(".obj")] + ".pc2")  # vexo-cli wrote it beside the OBJ
            held = sum(len(obj.data.vertices) for obj in objects if obj.type == "MESH")
            if points != held:
                raise ImportError_("the point cache moves %d points, but %s holds %d"
                                   % (points, os.path.basename(path), held))
        for obj in objects:
            for users in list(obj.users_collection):
                if users != staging:
                    users.objects.unlink(obj)
            if staging not in obj.users_collection:
                staging.objects.link(obj)
            if kind == "cache":
                modifier = obj.modifiers.new("Vexo point cache", "MESH_CACHE")
                modifier.cache_format = "PC2"
                modifier.filepath = bpy.path.relpath(cache_path) if bpy.data.filepath else cache_path
        if keep is not None:
            keep()
    except BaseException as error:
        bpy.data.batch_remove([block for block in _made_since(before) if block != staging] + [staging])
        for block, name in aside:
            block.name = name
        if isinstance(error, Exception) and not isinstance(error, ImportError_):
            raise ImportError_(str(error)) from error
        raise
    finally:
        scene.frame_start, scene.frame_end, _, scene.render.fps, scene.render.fps_base = frames
        if scene.frame_current != frames[2]:
            scene.frame_set(frames[2])
        if active_layer is not None:
            view_layer.active_layer_collection = active_layer
        for obj in view_layer.objects:
            obj.select_set(obj in selected)
        view_layer.objects.active = active
    for block in made:
        block[TAG] = serial
    bpy.data.batch_remove([block for block, _ in aside])
    staging.name = COLLECTION
    return staging


def _bake_blocks():
    """The collection "Vexo particles" and every data block its bake made."""
    old = bpy.data.collections.get(COLLECTION)
    if old is None:
        return []
    serial = old.get(TAG)
    return [old] + [block for kind in KINDS for block in getattr(bpy.data, kind)
                    if serial is not None and block.get(TAG) == serial and block != old]

