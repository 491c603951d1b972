// What the program's start runs once, after the application object exists.
#pragma once

namespace vexo::platform {

// Numbers are read and written in the "C" form whatever the system's locale (Qt adopts the
// system's when the application object is made); the Fusion style; Ctrl-C as the break signal.
void SetUpApplication();

}  // namespace vexo::platform
