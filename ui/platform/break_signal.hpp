// Set-up of the platform layer that the program's start runs once, after the application
// object exists: Ctrl-C from a terminal becomes the task's break signal.
#pragma once

namespace vexo::platform {

// Installs the SIGINT handler and the self-pipe that turns it into SIGBREAKF_CTRL_C (the pipe
// once; the handler again on every call).
void InstallBreakSignal();
// Clears every received signal (used between tests).
void ResetTaskSignals();

}  // namespace vexo::platform
