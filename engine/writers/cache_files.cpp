#include "engine/writers/cache_files.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/writers/cache_object.hpp"

namespace vexo {
namespace {

std::string FileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool CacheFiles::Fail(const std::string& file, const std::string& reason) {
    if (error_.empty()) {
        failed_file_ = file;
        error_ = reason;
    }
    return false;
}

bool CacheFiles::Open(const std::string& target, SceneFormat format) {
    target_ = target;
    format_ = format;
    object_path_ = CompanionPath(target, format);
    if (!cache_.Open(target, SpecialFiles::WriteThrough)) return Fail(target_, cache_.error());
    if (!object_.Open(object_path_, SpecialFiles::WriteThrough)) {
        cache_.Discard();
        return Fail(object_path_, object_.error());
    }
    // A link from one name to the other would leave the object where the cache belongs.
    if (object_.destination() == cache_.destination()) {
        Discard();
        return Fail(object_path_, scene_text::kSameFile);
    }
    return true;
}

bool CacheFiles::WriteObject(const Mesh& mesh, std::uint64_t copies) {
    const PieceWriter write = [this](std::string_view piece) { return object_.Write(piece); };
    const bool ok = format_ == SceneFormat::Pc2 ? WriteObjCopies(mesh, copies, FileName(target_), write)
                                                : WriteLwoCopies(mesh, copies, write);
    return ok || Fail(object_path_, object_.error());
}

bool CacheFiles::WriteHeader(const CacheLayout& layout, double fps) {
    std::uint64_t at = 0;
    const auto put = [&](std::string_view bytes) {
        at += bytes.size();
        return WriteAt(at - bytes.size(), bytes);
    };
    if (!put(CacheHeaderStart(layout))) return false;
    if (layout.format != SceneFormat::Mdd) return true;
    constexpr std::uint64_t kTimesAtOnce = 1 << 16;
    std::string times;
    for (std::uint64_t first = 0; first < layout.samples; first += kTimesAtOnce) {
        times.clear();
        AppendMddTimes(times, first, std::min(kTimesAtOnce, layout.samples - first), fps);
        if (!put(times)) return false;
    }
    return true;
}

bool CacheFiles::WriteAt(std::uint64_t offset, std::string_view bytes) {
    if (in_order()) {
        if (offset != written_) return Fail(target_, scene_text::kNotSeekable);
        written_ += bytes.size();
        return cache_.Write(bytes) || Fail(target_, cache_.error());
    }
    while (!bytes.empty()) {
        const ssize_t put =
            ::pwrite(cache_.descriptor(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return Fail(target_, std::strerror(put < 0 ? errno : ENOSPC));
        bytes.remove_prefix(static_cast<std::size_t>(put));
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

bool CacheFiles::Commit() {
    if (!cache_.Seal()) {
        Discard();
        return Fail(target_, cache_.error());
    }
    if (!object_.Seal()) {
        Discard();
        return Fail(object_path_, object_.error());
    }
    if (!cache_.Publish()) {
        Discard();
        return Fail(target_, cache_.error());
    }
    if (!object_.Publish()) {
        cache_.Unpublish();
        Discard();
        return Fail(object_path_, object_.error());
    }
    cache_.Settle();
    object_.Settle();
    return true;
}

void CacheFiles::Discard() {
    cache_.Discard();
    object_.Discard();
}

}  // namespace vexo
