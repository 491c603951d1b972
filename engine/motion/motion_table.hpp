// The parent's motion as the frame loop reads it: one entry of nine channel values per frame,
// computed when asked for from version 1 keys, version 3 envelopes or frames sampled beforehand.
// Knows nothing of files; the readers (motion.hpp, scene_motion.hpp) make tables.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/motion/envelope.hpp"
#include "engine/settings/frame_rate.hpp"

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

// The step of the segment from key i to key i + 1 in every channel.
std::array<double, kMotionChannels> SegmentStep(const std::vector<MotionKey>& keys, std::size_t i);

namespace motion_text {
// Memory for the table ran out (every reader says so alike).
inline constexpr const char* kNoTableMemory = "Unable to allocate\nposition data RAM";
}  // namespace motion_text

}  // namespace vexo
