// The parent motion a generation reads: the file the settings name, read as motion text or as
// an animated scene file, chosen by its content. Only chooses; the readers do the reading.
#pragma once

#include <optional>

#include "engine/engine_state.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/frame_rate.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

// Opens the file named by `settings.parent_motion` ("FILE" or "FILE#NODE") and reads it, chosen
// by its content: motion text (motion.hpp) when it begins "LWMO", else an animated scene file
// (scene_motion.hpp).
std::optional<MotionTable> GetMotionFile(const Settings& settings, MessageSink& sink, EngineState& state,
                                         double fps = kDefaultFramesPerSecond);

}  // namespace vexo
