#include "engine/writers/binary_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vexo {
namespace {

// An unnamed file in `folder`: O_TMPFILE where the file system has it, else a named file that
// is unlinked at once.
int OpenUnnamed(const std::filesystem::path& folder) {
    const std::string dir = folder.empty() ? std::string(".") : folder.string();
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = (std::filesystem::path(dir) / ".vexo-spool-XXXXXX").string();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

}  // namespace

BinaryFile::~BinaryFile() {
    if (fd_ >= 0 && !replacement_) ::close(fd_);
}

BinaryFile::BinaryFile(BinaryFile&& other) noexcept {
    Swap(other);
}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    BinaryFile dropped;
    dropped.Swap(other);
    Swap(dropped);  // what this held closes with `dropped`
    return *this;
}

void BinaryFile::Swap(BinaryFile& other) noexcept {
    std::swap(fd_, other.fd_);
    std::swap(replacement_, other.replacement_);
    std::swap(path_, other.path_);
    std::swap(beside_, other.beside_);
    std::swap(buffer_, other.buffer_);
    std::swap(buffer_size_, other.buffer_size_);
    std::swap(size_, other.size_);
    std::swap(failed_, other.failed_);
    std::swap(error_, other.error_);
}

bool BinaryFile::Fail(int error_number) {
    return Fail(std::string(std::strerror(error_number)));
}

bool BinaryFile::Fail(const std::string& reason) {
    if (!failed_) error_ = reason;
    failed_ = true;
    return false;
}

bool BinaryFile::Create(const std::string& path) {
    path_ = path;
    replacement_ = std::make_unique<ReplacementFile>();
    if (!replacement_->Open(path, SpecialFiles::WriteThrough)) {
        Fail(replacement_->error());
        replacement_.reset();
        return false;
    }
    fd_ = replacement_->descriptor();
    buffer_.reserve(buffer_size_);
    return true;
}

bool BinaryFile::CanWriteBack() const {
    return fd_ < 0 || ::lseek(fd_, 0, SEEK_CUR) >= 0;
}

void BinaryFile::CreateTemporary(const std::string& beside, std::size_t buffer) {
    if (fd_ >= 0 && !replacement_) ::close(fd_);
    fd_ = -1;
    replacement_.reset();
    path_.clear();
    beside_ = beside.empty() ? std::string("./x") : beside;
    buffer_.clear();
    buffer_size_ = std::max<std::size_t>(buffer, 1);
    size_ = 0;
    failed_ = false;
    error_.clear();
}

bool BinaryFile::Spill() {
    if (fd_ >= 0) return true;
    if (beside_.empty()) return Fail(EBADF);
    fd_ = OpenUnnamed(std::filesystem::path(beside_).parent_path());
    if (fd_ < 0) {
        std::error_code ec;
        const auto fallback = std::filesystem::temp_directory_path(ec);
        if (!ec) fd_ = OpenUnnamed(fallback);
    }
    if (fd_ < 0) return Fail(errno);
    beside_.clear();
    return true;
}

bool BinaryFile::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Fail(written < 0 ? errno : ENOSPC);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool BinaryFile::Write(const void* data, std::size_t size) {
    if (failed_ || (fd_ < 0 && beside_.empty())) return false;
    const char* bytes = static_cast<const char*>(data);
    size_ += size;
    if (buffer_.size() + size <= buffer_size_) {
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        return true;
    }
    if (!Spill() || !Flush()) return false;
    if (size >= buffer_size_) return WriteAll(bytes, size);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
}

bool BinaryFile::Flush() {
    if (failed_) return false;
    if (buffer_.empty() && fd_ < 0 && !beside_.empty()) return true;  // nothing to hold on disk yet
    if (!Spill()) return false;
    const bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool BinaryFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    if (!Flush()) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Fail(written < 0 ? errno : ENOSPC);
        bytes += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool BinaryFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (fd_ < 0 && !failed_ && offset + size <= buffer_.size()) {  // all still in memory
        std::copy_n(buffer_.data() + offset, size, static_cast<char*>(data));
        return true;
    }
    if (!Flush()) return false;
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Fail(got < 0 ? errno : EIO);  // 0: the bytes were never written
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool BinaryFile::AppendCopyOf(BinaryFile& source) {
    if (source.failed_) return Fail(source.error());
    if (source.fd_ < 0) return Write(source.buffer_.data(), source.buffer_.size());  // never left memory
    if (!source.Flush()) return Fail(source.error());
    if (!Spill() || !Flush()) return false;  // a temporary file still in memory is made now
    off_t from = 0;
    std::uint64_t left = source.size_;
    // In the kernel first; file systems or devices that cannot do that get a plain copy.
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(source.fd_, &from, fd_, nullptr, left, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)) {
            break;
        }
        if (copied < 0) return Fail(errno);
        if (copied == 0) return Fail(EIO);  // the source is shorter than what was written to it
        left -= static_cast<std::uint64_t>(copied);
    }
    std::vector<char> chunk(std::min<std::uint64_t>(left, buffer_size_));
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (!source.ReadAt(static_cast<std::uint64_t>(from), chunk.data(), n)) return Fail(source.error());
        if (!WriteAll(chunk.data(), n)) return false;
        from += static_cast<off_t>(n);
        left -= n;
    }
    size_ += source.size_;
    return true;
}

bool BinaryFile::Close() {
    if (fd_ < 0) {
        buffer_.clear();
        return !failed_;
    }
    Flush();
    if (replacement_) {
        fd_ = -1;
        if (failed_) {
            replacement_->Discard();
        } else if (!replacement_->Commit()) {
            Fail(replacement_->error());
        }
        return !failed_;
    }
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    return !failed_;
}

void BinaryFile::Remove() {
    if (replacement_) {
        replacement_->Discard();
        fd_ = -1;
        buffer_.clear();
        return;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    beside_.clear();
    buffer_.clear();
    if (path_.empty()) return;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path_, ec)) std::filesystem::remove(path_, ec);
}

}  // namespace vexo
