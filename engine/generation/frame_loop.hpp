// What both generation paths share: the frames of a pass, the parent's motion sample at a
// frame, and the recording of the written particle's keys in both path modes. Keeping these in
// one place is what makes the two paths write the same bytes.
#pragma once

#include <cstdint>
#include <string>

#include "engine/generation/scene_key.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/particle.hpp"

namespace vexo {

// The frames of a pass: first, first + step, ... up to last (unsigned). Counted in 64 bits so a
// range near the top of the 32-bit numbers cannot wrap.
struct FrameRange {
    std::uint32_t first = 0;
    std::uint32_t step = 1;
    std::uint64_t count = 0;
    std::uint32_t Frame(std::uint64_t k) const { return first + static_cast<std::uint32_t>(k) * step; }
};
FrameRange FramesOf(const Settings& settings);

// The motion entry the parent takes at scene frame f: entry f - first_frame, held at the last
// key, and clamped to the motion so that motion ending before first_frame holds its first sample.
// Rises with f (up to frame 2147483647), so a MotionCursor walks it cheaply.
std::size_t ParentEntry(const Settings& settings, std::int32_t last_motion_frame, std::uint32_t f);
// Copies a sample's position, rotation and size channels into the parent.
void SetParent(Particle& parent, const MotionFrame& sample);

// Receives the written particle's keys as the frame loop decides them: a copy of the record at
// `frame`, with its own scale when `visible`, else with scale 0.
class KeyStore {
  public:
    virtual ~KeyStore() = default;
    virtual void Store(const Particle& record, bool visible, std::uint32_t frame) = 0;
};

// What the linear path mode's key rule remembers from one frame to the next.
struct LinearKeyState {
    std::uint32_t last_birth = 0;
    std::uint32_t last_end = 0;
    bool destroy_key_stored = false;
};

// The keys of the written particle in linear path mode: keys only at its births, ends and its
// destruction. After the frame's emissions and the parent's advance, before the moves:
void LinearBeforeMove(LinearKeyState& state, std::uint32_t f, const Particle& record, KeyStore& store);
// After the frame's effects:
void LinearAfterEffect(const Settings& settings, LinearKeyState& state, std::uint32_t f,
                       const Particle& record, KeyStore& store);

// The linear keys of one object, handed to its block as they are decided.
class LinearKeys : public KeyStore {
  public:
    LinearKeys(const Settings& settings, BlockBuilder& block) : settings_(settings), block_(block) {}
    // The invisible key at frame 0, after the record's first move.
    void Begin(const Particle& record) { Store(record, false, 0); }
    void BeforeMove(std::uint32_t f, const Particle& record) { LinearBeforeMove(state_, f, record, *this); }
    void AfterEffect(std::uint32_t f, const Particle& record) {
        LinearAfterEffect(settings_, state_, f, record, *this);
    }
    void Store(const Particle& record, bool visible, std::uint32_t frame) override;

  private:
    const Settings& settings_;
    BlockBuilder& block_;
    LinearKeyState state_;
};

}  // namespace vexo
