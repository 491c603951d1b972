// Reads LightWave motion text ("LWMO", versions 1 and 3) into the parent's motion table.
// Reports every failure through the caller's MessageSink; publishes LastMotionFrame and
// no_info_channels into the EngineState on success and touches nothing else.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine_state.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/frame_rate.hpp"

namespace vexo {

// Texts the reader shows, word for word.
namespace motion_text {
inline constexpr const char* kCannotOpen = "Could not open motion file";
// kCannotOpen, the file and the system's reason: "Could not open motion file\n\nPATH\n\nREASON".
std::string CannotOpen(std::string_view file, std::string_view reason);
inline constexpr const char* kNotLwmo = "Not a LWMO file";
// kNotLwmo after the file, as the other messages name it: "emitter.mot:\nNot a LWMO file".
std::string NotLwmo(std::string_view file);
inline constexpr const char* kNoNumChannels = "no NumChannels line";
inline constexpr const char* kNoKeys = "the motion holds no keys";
inline constexpr const char* kTwoKeysOneTime = "two keys at the same time";
// Names a stream read without a file name.
inline constexpr const char* kUnnamed = "Motion file";
// A problem at a line of a motion file: "emitter.mot line 24:\nmalformed key".
std::string At(std::string_view file, std::uint32_t line, std::string_view what);
std::string NoKeyMemory(std::uint32_t bytes);
std::string BadHeader(const char* item);
std::string BadKeyNumber(std::uint32_t key);
std::string FirstKeyNotAtZero(std::uint32_t frame);
std::string KeysNotRising(std::uint32_t key, std::uint32_t frame, std::uint32_t previous);
std::string KeysTooFarApart(std::uint32_t key);
}  // namespace motion_text

// Reads motion text from a stream: version 3 files as envelopes (sampled at `fps`), every other
// version as the version 1 grammar. Returns the motion, or nothing after a failure reported to
// `sink`. Messages about the file's contents name `file` and the line.
std::optional<MotionTable> ReadMotion(std::istream& in, std::string_view file, MessageSink& sink,
                                      EngineState& state, double fps = kDefaultFramesPerSecond);
inline std::optional<MotionTable> ReadMotion(std::istream& in, MessageSink& sink, EngineState& state,
                                             double fps = kDefaultFramesPerSecond) {
    return ReadMotion(in, motion_text::kUnnamed, sink, state, fps);
}

// The rest of a version 3 file, after its magic and version on line `line`.
std::optional<MotionTable> ReadMotionV3(std::istream& in, std::string_view file, std::uint32_t line,
                                        MessageSink& sink, EngineState& state, double fps);

// Stores stream characters into `buffer` until a space, newline or tab, `max` characters, or the
// end of the stream; consumes the ending whitespace and prints the debug line for it.
int GetStringFromASCII(std::istream& in, char* buffer, int max, MessageSink& sink);

// 1 when the first n bytes of a and b are equal or n <= 0, else 0.
int stringcmp(const char* a, const char* b, int n);

}  // namespace vexo
