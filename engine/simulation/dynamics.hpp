// Dynamics: per frame, every slot is moved (and a spinning particle turned), then affected
// (drag, gravity, wind, turbulence, bounce, growth, aging, end of lifespan, creation delay and
// the state the scene writer reacts to). Each call changes only its own slot, except Recycle,
// which also decrements NumChilds.
#pragma once

#include <cstdint>

#include "engine/simulation/particle.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

void MoveChildObject(Simulation& sim, std::uint32_t index);
void EffectChildObject(Simulation& sim, std::uint32_t index, const Settings& prefs);

}  // namespace vexo
