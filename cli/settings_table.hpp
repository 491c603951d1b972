// The settings as a table for programs that drive vexo-cli (the Blender add-on): every field's
// name, kind, default, range, label and help words as JSON. Reads the engine's field table and
// the prefs module's words; holds none of its own.
#pragma once

#include <string>

namespace vexo::cli {

// A JSON object {"fields": [...]}, one field a line in the order of --print-prefs.
std::string SettingsTableJson();

}  // namespace vexo::cli
