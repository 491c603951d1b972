// What a file requester remembers between uses: the last file name (31 characters) and drawer
// (254 characters) chosen, and the joined path in the shared whole_path buffer.
#pragma once

#include <string>

#include "ui/vexo.hpp"

namespace vexo::ui {

struct FileMemory {
    char file[32] = {};
    char drawer[kPathBufferSize] = {};

    // Keeps the choice (cut to the memories' sizes; they only seed the next requester) and
    // joins drawer and file into whole_path. False when the joined path does not fit in 254
    // characters; whole_path then holds the drawer, or nothing if even that does not fit.
    bool Remember(const std::string& chosen_drawer, const std::string& chosen_file);
};

// The target scene the user agreed to overwrite in the file requester: Generate does not ask
// again about this one file.
extern std::string overwrite_confirmed;
extern FileMemory previous_object, previous_motion, previous_scene;
extern FileMemory previous_prefs;
extern FileMemory previous_emitter, previous_collision;  // the shapes and forces window's

}  // namespace vexo::ui
