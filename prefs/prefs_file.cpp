#include "prefs/prefs_file.hpp"

#include <cstring>
#include <fstream>

#include "engine/writers/replacement_file.hpp"

namespace vexo {

PrefsLoadResult LoadPrefs(std::istream& in, Settings& settings) {
    SettingsImage image = EncodeSettings(settings);
    char buffer[kSettingsImageSize];
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got < 4 || std::memcmp(buffer, "VEXO", 4) != 0) return PrefsLoadResult::NotPrefs;
    std::memcpy(image.data(), buffer, got);
    settings = DecodeSettings(image);
    return PrefsLoadResult::Loaded;
}

PrefsLoadResult LoadPrefsFile(const std::string& path, Settings& settings) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return PrefsLoadResult::CannotOpen;
    return LoadPrefs(in, settings);
}

bool SavePrefsFile(const std::string& path, const Settings& settings, std::string* error) {
    const SettingsImage image = EncodeSettings(settings);
    ReplacementFile file;
    const bool saved = file.Open(path, SpecialFiles::Refuse) &&
                       file.Write(std::string_view(reinterpret_cast<const char*>(image.data()), image.size())) &&
                       file.Commit();
    if (!saved && error != nullptr) *error = file.error();
    return saved;
}

}  // namespace vexo
