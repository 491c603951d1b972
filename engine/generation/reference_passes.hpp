// The pass-by-pass loop: for every written object the whole simulation runs over all particle
// records from the first frame to the last, and only the written record's keys are kept. Its
// cost grows with the square of the particle count; it is the reference the scheduled path is
// checked against, and can be chosen to generate.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine_state.hpp"
#include "engine/generation/frame_loop.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/particle.hpp"

namespace vexo {

class ReferencePasses {
  public:
    // `sim.ChildArray` holds the records, set up free; the passes advance `state` as they run.
    ReferencePasses(const MotionTable& table, const Settings& settings, EngineState& state, Simulation& sim);

    // Runs pass p and records its object block. Passes must run in order from 0.
    void RecordBlock(std::uint32_t p, BlockBuilder& block);

  private:
    void MoveMainObject(std::uint32_t f);
    void Emit(std::uint32_t f);
    void MoveAll();
    void EffectAll();
    void RecordNonLinear(std::uint32_t p, BlockBuilder& block);
    void RecordLinear(std::uint32_t p, BlockBuilder& block);

    const MotionTable& table_;
    MotionCursor motion_;
    const Settings& settings_;
    EngineState& state_;
    Simulation& sim_;
    FrameRange frames_;
    std::string object_;
};

}  // namespace vexo
