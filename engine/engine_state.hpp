// What the engine keeps from one generation to the next within a program run: the random
// generator, the radial angle and what the last motion read published. The caller owns one of
// these for the whole run; Reset() returns it to program start.
#pragma once

#include <cstdint>

#include "engine/simulation/random.hpp"

namespace vexo {

struct EngineState {
    Random random;                       // never reseeded during a run
    float angle = 0.0f;                  // last radial angle drawn, degrees
    std::int32_t LastMotionFrame = 0;    // frame of the motion's last key
    std::uint32_t no_info_channels = 0;  // channel count the motion file declares

    void Reset() { *this = EngineState{}; }
};

}  // namespace vexo
