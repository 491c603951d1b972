#include "engine/simulation/emission.hpp"

#include <cmath>

#include "engine/simulation/mesh_emitter.hpp"
#include "engine/simulation/random.hpp"
#include "engine/simulation/spin.hpp"

namespace vexo {
namespace {

// The spread band's lower bound negates the integer, wrapping as the original's 32-bit
// arithmetic did rather than overflowing.
double NegatedSpread(std::int32_t spread) {
    return static_cast<double>(static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(spread)));
}

// The emitter's pose at the moment `t` between the parent's previous sample and its current one
// (1: the current one, which radial creation may have moved).
EmitterPose PoseAt(const Particle& last, const Particle& parent, double t) {
    if (t == 1.0) {
        return {{parent.x, parent.y, parent.z}, parent.heading, parent.pitch, parent.bank,
                {parent.scale_x, parent.scale_y, parent.scale_z}};
    }
    auto mix = [t](double from, double to) { return std::fma(t, to - from, from); };
    return {{mix(last.x, parent.x), mix(last.y, parent.y), mix(last.z, parent.z)},
            mix(last.heading, parent.heading),
            mix(last.pitch, parent.pitch),
            mix(last.bank, parent.bank),
            {mix(last.scale_x, parent.scale_x), mix(last.scale_y, parent.scale_y),
             mix(last.scale_z, parent.scale_z)}};
}

}  // namespace

std::uint32_t DrawsPerEmission(const Settings& prefs) {
    const std::uint32_t placement = IsOn(prefs.radial_creation) ? 1 : IsOn(prefs.oversampling) ? 3 : 0;
    const std::uint32_t mesh = prefs.emit_from != static_cast<std::int32_t>(EmitFrom::Point) ? 1 : 0;
    const std::uint32_t spin = prefs.spin != 0.0 ? 3 : 0;
    return 3 + placement + mesh + spin;
}

Vector3 AlongNormal(const Vector3& normal, double heading_offset, double pitch_offset) {
    // The normal's own frame: forward along it, right level, up as near the scene's up as it can be.
    const double level = std::sqrt(normal.x * normal.x + normal.z * normal.z);
    const double sh = level > 0 ? normal.x / level : 0.0, ch = level > 0 ? normal.z / level : 1.0;
    const double sp = normal.y, cp = level;
    const Vector3 right{ch, 0.0, -sh};
    const Vector3 up{-sp * sh, cp, -sp * ch};
    const double h = heading_offset * K, p = pitch_offset * K;
    return right * (std::cos(p) * std::sin(h)) + up * std::sin(p) + normal * (std::cos(p) * std::cos(h));
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

    const double pitch_offset = random.rndbetween(NegatedSpread(prefs.pitch_spread) * 0.5,
                                                  static_cast<double>(prefs.pitch_spread) * 0.5);
    const double pitch = (pitch_offset + static_cast<double>(prefs.pitch_angle)) - parent.pitch;

    const double previous_angle = static_cast<double>(state.angle);
    const double heading_offset = random.rndbetween(NegatedSpread(prefs.heading_spread) * 0.5,
                                                    static_cast<double>(prefs.heading_spread) * 0.5);
    const double heading = ((heading_offset + static_cast<double>(prefs.heading_angle)) + parent.heading) +
                           (previous_angle + 90.0);

    if (IsOn(prefs.radial_creation)) MoveParentRadially(parent, parent_start, state);

    Particle& child = sim.ChildArray[index];
    double moment = 1.0;  // of the emission between the parent's previous sample and its current one
    if (IsOn(prefs.oversampling) && !IsOn(prefs.radial_creation)) {
        const Particle& last = sim.lastframe;
        moment = random.rnd();
        child.x = std::fma(moment, parent.x - last.x, last.x);
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

    // Drawn even without a mesh (a record set up by hand), so that the count never changes.
    const bool from_mesh = prefs.emit_from != static_cast<std::int32_t>(EmitFrom::Point);
    const std::uint32_t seed = from_mesh ? random.rand() : 0;
    if (from_mesh && sim.emitter != nullptr) {
        // The emitter's whole pose at one moment: with oversampling, that of the first of the
        // three numbers, so the place lies on the mesh as it stood then.
        const MeshPlace place = sim.emitter->Pick(seed, PoseAt(sim.lastframe, parent, moment));
        child.x = place.point.x;
        child.y = place.point.y;
        child.z = place.point.z;
        if (IsOn(prefs.emit_along_normal)) {
            const Vector3 d = AlongNormal(place.normal, heading_offset, pitch_offset);
            child.vx = speed * d.x;
            child.vy = speed * d.y;
            child.vz = speed * d.z;
        }
    }

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
