// Emission: one attempt to create a particle in the lowest free slot, drawing 3, 4 or 6
// random numbers in a fixed order. Changes one slot, NumChilds, the generator and, with
// radial creation, the radial angle and the parent's x and z.
#pragma once

#include <cstdint>

#include "engine/engine_state.hpp"
#include "engine/particle.hpp"
#include "engine/settings.hpp"

namespace vexo {

// `parent_start` points at the first motion sample's x, y, z.
void CreateChildObject(Simulation& sim, EngineState& state, std::uint32_t frame, const Settings& prefs,
                       const double* parent_start);

}  // namespace vexo
