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
#include "engine/generation/scene_key.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/simulation/scene_meshes.hpp"

namespace vexo {

// The parent's motion sample at each frame of a pass, asked for by the pass's frame index.
class PassSamples {
  public:
    virtual ~PassSamples() = default;
    // The sample of frame k of the pass; the reference stays valid until the next call.
    virtual const MotionFrame& At(std::uint64_t k) = 0;
};

// Samples read through one motion cursor, for frames asked in rising order (an earlier frame
// restarts the cursor). Keeps the last three it read.
class WalkingSamples : public PassSamples {
  public:
    WalkingSamples(const MotionTable& table, const Settings& settings, std::int32_t last_motion_frame);
    const MotionFrame& At(std::uint64_t k) override;

  private:
    MotionCursor cursor_;
    const Settings& settings_;
    FrameRange frames_;
    std::int32_t last_motion_frame_;
    std::uint64_t index_[3] = {UINT64_MAX, UINT64_MAX, UINT64_MAX};
    MotionFrame value_[3];
};

// Where the replay of one slot through one pass stands between two of the pass's frames.
struct SlotReplay {
    std::uint64_t next_emission = 0;  // the slot's next emission in the schedule
    std::uint64_t frame_index = 0;    // the frame of the pass to run next
    std::uint32_t num_childs = 0;     // the replay's NumChilds: 1 while the slot holds a particle
    LinearKeyState linear;
};

class ScheduledPasses {
  public:
    // `state` is the engine state at the start of the generation (after the motion was read).
    // `fps` is the time base of gravity. `meshes` (none when null) are shared.
    ScheduledPasses(const MotionTable& table, const Settings& settings, const EngineState& state,
                    double fps = kDefaultFramesPerSecond, const SceneMeshes* meshes = nullptr);

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
    // Lets a replay's simulation use the generation's meshes.
    void AttachMeshes(Simulation& sim) const { meshes_.Attach(sim); }
    const FrameRange& frames() const { return frames_; }
    bool linear() const { return linear_; }

    // Replays slot p through pass p frame by frame, for writers that take every particle's keys
    // a few frames at a time. The record of `sim.ChildArray[0]`, as the pass starts, is where
    // pass p - 1 left the slot (RecordBlock's starting point); LeftoverOf computes it.
    Particle LeftoverOf(std::uint32_t p) const;
    // The replay of slot p before the pass's first frame, with the key at frame 0 stored.
    SlotReplay StartReplay(std::uint32_t p, Simulation& sim, PassSamples& samples, KeyStore& keys) const;
    // Runs frame `replay.frame_index` of pass p for slot p, storing its keys.
    void RunFrame(std::uint32_t p, SlotReplay& replay, Simulation& sim, PassSamples& samples,
                  KeyStore* keys) const;
    // In linear path mode, a slot with no particle that no frame before its next emission can
    // give a key for: the frames up to that emission are skipped (they only move the free slot
    // with the parent, and the emission puts it elsewhere). False when there is nothing to skip.
    bool SkipIdleFrames(std::uint32_t p, SlotReplay& replay, const Particle& record) const;

  private:
    struct SlotEmission {
        std::uint32_t frame_index;  // k: the pass's k-th frame
        std::uint32_t ordinal;      // the emission's place among all emissions of the pass
        std::uint32_t in_frame;     // its place among the emissions of its frame
    };
    enum class Replay { Leftover, Write };

    // Runs slot s through pass q, from `record`; with Replay::Write appends the object block.
    void ReplaySlot(std::uint32_t q, std::uint32_t s, Particle& record, Replay mode,
                    BlockBuilder* block) const;
    void RunSlotFrame(std::uint32_t q, std::uint32_t s, SlotReplay& replay, Simulation& sim,
                      PassSamples& samples, KeyStore* keys) const;
    void Emit(std::uint32_t q, const SlotEmission& emission, PassSamples& samples, Simulation& sim) const;
    std::uint32_t StateAtDraw(std::uint32_t q, std::uint64_t draw) const;
    float AngleOf(std::uint32_t q, std::uint64_t ordinal) const;
    float AngleBefore(std::uint32_t q, std::uint64_t ordinal, std::uint32_t in_frame) const;
    const MotionTable& table_;
    const Settings& settings_;
    std::int32_t last_motion_frame_;
    double fps_;
    SceneMeshes meshes_;
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
