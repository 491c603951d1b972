// What every motion table the readers return must satisfy.
#pragma once

#include "engine/engine_state.hpp"
#include "engine/motion/motion.hpp"
#include "fuzz/fuzz_support.hpp"

namespace vexo::fuzz {

// One entry per frame from 0 to the last key's frame: the frame loop reads entries up to
// LastMotionFrame without further checks.
inline void CheckTable(const MotionTable& table, const EngineState& state) {
    if (state.LastMotionFrame < 0) Broken("negative last motion frame");
    if (table.size() != static_cast<std::size_t>(state.LastMotionFrame) + 1) Broken("table size");
}

}  // namespace vexo::fuzz
