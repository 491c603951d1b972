#include "prefs/prefs_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <variant>

#include "engine/settings/settings_fields.hpp"

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
    const Settings loaded = DecodeSettings(image);
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

bool SavePrefsFile(const std::string& path, const Settings& settings, std::string* error) {
    const SettingsImage image = EncodeSettings(settings);
    const std::string temp = path + ".new";
    auto fail = [&](bool remove_temp) {
        if (error != nullptr) *error = std::strerror(errno);
        if (remove_temp) std::remove(temp.c_str());
        return false;
    };
    errno = 0;
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return fail(false);
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size() &&
                         std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
    if (std::fclose(file) != 0 || !written) return fail(true);
    if (std::rename(temp.c_str(), path.c_str()) != 0) return fail(true);
    return true;
}

}  // namespace vexo
