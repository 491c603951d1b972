// Emission: one attempt to create a particle in the lowest free slot, drawing a fixed count of
// random numbers (DrawsPerEmission) in a fixed order, from the parent's point or a place on the
// emitter mesh, and 3 more for spin. Changes one slot, NumChilds, the generator and, with radial
// creation, the radial angle and the parent's x and z.
#pragma once

#include <cstdint>

#include "engine/engine_state.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/simulation/vector3.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

// `parent_start` points at the first motion sample's x, y, z.
// Radial creation: draws the ring angle into `state.angle` and moves the parent's x and z onto the
// ring around the parent start, at the parent's distance from it.
void MoveParentRadially(Particle& parent, const double* parent_start, EngineState& state);

// Random numbers every emission of these settings draws, in this order: speed, pitch and
// heading; then the radial angle, or the three oversampled coordinates; then one that seeds the
// place on the emitter mesh when emit_from is not point; then three for spin. The scheduled
// path jumps the generator by this many per emission.
std::uint32_t DrawsPerEmission(const Settings& prefs);

// The flight direction (length 1) of a particle emitted along `normal` (length 1) with the
// heading and pitch spreads' offsets in degrees: the direction that heading and pitch give in
// the normal's own frame, whose forward is the normal, whose right is level and whose up is as
// near the scene's up as it can be.
Vector3 AlongNormal(const Vector3& normal, double heading_offset, double pitch_offset);

void CreateChildObject(Simulation& sim, EngineState& state, std::uint32_t frame, const Settings& prefs,
                       const double* parent_start);

}  // namespace vexo
