// The particle record and the simulation state one generation works on: the slots, the live
// count and the parent. Emission and dynamics change only what is here and the EngineState.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/settings/frame_rate.hpp"

namespace vexo {

inline constexpr std::uint16_t kStateWaiting = 3;  // not yet shown (free slot or delay pending)
inline constexpr std::uint16_t kStateShown = 0;    // shown in this frame
inline constexpr std::uint16_t kStateActive = 1;
inline constexpr std::uint16_t kStateEnded = 2;

struct Particle {
    double x = 0, y = 0, z = 0;     // position, scene units; y is height above the ground plane
    double vx = 0, vy = 0, vz = 0;  // velocity, scene units per frame
    double heading = 0, pitch = 0, bank = 0;        // degrees
    double scale_x = 0, scale_y = 0, scale_z = 0;  // 0 makes the object invisible
    std::int16_t alive = 0;        // 1 while the slot holds a particle
    std::int16_t shown = 0;        // 1 from appearance until the lifespan ends
    std::uint32_t max_age = 0;     // frames the particle may live
    std::uint32_t age = 0;         // frames lived since it was shown
    std::int32_t delay = 0;        // creation-delay frames still to wait; -1 when none
    std::int32_t frame = 0;        // frame the record stands for (set for the written particle)
    std::uint16_t state = kStateWaiting;
    // One frame's turn as the vector part of its rotation quaternion, in the glTF writer's axes:
    // the sine of half the angle times the spin axis. Zero for a particle that does not spin.
    double turn_x = 0, turn_y = 0, turn_z = 0;
};

struct Simulation {
    std::vector<Particle> ChildArray;
    std::uint32_t NumChilds = 0;  // slots whose alive is 1
    Particle Parent;              // the parent's current motion sample
    Particle lastframe;           // the parent's position one frame step earlier
    double frames_per_second = kDefaultFramesPerSecond;  // the time base of forces and spin
    // DragFactor of the drag and frame rate in drag_factor_of, worked out once, not every frame.
    double drag_factor = 1.0;
    std::array<double, 2> drag_factor_of{0.0, 0.0};
};

}  // namespace vexo
