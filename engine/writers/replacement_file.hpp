// Replacing a file whole: the new bytes go to a temporary file created exclusively beside the
// destination and renamed over it once complete, so a failed or abandoned write never harms
// what was there. Owns only that temporary file; never removes or replaces anything else.
#pragma once

#include <string>
#include <string_view>

namespace vexo {

// What to do when the path names something that is not a regular file (a FIFO, a device).
enum class SpecialFiles {
    Refuse,        // fail with kNotRegularFile
    WriteThrough,  // write into it directly (a scene piped onward, or sent to /dev/null)
};

namespace file_text {
inline constexpr const char* kNotRegularFile = "Not a regular file";
}

class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();  // discards what was not committed

    // Prepares the replacement of `path`. A symbolic link there is followed: its destination is
    // replaced and the link stays. False, touching nothing, when that cannot be done.
    bool Open(const std::string& path, SpecialFiles special);
    // Appends bytes; after the first failure writes nothing more and returns false.
    bool Write(std::string_view bytes);
    // Makes the written bytes the destination's content; false (and nothing replaced) on failure.
    bool Commit();
    // Drops what was written; the destination stays as it was.
    void Discard();

    // Replacing two files together, so that either both take the new bytes or both keep the old:
    // Seal both, Publish both (Unpublish the first when the second fails), then Settle both.
    // Flushes the written bytes to disk and closes the temporary file.
    bool Seal();
    // Puts the sealed file in the destination's place. Where the system can exchange two names,
    // the old file stays under the temporary name until Settle, so that Unpublish can put it back.
    bool Publish();
    // Undoes Publish: the old file (or no file) is back at the destination, the new one gone.
    void Unpublish();
    // Drops the old file Publish kept.
    void Settle();

    // The temporary file's descriptor, for a caller that writes through it directly (at offsets,
    // or by copies inside the kernel); -1 when none is open.
    int descriptor() const { return fd_; }

    // True when the path is a FIFO or device written directly (no positioned writes).
    bool writes_through() const { return through_; }
    bool failed() const { return failed_; }
    // The reason for the first failure, in the system's words, e.g. "No space left on device".
    const std::string& error() const { return error_; }
    // The file that is replaced: the path with symbolic links at its end followed.
    const std::string& destination() const { return destination_; }

  private:
    void Fail(int error_number);
    void Fail(const char* text);
    void CloseDescriptor();

    int fd_ = -1;
    bool through_ = false;  // writing straight into a FIFO or device
    enum class Published { No, Exchanged, Created, Replaced } published_ = Published::No;
    std::string destination_;
    std::string temporary_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace vexo
