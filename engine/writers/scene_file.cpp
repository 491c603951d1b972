#include "engine/writers/scene_file.hpp"

namespace vexo {

bool SceneFile::Open(const std::string& path) {
    return file_.Open(path, SpecialFiles::WriteThrough);
}

bool SceneFile::Write(std::string_view text) {
    return file_.Write(text);
}

bool SceneFile::Close() {
    return file_.Commit();
}

void SceneFile::Remove() {
    file_.Discard();
}

}  // namespace vexo
