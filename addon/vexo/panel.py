# The "Vexo" tab of the 3D viewport's sidebar and the add-on's preferences. The settings are
# grouped as the desktop program's windows group them; a field of a newer vexo-cli that no group
# names shows under "More", so every setting always has its place.
import bpy

from . import bake, settings

GROUPS = (
    ("Particles", ("num_particles", "particles_per_frame", "limited_lifespan", "lifespan", "end_behavior",
                   "use_creation_delay", "creation_delay", "particle_grow", "start_size", "end_size")),
    ("Emission", ("velocity", "velocity_variation", "heading_angle", "heading_spread", "pitch_angle",
                  "pitch_spread", "radial_creation", "oversampling", "linear_path")),
    ("Effects", ("gravity", "ground_bounce", "elasticity", "wind_x", "wind_y", "wind_z", "drag", "turbulence",
                 "turbulence_size", "spin")),
    ("Shapes", ("emitter_object", "emit_from", "emit_along_normal", "collision_object", "friction")),
    ("Frames", ("use_scene_frames", "first_frame", "last_frame", "frame_step")),
)
# Set by every bake: the emitter's motion and the file vexo-cli writes.
HIDDEN = ("parent_motion", "target_scene", "particle_object")
SHOWN = {name for _, names in GROUPS for name in names} | set(HIDDEN)


class VexoPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    vexo_cli: bpy.props.StringProperty(
        name="vexo-cli", default="vexo-cli", subtype="FILE_PATH",
        description="The vexo-cli program: its path, or a name looked up on PATH")

    def draw(self, context):
        self.layout.prop(self, "vexo_cli")


class VIEW3D_PT_vexo(bpy.types.Panel):
    bl_space_type = "VIEW_3D"
    bl_region_type = "UI"
    bl_category = "Vexo"
    bl_label = "Vexo"

    def draw(self, context):
        layout = self.layout
        vexo = context.scene.vexo
        emitter = context.view_layer.objects.active
        layout.label(text="Emitter: " + (emitter.name if emitter else "none (select one)"),
                     icon="OBJECT_DATA" if emitter else "ERROR")
        column = layout.column(align=True)
        column.label(text="Particle object:")
        column.prop(vexo, "particle_mesh", text="")
        row = column.row()
        row.enabled = vexo.particle_mesh is None
        row.prop(vexo, "particle_object", text="")
        job = bake.running()
        if job is None:
            layout.operator("vexo.bake", icon="PARTICLES")
        else:
            row = layout.row(align=True)
            text = "Baking: %d %%" % int(job.fraction * 100)
            if hasattr(row, "progress"):
                row.progress(factor=job.fraction, text=text)
            else:
                row.label(text=text)
            row.operator("vexo.cancel_bake", icon="CANCEL")
        row = layout.row(align=True)
        row.operator("vexo.load_preset", icon="FILEBROWSER")
        row.operator("vexo.save_preset", icon="FILE_TICK")
        layout.prop(vexo, "cache_above")
        row = layout.row()
        row.enabled = vexo.num_particles >= vexo.cache_above
        row.prop(vexo, "cache_folder", text="")


def _group_panel(title, names):
    def draw(self, context):
        vexo = context.scene.vexo
        layout = self.layout
        for name in names:
            row = layout.row()
            row.enabled = not (vexo.use_scene_frames and name in ("first_frame", "last_frame"))
            row.prop(vexo, name)

    return type("VIEW3D_PT_vexo_" + title.lower(), (bpy.types.Panel,), {
        "bl_space_type": "VIEW_3D", "bl_region_type": "UI", "bl_category": "Vexo", "bl_label": title,
        "bl_parent_id": "VIEW3D_PT_vexo", "bl_options": set() if title == "Particles" else {"DEFAULT_CLOSED"},
        "draw": draw})


_more = tuple(f["name"] for f in settings.FIELDS if f["name"] not in SHOWN)
_classes = (VexoPreferences, VIEW3D_PT_vexo) + tuple(
    _group_panel(title, names) for title, names in GROUPS + ((("More", _more),) if _more else ()))

register, unregister = bpy.utils.register_classes_factory(_classes)
