#include "engine/simulation/emission.hpp"

#include <cmath>

#include "engine/simulation/random.hpp"
#include "engine/simulation/spin.hpp"

namespace vexo {
namespace {

// The spread band's lower bound negates the integer, wrapping as the original's 32-bit
// arithmetic did rather than overflowing.
double NegatedSpread(std::int32_t spread) {
    return static_cast<double>(static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(spread)));
}

}  // namespace

std::uint32_t DrawsPerEmission(const Settings& prefs) {
    const std::uint32_t placement = IsOn(prefs.radial_creation) ? 1 : IsOn(prefs.oversampling) ? 3 : 0;
    const std::uint32_t spin = prefs.spin != 0.0 ? 3 : 0;
    return 3 + placement + spin;
}

void MoveParentRadially(Particle& parent, const double* parent_start, EngineState& state) {
    const double dx = parent.x - parent_start[0];
    const double dy = parent.y - parent_start[1];
    const double dz = parent.z - parent_start[2];
    const double dist = std::sqrt(std::fma(dz, dz, std::fma(dx, dx, dy * dy)));
    state.angle = static_cast<float>(state.random.rnd() * 359.0);
    const double a = static_cast<double>(state.angle);
    parent.x = std::fma(std::sin(a * K), dist, parent_start[0]);
    parent.z = std::fma(std::cos(a * K), dist, parent_start[2]);
}

void CreateChildObject(Simulation& sim, EngineState& state, std::uint32_t /*frame*/, const Settings& prefs,
                       const double* parent_start) {
    const auto slots = static_cast<std::uint32_t>(prefs.num_particles);
    if (sim.NumChilds >= slots) return;
    std::uint32_t index = 0;
    while (index < slots && sim.ChildArray[index].alive != 0) ++index;
    if (index == slots) return;

    Random& random = state.random;
    Particle& parent = sim.Parent;

    const double v = prefs.velocity;
    const double w = prefs.velocity_variation;
    const double lo = ((-v) * w) * 0.005;
    const double hi = (v * w) * 0.005;
    const double speed = v + random.rndbetween(lo, hi);

    double pitch = random.rndbetween(NegatedSpread(prefs.pitch_spread) * 0.5,
                                     static_cast<double>(prefs.pitch_spread) * 0.5);
    pitch = (pitch + static_cast<double>(prefs.pitch_angle)) - parent.pitch;

    const double previous_angle = static_cast<double>(state.angle);
    double heading = random.rndbetween(NegatedSpread(prefs.heading_spread) * 0.5,
                                       static_cast<double>(prefs.heading_spread) * 0.5);
    heading = ((heading + static_cast<double>(prefs.heading_angle)) + parent.heading) + (previous_angle + 90.0);

    if (IsOn(prefs.radial_creation)) MoveParentRadially(parent, parent_start, state);

    Particle& child = sim.ChildArray[index];
    if (IsOn(prefs.oversampling) && !IsOn(prefs.radial_creation)) {
        const Particle& last = sim.lastframe;
        child.x = std::fma(random.rnd(), parent.x - last.x, last.x);
        child.y = std::fma(random.rnd(), parent.y - last.y, last.y);
        child.z = std::fma(random.rnd(), parent.z - last.z, last.z);
    } else {
        child.x = parent.x;
        child.y = parent.y;
        child.z = parent.z;
    }

    const double p = pitch * K;
    const double h = heading * K;
    child.vx = (speed * std::cos(p)) * std::sin(h);
    child.vy = speed * std::sin(p);
    child.vz = (speed * std::cos(p)) * std::cos(h);

    child.heading = static_cast<double>(state.angle);
    child.pitch = 0.0;
    child.bank = 0.0;

    child.alive = 1;
    child.max_age = static_cast<std::uint32_t>(IsOn(prefs.limited_lifespan) ? prefs.lifespan : prefs.last_frame);
    child.age = 0;

    if (IsOn(prefs.use_creation_delay)) {
        child.scale_x = child.scale_y = child.scale_z = 0.0;
        child.state = kStateWaiting;
        child.delay = prefs.creation_delay;
        child.shown = 0;
    } else {
        child.scale_x = child.scale_y = child.scale_z = prefs.start_size;
        child.state = kStateShown;
        child.delay = -1;
        child.shown = 1;
    }
    // Spin draws last, after every other number of the emission.
    if (prefs.spin != 0.0) {
        DrawSpin(random, prefs.spin, sim.frames_per_second, child);
    } else {
        child.turn_x = child.turn_y = child.turn_z = 0.0;
    }
    ++sim.NumChilds;
}

}  // namespace vexo
