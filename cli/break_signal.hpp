// Ctrl-C for the batch tool: the first one asks the running generation to stop at the start
// of the next object block; a second one ends the process as usual.
#pragma once

namespace vexo::cli {

// Installs the SIGINT handler and clears any earlier request.
void InstallBreakHandler();
// Restores the default SIGINT action.
void RemoveBreakHandler();
bool BreakRequested();

}  // namespace vexo::cli
