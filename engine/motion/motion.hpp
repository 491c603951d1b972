// Reads a LightWave motion file ("LWMO" text) into a table of one entry per frame.
// Reports every failure through the caller's MessageSink; publishes LastMotionFrame and
// no_info_channels into the EngineState on success and touches nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_state.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/frame_rate.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

inline constexpr int kMotionChannels = 9;

// One key as the file holds it; only value and frame are used.
struct MotionKey {
    std::array<double, kMotionChannels> value;  // position X Y Z, heading pitch bank, size X Y Z
    std::uint32_t frame;
    std::uint32_t linear;
    float tension, continuity, bias;
};

// The parent's nine channel values at one frame.
struct MotionFrame {
    std::array<double, kMotionChannels> value;
};

// Entry j belongs to frame j; the table holds LastMotionFrame + 1 entries.
using MotionTable = std::vector<MotionFrame>;

// Texts the reader shows, word for word.
namespace motion_text {
inline constexpr const char* kCannotOpen = "Could not open motion file";
inline constexpr const char* kNotLwmo = "Not a LWMO file";
inline constexpr const char* kNoTableMemory = "Unable to allocate\nposition data RAM";
inline constexpr const char* kNoKeys = "The motion file holds no keys";
inline constexpr const char* kNoNumChannels = "The motion file has\nno NumChannels line";
// A problem on a line of a version 3 file.
std::string V3Line(std::uint32_t line, const std::string& what);
std::string NoKeyMemory(std::uint32_t bytes);
std::string BadHeader(const char* item);
std::string BadKeyNumber(std::uint32_t key);
std::string FirstKeyNotAtZero(std::uint32_t frame);
std::string KeysNotRising(std::uint32_t key, std::uint32_t frame, std::uint32_t previous);
}  // namespace motion_text

// Reads motion text from a stream: version 3 files as envelopes (sampled at `fps`), every other
// version as the version 1 grammar. Returns the table, or nothing after a failure reported to `sink`.
std::optional<MotionTable> ReadMotion(std::istream& in, MessageSink& sink, EngineState& state,
                                      double fps = kDefaultFramesPerSecond);

// The rest of a version 3 file, after its magic and version.
std::optional<MotionTable> ReadMotionV3(std::istream& in, MessageSink& sink, EngineState& state, double fps);

// Opens the file named by `settings.parent_motion` ("FILE" or "FILE#NODE") and reads it, chosen
// by its content: motion text when it begins "LWMO", else an animated scene file (scene_motion.hpp).
std::optional<MotionTable> GetMotionFile(const Settings& settings, MessageSink& sink, EngineState& state,
                                         double fps = kDefaultFramesPerSecond);

// Stores stream characters into `buffer` until a space, newline or tab, `max` characters, or the
// end of the stream; consumes the ending whitespace and prints the debug line for it.
int GetStringFromASCII(std::istream& in, char* buffer, int max, MessageSink& sink);

// 1 when the first n bytes of a and b are equal or n <= 0, else 0.
int stringcmp(const char* a, const char* b, int n);

}  // namespace vexo
