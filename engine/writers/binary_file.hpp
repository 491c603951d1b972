// A file written through a descriptor: buffered appends, writes at an offset, an unnamed
// temporary file beside a target that vanishes when closed, and copying one file's contents
// onto the end of another inside the kernel. Errors are remembered, never lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/writers/replacement_file.hpp"

namespace vexo {

class BinaryFile {
  public:
    // What a file holds in memory before it writes (and what a temporary file holds before it is
    // made), unless told otherwise.
    static constexpr std::size_t kDefaultBuffer = std::size_t{1} << 18;

    BinaryFile() = default;
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    // Moved whole, descriptor and all; the file moved from is left closed.
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;
    ~BinaryFile();

    // Prepares the replacement of `path`: the bytes go to a new file beside it, which takes the
    // path's place when closed (a FIFO or device at the path is written directly).
    bool Create(const std::string& path);
    // An unnamed file for reading and writing in the folder of `beside` (or, where that folder
    // takes no such file, the system's temporary folder). It has no name, so nothing is left
    // behind however the program ends. It is made only when more than `buffer` bytes have to be
    // held: small contents stay in memory. A temporary file made before is dropped first.
    void CreateTemporary(const std::string& beside, std::size_t buffer = kDefaultBuffer);

    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Overwrites bytes already written, without moving the end.
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Reads bytes already written back (temporary files only).
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size);
    // Appends the whole of `source` (a temporary file), copied inside the kernel where it can be.
    bool AppendCopyOf(BinaryFile& source);

    // Bytes written so far, buffered ones included.
    std::uint64_t size() const { return size_; }
    // Whether WriteAt can reach back: false for a pipe.
    bool CanWriteBack() const;
    bool Flush();
    // Flushes and closes, putting a replacement in its path's place; false when anything written
    // was lost (the path then keeps what it held).
    bool Close();
    // Closes and drops what was written; a replaced path keeps what it held.
    void Remove();

    bool failed() const { return failed_; }
    // The system's words for the first failure, e.g. "No space left on device".
    const std::string& error() const { return error_; }

  private:
    bool Spill();
    bool Fail(int error_number);
    bool Fail(const std::string& reason);
    bool WriteAll(const char* data, std::size_t size);
    void Swap(BinaryFile& other) noexcept;

    int fd_ = -1;
    std::unique_ptr<ReplacementFile> replacement_;  // owns fd_ for a named file
    std::string path_;                              // empty for a temporary file
    std::string beside_;                            // where a temporary file is to be made, until it is
    std::vector<char> buffer_;
    std::size_t buffer_size_ = kDefaultBuffer;
    std::uint64_t size_ = 0;
    bool failed_ = false;
    std::string error_;
};

}  // namespace vexo
