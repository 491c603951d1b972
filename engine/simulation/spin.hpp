// Spin: each particle of a spinning scene turns at its own steady rate about its own axis, fixed
// in the world, both drawn when it is emitted; its heading, pitch and bank follow the turn,
// continuous from frame to frame. Works on one particle; knows nothing of keys or files.
#pragma once

#include <array>

#include "engine/simulation/particle.hpp"
#include "engine/simulation/random.hpp"

namespace vexo {

// Draws the particle's rate (up to `spin` degrees per second), then its axis (the height of
// its tip, then the tip's direction round the vertical), and stores one frame's turn at `fps`.
// Three random numbers, the last an emission draws.
void DrawSpin(Random& random, double spin, double fps, Particle& child);

// Turns the particle's heading, pitch and bank by one frame's turn, about the axis fixed in the
// world; nothing when it does not spin.
void TurnChildObject(Particle& child);

// Of the heading, pitch and bank triples that name the rotation `hpb` names (each angle moved by
// whole turns, and (h + 180, 180 - p, b + 180)), the one nearest `previous`.
std::array<double, 3> ContinuousAngles(const std::array<double, 3>& hpb,
                                       const std::array<double, 3>& previous);

}  // namespace vexo
