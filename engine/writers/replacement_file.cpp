#include "engine/writers/replacement_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace vexo {
namespace {

constexpr int kMaxLinks = 40;          // as the system's own limit on a chain of links
constexpr std::size_t kMaxStem = 200;  // keeps the temporary name within a file name's 255 bytes

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at the end of `path`; false with errno set on a loop or read error.
bool FollowLinks(std::string path, std::string& out) {
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = path;
            return true;
        }
        std::string target(static_cast<std::size_t>(st.st_size) + 256, '\0');
        const ssize_t got = ::readlink(path.c_str(), target.data(), target.size());
        if (got < 0) return false;
        target.resize(static_cast<std::size_t>(got));
        path = (!target.empty() && target.front() == '/') ? target : Folder(path) + "/" + target;
    }
    errno = ELOOP;
    return false;
}

// A name nobody else is likely to use; the exclusive create settles the rest.
std::string TemporaryName(const std::string& destination, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto ticks =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char tag[48];
    std::snprintf(tag, sizeof tag, ".%d.%llx%x.tmp", static_cast<int>(::getpid()), ticks & 0xffffffULL,
                  counter.fetch_add(1) * 131u + attempt);
    std::string stem = BaseName(destination).substr(0, kMaxStem);
    return Folder(destination) + "/." + stem + tag;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    Discard();
}

void ReplacementFile::Fail(int error_number) {
    Fail(std::strerror(error_number));
}

void ReplacementFile::Fail(const char* text) {
    if (!failed_) error_ = text;
    failed_ = true;
}

void ReplacementFile::CloseDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ReplacementFile::Open(const std::string& path, SpecialFiles special) {
    // A pipe or device is opened by the name given: the system follows links whose text is no
    // path (/dev/stdout leads to "pipe:[N]" when the output is a pipe), which FollowLinks cannot.
    struct stat given {};
    if (special == SpecialFiles::WriteThrough && ::stat(path.c_str(), &given) == 0 &&
        !S_ISREG(given.st_mode) && !S_ISDIR(given.st_mode)) {
        destination_ = path;
        fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) Fail(errno);
        through_ = fd_ >= 0;
        return through_;
    }
    if (!FollowLinks(path, destination_)) {
        Fail(errno);
        return false;
    }
    struct stat st {};
    const bool exists = ::stat(destination_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        Fail(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        if (special == SpecialFiles::Refuse) {
            Fail(file_text::kNotRegularFile);
            return false;
        }
        fd_ = ::open(destination_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) Fail(errno);
        through_ = fd_ >= 0;
        return through_;
    }
    // Only a file the user may write is replaced, as opening it for writing would require.
    if (exists && ::access(destination_.c_str(), W_OK) != 0) {
        Fail(errno);
        return false;
    }
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = TemporaryName(destination_, attempt);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        Fail(errno);
        temporary_.clear();
        return false;
    }
    if (exists) ::fchmod(fd_, st.st_mode & 07777);  // the replacement keeps the old permissions
    return true;
}

bool ReplacementFile::Write(std::string_view bytes) {
    if (failed_ || fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            Fail(put < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

bool ReplacementFile::Commit() {
    if (fd_ < 0) return false;
    // The bytes reach the disk before the name does, so a crash leaves the old file or the new one.
    if (!failed_ && !through_ && ::fsync(fd_) != 0) Fail(errno);
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    if (!failed_ && !through_ && ::rename(temporary_.c_str(), destination_.c_str()) != 0) Fail(errno);
    if (failed_) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

bool ReplacementFile::Seal() {
    if (fd_ < 0) return false;
    if (!failed_ && !through_ && ::fsync(fd_) != 0) Fail(errno);
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    return !failed_;
}

bool ReplacementFile::Publish() {
    if (failed_) return false;
    if (through_ || temporary_.empty()) return true;
    const char* from = temporary_.c_str();
    const char* to = destination_.c_str();
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
        published_ = Published::Exchanged;  // the old file now has the temporary name
        return true;
    }
    if (errno == ENOENT && ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        published_ = Published::Created;
        temporary_.clear();
        return true;
    }
    // A file system that cannot exchange names: a plain rename, which cannot be undone.
    if ((errno == EINVAL || errno == ENOSYS || errno == EEXIST) && ::rename(from, to) == 0) {
        published_ = Published::Replaced;
        temporary_.clear();
        return true;
    }
    Fail(errno);
    return false;
}

void ReplacementFile::Unpublish() {
    if (published_ == Published::Exchanged) {
        ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(), RENAME_EXCHANGE);
    } else if (published_ == Published::Created) {
        ::unlink(destination_.c_str());
    }
    published_ = Published::No;
    Discard();
}

void ReplacementFile::Settle() {
    published_ = Published::No;
    Discard();  // the old file, kept under the temporary name
}

void ReplacementFile::Discard() {
    CloseDescriptor();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace vexo
