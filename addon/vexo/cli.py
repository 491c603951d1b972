# Finding and running vexo-cli: short runs that print or write preferences, and the bake's run
# in the background, whose progress lines and messages are read as they come.
import os
import queue
import shutil
import subprocess
import threading

import bpy

PROGRAM = "vexo-cli"


class CliError(Exception):
    """A failure to report as it stands."""


def preferences():
    return bpy.context.preferences.addons[__package__].preferences


def find_cli():
    """The path of vexo-cli from the add-on's preference: a path, or a name looked up on PATH."""
    wanted = preferences().vexo_cli.strip() or PROGRAM
    if os.sep not in wanted and not wanted.startswith("//"):
        found = shutil.which(wanted)
        if found is None:
            raise CliError("%s was not found on PATH: set its path in the preferences of the Vexo add-on "
                           "(Edit > Preferences > Add-ons > Vexo)" % wanted)
        return found
    path = bpy.path.abspath(wanted)
    if not os.path.isfile(path):
        raise CliError("vexo-cli was not found at %s: set its path in the preferences of the Vexo add-on "
                       "(Edit > Preferences > Add-ons > Vexo)" % path)
    if not os.access(path, os.X_OK):
        raise CliError("%s is not a program that can be run (no permission to execute it)" % path)
    return path


def failure_text(code, errors):
    """The report of a failed run: vexo-cli's own message and its exit status."""
    lines = [line[len(PROGRAM) + 2:] if line.startswith(PROGRAM + ": ") else line
             for line in errors.splitlines() if line.strip()]
    message = " ".join(lines) or "no message"
    if code < 0:
        return "vexo-cli was ended by signal %d: %s" % (-code, message)
    return "vexo-cli failed (exit status %d): %s" % (code, message)


def warnings(errors):
    """The messages of a run that succeeded (a particle object it could not read, ...)."""
    return [line[len(PROGRAM) + 2:] if line.startswith(PROGRAM + ": ") else line
            for line in errors.splitlines() if line.strip()]


def run(arguments):
    """Runs vexo-cli to the end; returns its standard output, or raises CliError with its message."""
    try:
        done = subprocess.run([find_cli()] + arguments, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    except OSError as error:
        raise CliError("vexo-cli could not be started: %s" % error.strerror) from error
    if done.returncode != 0:
        raise CliError(failure_text(done.returncode, done.stderr))
    return done.stdout, done.stderr


class BackgroundRun:
    """vexo-cli running beside Blender: `fraction` follows its progress lines."""

    def __init__(self, command):
        try:
            self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                            stdin=subprocess.DEVNULL, text=True)
        except OSError as error:
            raise CliError("vexo-cli could not be started: %s" % error.strerror) from error
        self.fraction = 0.0
        self._lines = queue.Queue()
        self._errors = []
        self._readers = [threading.Thread(target=self._read_progress, daemon=True),
                         threading.Thread(target=self._read_errors, daemon=True)]
        for reader in self._readers:
            reader.start()

    def _read_progress(self):
        for line in self.process.stdout:
            self._lines.put(line)

    def _read_errors(self):
        for line in self.process.stderr:
            self._errors.append(line)

    def poll(self):
        """True once vexo-cli has ended and both of its streams are read."""
        while not self._lines.empty():
            words = self._lines.get().split()
            if len(words) == 3 and words[0] == "progress" and int(words[2]) > 0:
                self.fraction = int(words[1]) / int(words[2])
        if self.process.poll() is None:
            return False
        for reader in self._readers:
            reader.join()
        return True

    @property
    def returncode(self):
        return self.process.returncode

    @property
    def errors(self):
        return "".join(self._errors)

    def stop(self):
        """Ends vexo-cli (Cancel); what it wrote is dropped by the caller."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(2)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        for reader in self._readers:
            reader.join()
