// The forces that act on a living particle once a frame, before the ground bounce: drag,
// gravity, wind and turbulence. Pure arithmetic on one particle's velocity.
#pragma once

#include <array>

#include "engine/settings/settings.hpp"
#include "engine/simulation/particle.hpp"

namespace vexo {

// What part of its speed a particle keeps over one frame: pow(1 - drag, 1 / fps), so that over
// one second it keeps 1 - drag whatever the frame rate. 0 with a drag of 1.
double DragFactor(double drag, double fps);

// The turbulence field at a point of the world (scene units), for swirls of `size` scene units:
// a sum of four waves, each turning round its own direction as it runs along it, so the field
// is smooth (its second derivatives are continuous) and free of divergence. Its root mean
// square over space is 1 and it is never longer than 2.1. docs/formats.md gives the formula.
std::array<double, 3> TurbulenceField(double x, double y, double z, double size);

// Drag, gravity, the wind and the turbulence at the particle's position, in that order, on its
// velocity. Each is skipped while its setting is 0, so a scene without them keeps every bit.
void ApplyForces(Simulation& sim, Particle& child, const Settings& prefs);

// The vertical speed gravity and the vertical wind take away in one frame, g / fps - wind_y / fps,
// which the ground bounce gives back before it reflects. With wind_y = -g it is exactly what
// gravity = g gives.
double VerticalPullPerFrame(const Settings& prefs, double fps);

}  // namespace vexo
