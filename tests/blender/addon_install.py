# The zip scripts/addon-zip makes installs as the README says (Preferences > Add-ons > Install,
# here its operator, into a scratch user folder), enables, and bakes from the installed copy.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vexo_blender as vb  # noqa: E402
import bpy  # noqa: E402
import addon_utils  # noqa: E402

vexo_cli, _, data = vb.arguments()
archive = sys.argv[sys.argv.index("--") + 4]
vb.fresh_scene(24)
vb.check(bpy.ops.preferences.addon_install(filepath=archive) == {"FINISHED"}, "the zip did not install")
addon_utils.enable("vexo", default_set=True, handle_error=None)
module = sys.modules.get("vexo")
vb.check(module is not None and module.__file__.startswith(os.environ["BLENDER_USER_SCRIPTS"]),
         "the add-on was not loaded from the installed copy: %s" % (module and module.__file__))
vb.check(module is not None and module.bl_info["name"] == "Vexo", "bl_info")
bpy.context.preferences.addons["vexo"].preferences.vexo_cli = vexo_cli
emitter = bpy.data.objects.new("Emitter", None)
bpy.context.scene.collection.objects.link(emitter)
bpy.context.view_layer.objects.active = emitter
emitter.keyframe_insert("location", frame=1)
bpy.context.scene.vexo.num_particles, bpy.context.scene.vexo.particles_per_frame = 3, 1
vb.check(bpy.ops.vexo.bake() == {"FINISHED"}, "the installed add-on did not bake")
vb.check(len(bpy.data.collections["Vexo particles"].objects) == 3, "the bake holds no 3 particles")
vb.finish("addon_install")
