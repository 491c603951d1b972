#include "engine/simulation/forces.hpp"

#include <cmath>

namespace vexo {
namespace {

// One wave of the turbulence: it runs along the integer direction d and flows across it, along
// e where its phase is 0 and along f a quarter turn later (e, d and f are orthogonal, so the
// wave has no divergence). w is its wave number in turns per turbulence size along d, p its
// phase in turns.
struct Wave {
    double dx, dy, dz;
    double ex, ey, ez;
    double fx, fy, fz;
    double w, p;
};

// The four diagonals of a cube, at wave numbers whose ratios repeat only far away: the longest
// wave is about 2 sizes long, the shortest 1.
constexpr Wave kWaves[4] = {
    {1, 1, 1, 1, -1, 0, 1, 1, -2, 0.29, 0.08},
    {1, -1, -1, 0, 1, -1, 2, 1, 1, 0.37, 0.27},
    {-1, 1, -1, 1, 0, -1, -1, -2, -1, 0.47, 0.46},
    {-1, -1, 1, 1, -1, 0, 1, 1, 2, 0.59, 0.69},
};
// sqrt(231 / 2560) and sqrt(231 / 7680): e and f to unit length, each shape to a root mean
// square of 1 / sqrt 2 and the sum of four waves to a root mean square of 1.
constexpr double kScaleE = 0.3003903710174479;
constexpr double kScaleF = 0.1734304615688951;

// The wave's shape over one turn, y in [-1/2, 1/2): odd like a sine, 0 at the ends of the turn,
// and continuous from turn to turn with its first two derivatives. Plain arithmetic, the same
// bits on every machine.
double Shape(double y) {
    const double y2 = y * y;
    return (y * (1.0 - 4.0 * y2)) * (7.0 - 12.0 * y2);
}

}  // namespace

double DragFactor(double drag, double fps) {
    return std::pow(1.0 - drag, 1.0 / fps);
}

std::array<double, 3> TurbulenceField(double x, double y, double z, double size) {
    const double ax = x / size, ay = y / size, az = z / size;
    std::array<double, 3> n{0.0, 0.0, 0.0};
    for (const Wave& wave : kWaves) {
        const double t = wave.w * ((wave.dx * ax + wave.dy * ay) + wave.dz * az) + wave.p;
        const double phase = t - std::floor(t + 0.5);  // within its turn
        double quarter_on = phase + 0.25;
        if (quarter_on >= 0.5) quarter_on -= 1.0;
        const double c = Shape(quarter_on) * kScaleE;
        const double s = Shape(phase) * kScaleF;
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
