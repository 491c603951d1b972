#include "engine/simulation/forces.hpp"

#include <cmath>

namespace vexo {
namespace {

// One wave of the turbulence: it runs along the integer direction d and flows across it, along
// e where its phase is 0 and along f a quarter turn later (e, d and f are orthogonal, so the
// wave has no divergence). w is its wave number per turbulence size along d, p its phase.
struct Wave {
    double dx, dy, dz;
    double ex, ey, ez;
    double fx, fy, fz;
    double w, p;
};

// The four diagonals of a cube, at four wave numbers whose ratios repeat only far away: the
// longest wave is about 2 sizes long, the shortest 1.
constexpr Wave kWaves[4] = {
    {1, 1, 1, 1, -1, 0, 1, 1, -2, 1.8, 0.5},
    {1, -1, -1, 0, 1, -1, 2, 1, 1, 2.3, 1.7},
    {-1, 1, -1, 1, 0, -1, -1, -2, -1, 2.9, 2.9},
    {-1, -1, 1, 1, -1, 0, 1, 1, 2, 3.7, 4.3},
};
// 1 / (2 sqrt 2) and 1 / (2 sqrt 6): e and f to unit length, and the sum of four unit waves to a
// root mean square of 1.
constexpr double kAlong = 0.3535533905932738;
constexpr double kAcross = 0.2041241452319315;

}  // namespace

double DragFactor(double drag, double fps) {
    return std::pow(1.0 - drag, 1.0 / fps);
}

std::array<double, 3> TurbulenceField(double x, double y, double z, double size) {
    const double ax = x / size, ay = y / size, az = z / size;
    std::array<double, 3> n{0.0, 0.0, 0.0};
    for (const Wave& wave : kWaves) {
        const double t = wave.w * ((wave.dx * ax + wave.dy * ay) + wave.dz * az) + wave.p;
        const double c = std::cos(t) * kAlong;
        const double s = std::sin(t) * kAcross;
        n[0] += wave.ex * c + wave.fx * s;
        n[1] += wave.ey * c + wave.fy * s;
        n[2] += wave.ez * c + wave.fz * s;
    }
    return n;
}

void ApplyForces(Simulation& sim, Particle& child, const Settings& prefs) {
    const double fps = sim.frames_per_second;
    if (prefs.drag != 0.0) {
        if (sim.drag_factor_of[0] != prefs.drag || sim.drag_factor_of[1] != fps) {
            sim.drag_factor = DragFactor(prefs.drag, fps);
            sim.drag_factor_of = {prefs.drag, fps};
        }
        child.vx *= sim.drag_factor;
        child.vy *= sim.drag_factor;
        child.vz *= sim.drag_factor;
    }
    if (prefs.gravity != 0.0) child.vy = child.vy - prefs.gravity / fps;
    if (prefs.wind_x != 0.0) child.vx = child.vx + prefs.wind_x / fps;
    if (prefs.wind_y != 0.0) child.vy = child.vy + prefs.wind_y / fps;
    if (prefs.wind_z != 0.0) child.vz = child.vz + prefs.wind_z / fps;
    if (prefs.turbulence != 0.0) {
        const std::array<double, 3> n = TurbulenceField(child.x, child.y, child.z, prefs.turbulence_size);
        const double step = prefs.turbulence / fps;
        child.vx = child.vx + step * n[0];
        child.vy = child.vy + step * n[1];
        child.vz = child.vz + step * n[2];
    }
}

double VerticalPullPerFrame(const Settings& prefs, double fps) {
    // Without vertical wind this is gravity's own step, bit for bit (even a gravity of -0).
    const double pull = prefs.gravity / fps;
    return prefs.wind_y != 0.0 ? pull - prefs.wind_y / fps : pull;
}

}  // namespace vexo
