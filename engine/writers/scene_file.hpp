// The open target file of one generation: buffered appends, write errors remembered rather
// than lost, and removal that never touches anything but a regular file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vexo {

class SceneFile {
public:
    SceneFile() = default;
    SceneFile(const SceneFile&) = delete;
    SceneFile& operator=(const SceneFile&) = delete;
    ~SceneFile();

    // Creates or empties the file. On failure returns false and keeps the reason.
    bool Open(const std::string& path);
    // Writes the text; after the first failure it writes nothing more and returns false.
    bool Write(std::string_view text);
    // Flushes and closes; false when anything written since Open was lost.
    bool Close();
    // Deletes the file if it is a regular file (never a device such as /dev/null).
    void Remove();

    bool failed() const { return failed_; }
    // The system's words for the first failure, e.g. "No space left on device".
    const std::string& error() const { return error_; }

private:
    void Fail();

    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace vexo
