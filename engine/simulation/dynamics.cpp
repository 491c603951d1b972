#include "engine/simulation/dynamics.hpp"

#include <cmath>

#include "engine/simulation/forces.hpp"
#include "engine/simulation/spin.hpp"

namespace vexo {
namespace {

// With lifespan 1, or first_frame equal to last_frame without a limited lifespan, the growth
// divisor is 0. It is taken as 1 there, so the particle reaches end_size at its first aging
// step instead of its scale becoming infinite or not-a-number.
double GrowthStep(const Particle& child, const Settings& prefs) {
    const std::uint32_t n = IsOn(prefs.limited_lifespan)
                                ? child.max_age - 1u
                                : static_cast<std::uint32_t>(prefs.last_frame) -
                                      static_cast<std::uint32_t>(prefs.first_frame);
    const double divisor = n == 0 ? 1.0 : static_cast<double>(n);
    return (prefs.end_size - prefs.start_size) / divisor;
}

}  // namespace

void MoveChildObject(Simulation& sim, std::uint32_t index) {
    Particle& child = sim.ChildArray[index];
    if (child.alive == 1) {
        child.x += child.vx;
        child.y += child.vy;
        child.z += child.vz;
        TurnChildObject(child);
    } else {
        // A free slot rides along with the parent; its velocity is left alone.
        child.x = sim.Parent.x;
        child.y = sim.Parent.y;
        child.z = sim.Parent.z;
    }
}

void EffectChildObject(Simulation& sim, std::uint32_t index, const Settings& prefs) {
    Particle& child = sim.ChildArray[index];
    if (child.alive == 0) return;

    ApplyForces(sim, child, prefs);
    if (IsOn(prefs.ground_bounce) && !(child.y + child.vy >= 0.0)) {
        // Reflects the vertical speed the particle had before this frame's gravity and wind.
        const double e = prefs.elasticity;
        child.vy = -std::fma(child.vy, e, VerticalPullPerFrame(prefs, sim.frames_per_second) * e);
    }

    if (child.delay == -1) {
        if (IsOn(prefs.particle_grow)) {
            const double step = GrowthStep(child, prefs);
            child.scale_x += step;
            child.scale_y += step;
            child.scale_z += step;
        }
        child.age += 1;
    }

    if (IsOn(prefs.limited_lifespan) && child.age >= child.max_age) {
        child.state = kStateEnded;
        switch (prefs.end_behavior) {
            case static_cast<std::int32_t>(EndBehavior::Recycle):
                if (sim.NumChilds != 0) {
                    child.shown = 0;
                    child.alive = 0;
                    child.delay = IsOn(prefs.use_creation_delay) ? prefs.creation_delay : -1;
                    --sim.NumChilds;
                    // The slot is free now: the creation-delay and state steps below belong to
                    // a living particle and must not act on it in this call.
                    return;
                }
                break;
            case static_cast<std::int32_t>(EndBehavior::Stop):
            case static_cast<std::int32_t>(EndBehavior::Destroy):
                child.shown = 0;
                break;
            default:
                break;
        }
    }

    if (IsOn(prefs.use_creation_delay)) {
        if (child.delay == 0) {
            child.scale_x = child.scale_y = child.scale_z = prefs.start_size;
            child.state = kStateShown;
            child.shown = 1;
            child.delay = -1;
        } else if (child.delay != -1) {
            // Wraps instead of overflowing when a loaded record carries a negative delay.
            child.delay = static_cast<std::int32_t>(static_cast<std::uint32_t>(child.delay) - 1u);
        }
    }

    if (child.delay != -1) return;
    if (child.age != 0 && child.state != kStateEnded) child.state = kStateActive;
    if (child.frame == prefs.last_frame) child.state = kStateEnded;
}

}  // namespace vexo
