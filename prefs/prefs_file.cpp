#include "prefs/prefs_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <variant>

#include "engine/settings/settings_fields.hpp"

#include "engine/writers/replacement_file.hpp"

namespace vexo {

namespace prefs_text {
std::string BadNumber(std::string_view field) {
    return "This preferences file's\n" + std::string(field) + " is not a number.";
}
}  // namespace prefs_text

PrefsLoadResult LoadPrefs(std::istream& in, Settings& settings, std::string* bad_field) {
    SettingsImage image = EncodeSettings(settings);
    char buffer[kSettingsImageSize];
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got < 4 || std::memcmp(buffer, "VEXO", 4) != 0) return PrefsLoadResult::NotPrefs;
    std::memcpy(image.data(), buffer, got);
    Settings loaded = DecodeSettings(image);
    // Only as much of the extension as this version reads; anything past it is ignored.
    ExtensionImage extension{};
    in.read(reinterpret_cast<char*>(extension.data()), static_cast<std::streamsize>(extension.size()));
    const auto extension_size = static_cast<std::size_t>(in.gcount());
    if (DecodeExtension(extension.data(), extension_size, loaded) == ExtensionRead::Damaged) {
        return PrefsLoadResult::Damaged;
    }
    // An infinity or a not-a-number would reach the scene; no window can type one.
    for (const FieldInfo& field : SettingsFields()) {
        if (field.kind == FieldKind::Real &&
            !std::isfinite(loaded.*std::get<double Settings::*>(field.member))) {
            if (bad_field != nullptr) *bad_field = field.name;
            return PrefsLoadResult::BadNumber;
        }
    }
    settings = loaded;
    return PrefsLoadResult::Loaded;
}

PrefsLoadResult LoadPrefsFile(const std::string& path, Settings& settings, std::string* bad_field) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return PrefsLoadResult::CannotOpen;
    return LoadPrefs(in, settings, bad_field);
}

std::string PrefsFileBytes(const Settings& settings) {
    const SettingsImage image = EncodeSettings(settings);
    std::string bytes(reinterpret_cast<const char*>(image.data()), image.size());
    // A file of defaults stays the 880 bytes every earlier version wrote and reads.
    if (!ExtensionIsDefault(settings)) {
        const ExtensionImage extension = EncodeExtension(settings);
        bytes.append(reinterpret_cast<const char*>(extension.data()), extension.size());
    }
    return bytes;
}

bool SavePrefsFile(const std::string& path, const Settings& settings, std::string* error) {
    ReplacementFile file;
    const bool saved = file.Open(path, SpecialFiles::Refuse) && file.Write(PrefsFileBytes(settings)) && file.Commit();
    if (!saved && error != nullptr) *error = file.error();
    return saved;
}

}  // namespace vexo
