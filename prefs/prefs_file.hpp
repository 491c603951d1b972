// The preferences file: the settings record's 880-byte image, recognised by its magic "VEXO".
// Loading and saving only; the menu commands and their requesters live with the desktop program.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "engine/settings/settings.hpp"

namespace vexo {

enum class PrefsLoadResult {
    Loaded,      // up to 880 bytes replaced the record's leading bytes
    CannotOpen,  // the record is unchanged
    NotPrefs,    // fewer than four bytes, or not the magic; the record is unchanged
    BadNumber,   // a real field is not a finite number; the record is unchanged
};

namespace prefs_text {
inline constexpr const char* kNotPrefs = "This is not a VEXO\npreferences file...";
// Names the real field that holds no finite number (infinity or not-a-number).
std::string BadNumber(std::string_view field);
}  // namespace prefs_text

// A file shorter than 880 bytes replaces only the bytes it holds; bytes past 880 are ignored.
// With BadNumber, `bad_field` (if given) names the first field that is not a finite number.
PrefsLoadResult LoadPrefs(std::istream& in, Settings& settings, std::string* bad_field = nullptr);
PrefsLoadResult LoadPrefsFile(const std::string& path, Settings& settings, std::string* bad_field = nullptr);

// Writes all 880 bytes to a new file beside `path` and renames it into place, so an existing
// file is replaced only once the new one is complete. A symbolic link at `path` is followed and
// stays; anything else that is not a regular file is refused. On failure `error` says why and
// any old file is left as it was.
bool SavePrefsFile(const std::string& path, const Settings& settings, std::string* error);

}  // namespace vexo
