// The two files of a point cache, NAME.pc2 with NAME.obj or NAME.mdd with NAME.lwo, each written
// beside its name and put in place together: either both take the new bytes or both keep what
// they held. Opens both before anything is computed, so a folder where either cannot be written
// refuses the cache up front.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/writers/object_mesh.hpp"
#include "engine/writers/point_cache.hpp"
#include "engine/writers/replacement_file.hpp"

namespace vexo {

namespace scene_text {
inline constexpr const char* kSameFile = "it is the point cache's own file";
inline constexpr const char* kNotSeekable =
    "the reference engine writes a point cache only to a regular file";
}  // namespace scene_text

class CacheFiles {
  public:
    // Prepares both replacements; false, touching nothing, with the failing file and the reason.
    bool Open(const std::string& target, SceneFormat format);
    // The object: `copies` copies of the mesh.
    bool WriteObject(const Mesh& mesh, std::uint64_t copies);
    // The cache's header (MDD's frame times included).
    bool WriteHeader(const CacheLayout& layout, double fps);
    // Bytes of the cache at an offset. A cache written in order (to a pipe or device) takes only
    // the offset where the bytes before end (false with the reason otherwise).
    bool WriteAt(std::uint64_t offset, std::string_view bytes);
    // The cache's target is a pipe or device: its bytes must come in file order.
    bool in_order() const { return cache_.writes_through(); }
    // Puts both files in place; false, keeping both old files, when that fails.
    bool Commit();
    // Drops both new files; both names keep what they held.
    void Discard();

    // The file the error is about: the cache (the target) or its object.
    const std::string& failed_file() const { return failed_file_; }
    const std::string& error() const { return error_; }
    const std::string& object_path() const { return object_path_; }

  private:
    bool Fail(const std::string& file, const std::string& reason);

    ReplacementFile cache_, object_;
    SceneFormat format_ = SceneFormat::Pc2;
    std::uint64_t written_ = 0;  // in order: the bytes written so far
    std::string target_, object_path_;
    std::string failed_file_, error_;
};

}  // namespace vexo
