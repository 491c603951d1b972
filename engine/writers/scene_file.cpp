#include "engine/writers/scene_file.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vexo {

SceneFile::~SceneFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void SceneFile::Fail() {
    if (!failed_) error_ = std::strerror(errno);
    failed_ = true;
}

bool SceneFile::Open(const std::string& path) {
    path_ = path;
    errno = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        Fail();
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return true;
}

bool SceneFile::Write(std::string_view text) {
    if (failed_ || file_ == nullptr) return false;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) Fail();
    return !failed_;
}

bool SceneFile::Close() {
    if (file_ == nullptr) return !failed_;
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) Fail();
    if (std::fclose(file_) != 0) Fail();
    file_ = nullptr;
    return !failed_;
}

void SceneFile::Remove() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    std::error_code ec;
    if (std::filesystem::is_regular_file(path_, ec)) std::filesystem::remove(path_, ec);
}

}  // namespace vexo
