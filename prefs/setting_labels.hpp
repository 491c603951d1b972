// Short names of the settings for front ends that list them beside their fields (the Blender
// add-on's panel): a few words each, the unit and the rest being in the help words.
#pragma once

#include <string_view>

namespace vexo {

// The label of a settings field; empty when no field has that name.
std::string_view SettingLabel(std::string_view field);

}  // namespace vexo
