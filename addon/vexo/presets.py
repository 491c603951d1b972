# Presets are Vexo preferences files, read and written by vexo-cli itself (--print-prefs,
# --write-prefs), so a file saved here loads in the desktop program and in vexo-cli, and back.
import bpy
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import cli, settings


class VEXO_OT_load_preset(bpy.types.Operator, ImportHelper):
    bl_idname = "vexo.load_preset"
    bl_label = "Load Preset"
    bl_description = "Load every setting from a Vexo preferences file (saved by vexo, vexo-cli or this add-on)"

    filename_ext = ".prefs"
    filter_glob: bpy.props.StringProperty(default="*.prefs", options={"HIDDEN"})

    def execute(self, context):
        try:
            text, _ = cli.run([self.filepath, "--print-prefs"])
        except cli.CliError as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        for problem in settings.apply_printed(context.scene.vexo, text):
            self.report({"WARNING"}, "Kept as it was: " + problem)
        self.report({"INFO"}, "Loaded the Vexo settings of %s" % self.filepath)
        return {"FINISHED"}


class VEXO_OT_save_preset(bpy.types.Operator, ExportHelper):
    bl_idname = "vexo.save_preset"
    bl_label = "Save Preset"
    bl_description = ("Save every setting as a Vexo preferences file, which vexo and vexo-cli read too "
                      "(with Frames from the scene, the scene's frame range is saved)")

    filename_ext = ".prefs"
    filter_glob: bpy.props.StringProperty(default="*.prefs", options={"HIDDEN"})

    def execute(self, context):
        scene = context.scene
        first, last = settings.bake_frames(scene)
        arguments = ["--write-prefs", self.filepath]
        for assignment in settings.assignments(scene.vexo, (), {"first_frame": str(first), "last_frame": str(last)}):
            arguments += ["--set", assignment]
        try:
            cli.run(arguments)
        except cli.CliError as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        self.report({"INFO"}, "Saved the Vexo settings as %s" % self.filepath)
        return {"FINISHED"}


_classes = (VEXO_OT_load_preset, VEXO_OT_save_preset)

register, unregister = bpy.utils.register_classes_factory(_classes)
