// The preferences file: the settings record's 880-byte image, recognised by its magic "VEXO",
// followed by the extension that holds the shapes and forces when any differs from its default.
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
    Damaged,     // the extension's tag is there but the extension is cut short; unchanged
};

namespace prefs_text {
inline constexpr const char* kNotPrefs = "This is not a VEXO\npreferences file...";
inline constexpr const char* kDamaged = "This preferences file's\nshapes and forces are cut short.";
// Names the real field that holds no finite number (infinity or not-a-number).
std::string BadNumber(std::string_view field);
}  // namespace prefs_text

// A file shorter than 880 bytes replaces only the bytes it holds. Past 880 bytes an extension
// sets the shapes and forces; without one they take their defaults; other bytes are ignored.
// With BadNumber, `bad_field` (if given) names the first field that is not a finite number.
PrefsLoadResult LoadPrefs(std::istream& in, Settings& settings, std::string* bad_field = nullptr);
PrefsLoadResult LoadPrefsFile(const std::string& path, Settings& settings, std::string* bad_field = nullptr);

// The bytes a preferences file of these settings holds: the 880-byte image, then the extension
// unless every shape and force holds its default.
std::string PrefsFileBytes(const Settings& settings);

// Writes all 880 bytes, and the extension unless every shape and force holds its default (so a
// file of the record's fields alone stays what it always was), to a new file beside `path` and
// renames it into place, so an existing
// file is replaced only once the new one is complete. A symbolic link at `path` is followed and
// stays; anything else that is not a regular file is refused. On failure `error` says why and
// any old file is left as it was.
bool SavePrefsFile(const std::string& path, const Settings& settings, std::string* error);

}  // namespace vexo
