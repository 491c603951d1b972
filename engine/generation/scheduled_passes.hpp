// The object blocks of a generation, each computed on its own, in time linear in the particle
// count. Which slots are emitted, recycled, delayed or ended in each frame depends only on the
// settings, and every pass starts from the same reset: so every pass emits into the same slots
// at the same frames and draws the same number of random numbers. The generator's state at any
// emission of any pass is then a jump of the linear congruential generator. Block p replays
// slot p alone through pass p (and through pass p - 1 for where the slot was left), taking from
// the other slots only the schedule and, with radial creation, the chain of parent positions of
// the emissions before it in the same frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_state.hpp"
#include "engine/generation/frame_loop.hpp"
#include "engine/motion/motion.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

class ScheduledPasses {
public:
    // `state` is the engine state at the start of the generation (after the motion was read).
    // `fps` is the time base of gravity.
    ScheduledPasses(const MotionTable& table, const Settings& settings, const EngineState& state,
                    double fps = kDefaultFramesPerSecond);

    // Simulates which slot each emission of a pass goes to. The schedule holds the emissions
    // that happen, whatever the frame count. Throws std::bad_alloc when it does not fit in memory
    // (or has more than 4294967295 emissions).
    void BuildSchedule();

    // Records object block p, exactly as the pass-by-pass loop records it. Safe to call from
    // several threads at once.
    void RecordBlock(std::uint32_t p, BlockBuilder& block) const;

    // The engine state after `passes` complete passes, as the pass-by-pass loop leaves it.
    void FinishState(std::uint32_t passes, EngineState& state) const;

    std::uint64_t emissions_per_pass() const { return per_pass_; }

private:
    struct SlotEmission {
        std::uint32_t frame_index;  // k: the pass's k-th frame
        std::uint32_t ordinal;      // the emission's place among all emissions of the pass
        std::uint32_t in_frame;     // its place among the emissions of its frame
    };
    // The parent's samples at frame k and the two frames before it, walked frame by frame.
    class Samples;
    enum class Replay { Leftover, Write };

    // Runs slot s through pass q, from `record`; with Replay::Write appends the object block.
    void ReplaySlot(std::uint32_t q, std::uint32_t s, Particle& record, Replay mode, BlockBuilder* block) const;
    void Emit(std::uint32_t q, const SlotEmission& emission, const Samples& samples, Simulation& sim) const;
    std::uint32_t StateAtDraw(std::uint32_t q, std::uint64_t draw) const;
    float AngleOf(std::uint32_t q, std::uint64_t ordinal) const;
    float AngleBefore(std::uint32_t q, std::uint64_t ordinal, std::uint32_t in_frame) const;
    const MotionTable& table_;
    const Settings& settings_;
    std::int32_t last_motion_frame_;
    double fps_;
    FrameRange frames_;
    std::uint32_t slots_;
    std::uint32_t start_random_;
    float start_angle_;
    std::uint32_t draws_;  // random numbers per emission
    bool radial_, linear_;

    std::vector<std::uint64_t> slot_first_;  // index into emissions_ of each slot's first emission
    std::vector<SlotEmission> emissions_;    // grouped by slot, in frame order
    std::uint64_t per_pass_ = 0;             // emissions in every pass
    bool last_frame_emits_ = false;          // the pass's last frame has emissions
};

}  // namespace vexo
