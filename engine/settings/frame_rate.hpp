// The scene's frame rate. It is not part of the settings record (whose 880 bytes stay as they
// are): callers carry it in GenerateOptions, and 24 keeps every output as it always was.
#pragma once

namespace vexo {

inline constexpr double kDefaultFramesPerSecond = 24.0;

// The time of a frame in seconds, as every writer and reader of timed formats takes it.
inline double FrameTime(double frame, double fps) {
    return frame / fps;
}

}  // namespace vexo
