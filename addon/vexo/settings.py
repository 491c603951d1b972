# The settings as properties of bpy.context.scene.vexo: one per vexo-cli field, made from
# settings_table.json (vexo-cli --settings-table), so names, defaults, ranges and tooltips are
# vexo-cli's own. Also the settings' text for --set and the reading of --print-prefs.
import json
import os
import struct
from decimal import Decimal

import bpy
from bpy.props import BoolProperty, EnumProperty, FloatProperty, IntProperty, PointerProperty, StringProperty

with open(os.path.join(os.path.dirname(__file__), "settings_table.json"), encoding="utf-8") as _table:
    FIELDS = json.load(_table)["fields"]
KINDS = {field["name"]: field["kind"] for field in FIELDS}
COLLECTION = "Vexo particles"


def _property(field):
    kind = field["kind"]
    words = {"name": field["label"], "description": field["tooltip"]}
    if kind == "path":
        return StringProperty(default=field["default"], subtype="FILE_PATH", **words)
    if kind in ("count", "angle"):
        return IntProperty(default=field["default"], min=field["min"], max=field["max"], **words)
    if kind == "real":
        limits = {key: field[key] for key in ("min", "max") if key in field}
        return FloatProperty(default=field["default"], precision=4, step=10, **limits, **words)
    if kind in ("flag", "path_mode"):
        return BoolProperty(default=field["default"], **words)
    return EnumProperty(items=[(c, c, "") for c in field["choices"]], default=field["default"], **words)


def _is_mesh(_settings, obj):
    return obj.type == "MESH"


_annotations = {field["name"]: _property(field) for field in FIELDS}
_annotations.update(
    particle_mesh=PointerProperty(
        type=bpy.types.Object, poll=_is_mesh, name="Particle mesh",
        description="A mesh object of the scene that every particle shows, as modelled (its own "
                    "coordinates, modifiers applied), instead of the particle object file"),
    cache_above=IntProperty(
        name="Point cache from", default=5000, min=0,
        description="From this many particles on, the bake is a point cache (one object whose points "
                    "move) instead of one object per particle"),
    use_scene_frames=BoolProperty(
        name="Frames from the scene", default=True,
        description="Bake the scene's frame range (Output Properties) instead of First frame and Last frame"),
    cache_folder=StringProperty(
        name="Cache folder", default="//vexo_cache/", subtype="DIR_PATH",
        description="Where a point cache is kept: its Mesh Cache modifier reads it at every frame "
                    "(// is the folder of the .blend file)"),
    exact_reals=StringProperty(options={"HIDDEN"}, description="Reals read from a preferences file, as text"),
)
VexoSettings = type("VexoSettings", (bpy.types.PropertyGroup,), {"__annotations__": _annotations})


def _float32(value):
    """The value as Blender stores a float property, or None beyond single precision."""
    try:
        return struct.unpack("<f", struct.pack("<f", value))[0]
    except (OverflowError, struct.error):
        return None


def real_text(value):
    """The shortest decimal, without exponent, that reads back as the same single-precision value."""
    text = repr(value)
    for digits in range(1, 18):
        text = "%.*g" % (digits, value)
        if _float32(float(text)) == value:
            break
    return format(Decimal(text), "f")


def _exact_reals(vexo):
    return dict(line.split("=", 1) for line in vexo.exact_reals.splitlines() if "=" in line)


def setting_text(vexo, name):
    """The value of one field as --set takes it."""
    kind, value = KINDS[name], getattr(vexo, name)
    if kind == "path":
        return bpy.path.abspath(value) if value else ""
    if kind == "real":
        # A number read from a preferences file keeps its every digit while the property still
        # shows it: Blender holds only single precision.
        exact = _exact_reals(vexo).get(name)
        if exact is not None and _float32(float(exact)) == value:
            return exact
        return real_text(value)
    if kind in ("flag", "path_mode"):
        return "on" if value else "off"
    return str(value)


def assignments(vexo, skip=(), override=None):
    """field=value for every field but those skipped; `override` replaces single values."""
    override = override or {}
    return ["%s=%s" % (f["name"], override.get(f["name"], setting_text(vexo, f["name"])))
            for f in FIELDS if f["name"] not in skip]


def apply_printed(vexo, text):
    """Stores the lines of vexo-cli --print-prefs; returns what could not be shown."""
    values, problems = {}, []
    for line in text.splitlines():
        name, _, value = line.partition("=")
        field = next((f for f in FIELDS if f["name"] == name), None)
        if field is None:
            continue
        kind = field["kind"]
        if kind in ("count", "angle"):
            number = int(value)
            if not field["min"] <= number <= field["max"]:
                problems.append("%s=%s is beyond %d to %d" % (name, value, field["min"], field["max"]))
                continue
            values[name] = number
        elif kind == "real":
            values[name] = float(value)
        elif kind in ("flag", "path_mode"):
            values[name] = value != "off" and value != "0"
        elif kind in ("end_behavior", "emit_from"):
            choices = field["choices"]
            if value not in choices:
                problems.append("%s=%s is none of %s" % (name, value, ", ".join(choices)))
                continue
            values[name] = value
        else:
            values[name] = value
    for name, value in values.items():
        setattr(vexo, name, value)
    vexo.exact_reals = "".join("%s=%s\n" % (line.partition("=")[0], line.partition("=")[2])
                               for line in text.splitlines() if KINDS.get(line.partition("=")[0]) == "real")
    return problems


def bake_frames(scene):
    """The first and last frame a bake simulates."""
    vexo = scene.vexo
    if vexo.use_scene_frames:
        return scene.frame_start, scene.frame_end
    return vexo.first_frame, vexo.last_frame


def register():
    bpy.utils.register_class(VexoSettings)
    bpy.types.Scene.vexo = PointerProperty(type=VexoSettings)


def unregister():
    del bpy.types.Scene.vexo
    bpy.utils.unregister_class(VexoSettings)
