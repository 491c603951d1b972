// Reads a LightWave motion file ("LWMO" text) into the parent's motion, one entry per frame.
// Reports every failure through the caller's MessageSink; publishes LastMotionFrame and
// no_info_channels into the EngineState on success and touches nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_state.hpp"
#include "engine/motion/envelope.hpp"
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

// The parent's motion: entry j holds the channel values at frame j, for j from 0 to
// LastMotionFrame. Entries are computed when they are asked for and never held all at once, so
// a motion costs the memory of its keys, whatever the frame of its last key. A version 1 motion
// gives exactly the numbers of its table filled by accumulation; a version 3 motion samples its
// envelopes at the scene's frame rate; an animated scene file is sampled beforehand.
class MotionTable {
  public:
    // Version 1: keys from frame 0 with strictly rising frames.
    static MotionTable FromKeys(std::vector<MotionKey> keys);
    // Version 3: up to nine channels (missing ones are 0, scale 1), `last_frame` entries long.
    static MotionTable FromEnvelopes(std::vector<std::optional<Envelope>> channels, std::int32_t last_frame,
                                     double fps = kDefaultFramesPerSecond);
    // A motion sampled beforehand, one entry per frame (animated scene files).
    static MotionTable FromFrames(std::vector<MotionFrame> frames);

    std::size_t size() const { return static_cast<std::size_t>(last_frame_) + 1; }
    // Entry j; a version 1 entry costs j additions (use a MotionCursor to walk the frames).
    MotionFrame operator[](std::size_t j) const;
    const MotionFrame& front() const { return first_; }

  private:
    friend class MotionCursor;
    MotionFrame Sampled(std::size_t j) const;

    std::vector<MotionKey> keys_;                    // version 1
    std::vector<std::optional<Envelope>> channels_;  // version 3
    bool envelopes_ = false;
    double fps_ = kDefaultFramesPerSecond;  // version 3: the rate its envelopes are sampled at
    std::vector<MotionFrame> frames_;       // sampled beforehand
    std::int32_t last_frame_ = 0;
    MotionFrame first_{};
};

// Reads the entries of one motion in rising order, each at the cost of the entries since the
// one before it; asking for an earlier entry starts again from entry 0. One per thread.
class MotionCursor {
  public:
    explicit MotionCursor(const MotionTable& table);
    const MotionFrame& At(std::size_t j);

  private:
    void Restart();

    const MotionTable& table_;
    std::size_t entry_ = 0;
    std::size_t key_ = 0;  // version 1: the segment from key_ to key_ + 1 holds entry_ + 1
    std::array<double, kMotionChannels> step_{};
    MotionFrame value_{};
};

// Texts the reader shows, word for word.
namespace motion_text {
inline constexpr const char* kCannotOpen = "Could not open motion file";
// kCannotOpen, the file and the system's reason: "Could not open motion file\n\nPATH\n\nREASON".
std::string CannotOpen(std::string_view file, std::string_view reason);
inline constexpr const char* kNotLwmo = "Not a LWMO file";
inline constexpr const char* kNoTableMemory = "Unable to allocate\nposition data RAM";
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
