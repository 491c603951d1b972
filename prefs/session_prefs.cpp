#include "prefs/session_prefs.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "prefs/prefs_file.hpp"
#include "prefs/settings_text.hpp"

namespace vexo {
namespace {

bool Absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Creates the folders of `path` that are missing, each with mode 0700 as the XDG rules ask.
bool MakeFolders(const std::filesystem::path& folder, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakeFolders(folder.parent_path(), error)) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error != nullptr) *error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string SessionPrefsPath(const char* xdg_config_home, const char* home) {
    std::filesystem::path folder;
    if (Absolute(xdg_config_home)) {
        folder = xdg_config_home;
    } else if (Absolute(home)) {
        folder = std::filesystem::path(home) / ".config";
    } else {
        return "";
    }
    return (folder / "vexo" / "vexo.prefs").string();
}

std::string SessionPrefsPath() {
    return SessionPrefsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool LoadSessionPrefs(const std::string& path, Settings& settings, std::string* error) {
    std::string bad_field;
    errno = 0;
    const PrefsLoadResult result = LoadPrefsFile(path, settings, &bad_field);
    std::string why;
    switch (result) {
        case PrefsLoadResult::Loaded:
            return true;
        case PrefsLoadResult::CannotOpen:
            if (errno != ENOENT) why = std::strerror(errno);
            break;
        case PrefsLoadResult::NotPrefs:
            why = OneLine(prefs_text::kNotPrefs);
            break;
        case PrefsLoadResult::BadNumber:
            why = OneLine(prefs_text::BadNumber(bad_field));
            break;
        case PrefsLoadResult::Damaged:
            why = OneLine(prefs_text::kDamaged);
            break;
    }
    if (error != nullptr) *error = why;
    return false;
}

bool SaveSessionPrefs(const std::string& path, const Settings& settings, std::string* error) {
    return MakeFolders(std::filesystem::path(path).parent_path(), error) &&
           SavePrefsFile(path, settings, error);
}

}  // namespace vexo
