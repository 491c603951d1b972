# "Bake": the active object's motion and the particle mesh are exported to a scratch folder,
# vexo-cli runs in the background (the window stays usable; Esc or Cancel stops it), and what it
# wrote replaces the previous bake. From a script or in background mode the operator waits.
import os
import re
import shutil
import tempfile
import time

import bpy

from . import cli, importer, meshes, motion, settings

_running = None  # the bake in progress, for the panel and the Cancel button


def running():
    return _running


class BakeError(Exception):
    """A bake that cannot start; its text is the report."""


def _cache_folder(scene):
    folder = scene.vexo.cache_folder or "//"
    if folder.startswith("//") and not bpy.data.filepath:
        # An unsaved file has no folder of its own: the cache goes to the system's.
        return os.path.join(tempfile.gettempdir(), folder[2:] or "vexo_cache")
    return bpy.path.abspath(folder)


def _file_stem(scene):
    blend = os.path.splitext(os.path.basename(bpy.data.filepath))[0] or "untitled"
    return re.sub(r"[^A-Za-z0-9_.-]+", "_", "%s_%s" % (blend, scene.name))


class BakeJob:
    """One run of vexo-cli from the scene's settings, and the import of its result."""

    def __init__(self, context):
        scene = context.scene
        vexo = scene.vexo
        emitter = context.view_layer.objects.active
        if emitter is None:
            raise BakeError("Select the emitter: the bake follows the active object's motion")
        first, last = settings.bake_frames(scene)
        if first < 0 or last < 0:
            raise BakeError("Vexo's frames start at 0: the frame range %d to %d cannot be baked" % (first, last))
        program = cli.find_cli()
        self.fps = scene.render.fps / scene.render.fps_base
        self.as_cache = vexo.num_particles >= vexo.cache_above
        self.particles = vexo.num_particles
        self.cancelled = False
        self.run = None
        if self.as_cache:
            folder = _cache_folder(scene)
            try:
                os.makedirs(folder, exist_ok=True)
            except OSError as error:
                raise BakeError("The cache folder %s cannot be made: %s" % (folder, error.strerror)) from error
            self.cache_target = os.path.join(folder, _file_stem(scene) + ".pc2")
            self.work = tempfile.mkdtemp(prefix=".vexo_bake_", dir=folder)
        else:
            self.work = tempfile.mkdtemp(prefix="vexo_bake_")
        try:
            self.target = os.path.join(self.work, "particles." + ("pc2" if self.as_cache else "glb"))
            motion_file = os.path.join(self.work, "emitter.glb")
            motion.write_glb(motion_file, motion.sample_world(scene, emitter, first, last + 1), first, self.fps)
            command = [program, "--quiet", "--progress-lines", "--fps", repr(self.fps),
                       "--motion", motion_file + "#" + motion.NODE, "--scene", self.target]
            skip = {"particle_object", "parent_motion", "target_scene"}
            if vexo.particle_mesh is not None:
                mesh_file = os.path.join(self.work, "particle.obj")
                if meshes.write_obj(mesh_file, vexo.particle_mesh) == 0:
                    raise BakeError("The particle mesh %s has no faces" % vexo.particle_mesh.name)
                command += ["--object", mesh_file]
            elif vexo.particle_object:
                command += ["--object", settings.setting_text(vexo, "particle_object")]
            frames = {"first_frame": str(first), "last_frame": str(last)}
            for assignment in settings.assignments(vexo, skip, frames):
                command += ["--set", assignment]
            self.command = command
        except BaseException:
            self.cleanup()
            raise

    def start(self):
        self.run = cli.BackgroundRun(self.command)

    def poll(self):
        return self.run.poll()

    @property
    def fraction(self):
        return self.run.fraction if self.run is not None else 0.0

    def cancel(self):
        self.cancelled = True
        if self.run is not None:
            self.run.stop()
        self.cleanup()

    def cleanup(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def finish(self, context, report):
        """Imports the result, or reports why there is none; returns the operator's result."""
        try:
            if self.run.returncode != 0:
                report({"ERROR"}, cli.failure_text(self.run.returncode, self.run.errors))
                return {"CANCELLED"}
            for text in cli.warnings(self.run.errors):
                report({"WARNING"}, "vexo-cli: " + text)
            if self.as_cache:
                obj_file = self.target[:-len(".pc2")] + ".obj"
                final_obj = self.cache_target[:-len(".pc2")] + ".obj"

                def keep():
                    os.replace(self.target, self.cache_target)
                    os.replace(obj_file, final_obj)

                importer.bring_in(context, "cache", obj_file, self.fps, self.cache_target, keep)
                what = "a point cache (%s)" % self.cache_target
            else:
                importer.bring_in(context, "glb", self.target, self.fps)
                what = "objects"
        except importer.ImportError_ as error:
            report({"ERROR"}, "The bake could not be imported, the previous bake is kept: %s" % error)
            return {"CANCELLED"}
        finally:
            self.cleanup()
        report({"INFO"}, "Vexo baked %d particles as %s into \"%s\"" % (self.particles, what, settings.COLLECTION))
        return {"FINISHED"}


class VEXO_OT_bake(bpy.types.Operator):
    bl_idname = "vexo.bake"
    bl_label = "Bake"
    bl_description = ("Run vexo-cli on the active object's motion and bring the particles into the "
                      "collection \"Vexo particles\", replacing the previous bake")

    _timer = None

    @classmethod
    def poll(cls, context):
        return _running is None

    def _job(self, context):
        try:
            return BakeJob(context)
        except (BakeError, cli.CliError, OSError) as error:
            self.report({"ERROR"}, str(error))
            return None

    def execute(self, context):
        job = self._job(context)
        if job is None:
            return {"CANCELLED"}
        try:
            job.start()
            while not job.poll():
                time.sleep(0.05)
        except (cli.CliError, KeyboardInterrupt) as error:
            job.cancel()
            self.report({"ERROR"}, str(error) or "Bake cancelled: the previous bake is kept")
            return {"CANCELLED"}
        return job.finish(context, self.report)

    def invoke(self, context, event):
        global _running
        if context.window is None:
            return self.execute(context)
        job = self._job(context)
        if job is None:
            return {"CANCELLED"}
        try:
            job.start()
        except cli.CliError as error:
            job.cleanup()
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        _running = job
        manager = context.window_manager
        manager.progress_begin(0, 1000)
        self._timer = manager.event_timer_add(0.1, window=context.window)
        manager.modal_handler_add(self)
        self._status(context, "Vexo: baking %d particles (Esc to cancel)" % job.particles)
        return {"RUNNING_MODAL"}

    def _status(self, context, text):
        if context.workspace is not None:
            context.workspace.status_text_set(text)
        for area in context.screen.areas if context.screen else ():
            area.tag_redraw()

    def _end(self, context):
        global _running
        _running = None
        manager = context.window_manager
        manager.event_timer_remove(self._timer)
        manager.progress_end()
        self._status(context, None)

    def modal(self, context, event):
        job = _running
        if event.type == "ESC" or job.cancelled:
            job.cancel()
            self._end(context)
            self.report({"INFO"}, "Bake cancelled: the previous bake is kept")
            return {"CANCELLED"}
        if event.type != "TIMER":
            return {"PASS_THROUGH"}
        if not job.poll():
            context.window_manager.progress_update(int(job.fraction * 1000))
            self._status(context, "Vexo: baking %d particles, %d %% (Esc to cancel)"
                         % (job.particles, int(job.fraction * 100)))
            return {"PASS_THROUGH"}
        self._end(context)
        return job.finish(context, self.report)


class VEXO_OT_cancel_bake(bpy.types.Operator):
    bl_idname = "vexo.cancel_bake"
    bl_label = "Cancel"
    bl_description = "Stop the bake; the previous bake is kept"

    @classmethod
    def poll(cls, context):
        return _running is not None

    def execute(self, context):
        _running.cancelled = True  # the bake's own handler stops vexo-cli at its next tick
        return {"FINISHED"}


register, _unregister_classes = bpy.utils.register_classes_factory((VEXO_OT_bake, VEXO_OT_cancel_bake))


def unregister():
    global _running
    if _running is not None:
        _running.cancel()
        _running = None
    _unregister_classes()
