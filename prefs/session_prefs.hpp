// The settings the desktop program had when it was last closed, kept between runs as a
// preferences file in the user's configuration folder (the XDG base directory rules). Finding,
// reading and writing that file; when to do it is the program's business.
#pragma once

#include <string>

#include "engine/settings/settings.hpp"

namespace vexo {

// $XDG_CONFIG_HOME/vexo/vexo.prefs, or $HOME/.config/vexo/vexo.prefs when XDG_CONFIG_HOME is
// unset, empty or not absolute (such a value is to be ignored); empty when neither names an
// absolute folder.
std::string SessionPrefsPath(const char* xdg_config_home, const char* home);
// The same from the environment.
std::string SessionPrefsPath();

// Reads the file into `settings`. False, leaving them as they were, when there is none (then
// `error` is empty: nothing to report on a first start) or it cannot be taken (then `error` says
// why in one line).
bool LoadSessionPrefs(const std::string& path, Settings& settings, std::string* error);

// Writes the file safely (beside it, then renamed over it), creating its folder with mode 0700
// when missing. False, with the reason in `error`, when it could not be written.
bool SaveSessionPrefs(const std::string& path, const Settings& settings, std::string* error);

}  // namespace vexo
