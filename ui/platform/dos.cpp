// dos: locks give canonical paths, AddPart joins a drawer and a file within a byte limit, and
// file handles wrap stdio.
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

LONG Read(BPTR file, void* buffer, LONG length) {
    if (file == nullptr || length < 0) return -1;
    return static_cast<LONG>(std::fread(buffer, 1, static_cast<std::size_t>(length), static_cast<std::FILE*>(file)));
}

LONG Write(BPTR file, const void* buffer, LONG length) {
    if (file == nullptr || length < 0) return -1;
    auto* stream = static_cast<std::FILE*>(file);
    const std::size_t written = std::fwrite(buffer, 1, static_cast<std::size_t>(length), stream);
    if (written != static_cast<std::size_t>(length) || std::fflush(stream) != 0) return -1;
    return static_cast<LONG>(written);
}

LONG Seek(BPTR file, LONG position, LONG mode) {
    if (file == nullptr) return -1;
    auto* stream = static_cast<std::FILE*>(file);
    const long old = std::ftell(stream);
    const int whence = mode == OFFSET_BEGINNING ? SEEK_SET : (mode == 0 ? SEEK_CUR : SEEK_END);
    if (std::fseek(stream, position, whence) != 0) return -1;
    return static_cast<LONG>(old);
}

}  // namespace vexo::platform
