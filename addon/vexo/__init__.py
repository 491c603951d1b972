# Vexo inside Blender: bakes a particle stream from the active object with vexo-cli and brings
# the particles back into the scene. The add-on holds no simulation: it exports the emitter's
# motion and the particle mesh, runs vexo-cli, and imports what vexo-cli wrote.
bl_info = {
    "name": "Vexo",
    "author": "Vexo developers",
    "version": (1, 1, 0),
    "blender": (3, 4, 0),
    "location": "3D Viewport > Sidebar > Vexo",
    "description": "Bakes a particle stream from the active object with vexo-cli and imports it",
    "doc_url": "",
    "category": "Animation",
}

if "settings" in locals():
    import importlib

    for _module in (settings, cli, motion, meshes, importer, bake, presets, panel):  # noqa: F821
        importlib.reload(_module)

from . import settings, cli, motion, meshes, importer, bake, presets, panel  # noqa: E402

_modules = (settings, bake, presets, panel)


def register():
    for module in _modules:
        module.register()


def unregister():
    for module in reversed(_modules):
        module.unregister()
