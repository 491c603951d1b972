#include "engine/motion/motion_file.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/motion/motion.hpp"
#include "engine/motion/scene_motion.hpp"

namespace vexo {

std::optional<MotionTable> GetMotionFile(const Settings& settings, MessageSink& sink, EngineState& state,
                                         double fps) {
    const MotionSource source = SplitMotionPath(PathText(settings.parent_motion));
    errno = 0;
    std::ifstream in(source.file, std::ios::binary);
    // A folder opens as a stream but reads nothing: it is named as the system names it.
    std::error_code folder_error;
    if (in && std::filesystem::is_directory(source.file, folder_error)) {
        in.close();
        errno = EISDIR;
    }
    if (!in.is_open()) {
        const int error = errno;
        sink.Message(
            motion_text::CannotOpen(source.file, error != 0 ? std::strerror(error) : "Unknown error"));
        return std::nullopt;
    }
    char magic[4] = {0, 0, 0, 0};
    in.read(magic, 4);
    const bool lwmo = in.gcount() == 4 && stringcmp(magic, "LWMO", 4);
    in.clear();
    in.seekg(0);
    if (!lwmo) {
        bool not_a_scene = false;
        std::optional<MotionTable> table = ReadSceneMotion(source, fps, sink, state, &not_a_scene);
        if (!not_a_scene) return table;
        // Neither kind: the motion text reader says why, as it always did.
    }
    return ReadMotion(in, source.file, sink, state, fps);
}

}  // namespace vexo
