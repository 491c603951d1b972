// Emission: one attempt to create a particle in the lowest free slot, drawing 3, 4 or 6
// random numbers in a fixed order, and 3 more for spin. Changes one slot, NumChilds, the
// generator and, with radial creation, the radial angle and the parent's x and z.
#pragma once

#include <cstdint>

#include "engine/engine_state.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

// `parent_start` points at the first motion sample's x, y, z.
// Radial creation: draws the ring angle into `state.angle` and moves the parent's x and z onto the
// ring around the parent start, at the parent's distance from it.
void MoveParentRadially(Particle& parent, const double* parent_start, EngineState& state);

// Random numbers every emission of these settings draws, in this order: speed, pitch and
// heading; then the radial angle, or the three oversampled coordinates; then any a shape or
// force adds. The scheduled path jumps the generator by this many per emission.
std::uint32_t DrawsPerEmission(const Settings& prefs);

void CreateChildObject(Simulation& sim, EngineState& state, std::uint32_t frame, const Settings& prefs,
                       const double* parent_start);

}  // namespace vexo
