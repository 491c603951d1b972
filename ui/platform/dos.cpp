// dos: locks give canonical paths, AddPart joins a drawer and a file within a byte limit, and
// file handles wrap stdio (the preferences file itself is read and written by its own module).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

struct FileLock {
    std::string path;
};

}  // namespace

BPTR Lock(const char* name, LONG) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::canonical(name, ec);
    if (ec) return nullptr;
    return new FileLock{path.string()};
}

void UnLock(BPTR lock) { delete static_cast<FileLock*>(lock); }

BOOL NameFromLock(BPTR lock, char* buffer, LONG size) {
    if (lock == nullptr || size <= 0) return 0;
    const std::string& path = static_cast<FileLock*>(lock)->path;
    if (path.size() + 1 > static_cast<std::size_t>(size)) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return 1;
}

BOOL AddPart(char* buffer, const char* file, ULONG size) {
    std::string joined = buffer;
    const std::string part = file;
    if (!part.empty() && part.front() == '/') {
        joined = part;  // an absolute name replaces the drawer
    } else if (!part.empty()) {
        if (!joined.empty() && joined.back() != '/') joined += '/';
        joined += part;
    }
    if (joined.size() + 1 > size) return 0;
    std::memcpy(buffer, joined.c_str(), joined.size() + 1);
    return 1;
}

BPTR Open(const char* name, LONG mode) {
    return std::fopen(name, mode == MODE_NEWFILE ? "wb" : "rb");
}

BOOL Close(BPTR file) { return file != nullptr && std::fclose(static_cast<std::FILE*>(file)) == 0; }

}  // namespace vexo::platform
