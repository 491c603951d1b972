#include "engine/simulation/spin.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/motion/world_channels.hpp"
#include "engine/writers/gltf_tracks.hpp"

namespace vexo {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
// The cosine of the pitch (relative to the quaternion's squared length) below which a particle
// points straight up or down, a millionth of a degree or less from it, where heading and bank
// each rest on rounding alone.
constexpr double kStraightUp = 1.7453292519943296e-8;

// Heading, pitch and bank of the rotation q (of any length), with the formulas of
// HeadingPitchBank on q's matrix times its squared length (the ratios are the same). Straight up
// only heading - bank is known, straight down only heading + bank: the bank stays `bank_before`
// and the heading takes the rest.
std::array<double, 3> AnglesOf(const Quaternion& q, double bank_before) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double xx = x * x, yy = y * y, zz = z * z, ww = w * w;
    const double r10 = 2.0 * (x * y + z * w), r11 = (ww - xx) + (yy - zz), r12 = 2.0 * (y * z - x * w);
    const double cos_pitch = std::sqrt(r10 * r10 + r11 * r11);
    const double pitch = std::atan2(r12, cos_pitch) * kDegrees;
    if (cos_pitch < kStraightUp * ((xx + yy) + (zz + ww))) {
        const double up = r12 > 0 ? 1.0 : -1.0;
        const double r00 = (ww + xx) - (yy + zz), r01 = 2.0 * (x * y - z * w);
        return {-std::atan2(-up * r01, r00) * kDegrees + up * bank_before, pitch, bank_before};
    }
    const double r02 = 2.0 * (x * z + y * w), r22 = (ww - xx) - (yy - zz);
    return {-std::atan2(r02, r22) * kDegrees, pitch, std::atan2(r10, r11) * kDegrees};
}

}  // namespace

void DrawSpin(Random& random, double spin, double fps, Particle& child) {
    const double rate = random.rnd() * spin;
    const double u = random.rndbetween(-1.0, 1.0);
    const double around = random.rnd() * (2.0 * std::numbers::pi);
    const double r = std::sqrt(1.0 - u * u);
    // One frame's turn, moved by whole turns into [-180, 180]: the keys of a frame can show no more.
    double degrees = rate / fps;
    degrees -= 360.0 * std::round(degrees / 360.0);
    const double s = std::sin(degrees * (std::numbers::pi / 360.0));
    child.turn_x = (r * std::cos(around)) * s;
    child.turn_y = u * s;
    child.turn_z = (r * std::sin(around)) * s;
}

void TurnChildObject(Particle& child) {
    const double sx = child.turn_x, sy = child.turn_y, sz = child.turn_z;
    if (sx == 0.0 && sy == 0.0 && sz == 0.0) return;
    const double sw = std::sqrt(std::max(0.0, 1.0 - ((sx * sx + sy * sy) + sz * sz)));
    // The frame's turn after the particle's rotation: a turn about an axis fixed in the world.
    const auto q = GltfRotation(child.heading, child.pitch, child.bank);
    const Quaternion turned{
        sw * q[0] + sx * q[3] + sy * q[2] - sz * q[1], sw * q[1] - sx * q[2] + sy * q[3] + sz * q[0],
        sw * q[2] + sx * q[1] - sy * q[0] + sz * q[3], sw * q[3] - sx * q[0] - sy * q[1] - sz * q[2]};
    std::array<double, 3> hpb = AnglesOf(turned, child.bank);
    hpb = ContinuousAngles(hpb, {child.heading, child.pitch, child.bank});
    child.heading = hpb[0];
    child.pitch = hpb[1];
    child.bank = hpb[2];
}

std::array<double, 3> ContinuousAngles(const std::array<double, 3>& hpb,
                                       const std::array<double, 3>& previous) {
    const std::array<std::array<double, 3>, 2> names{hpb, {hpb[0] + 180.0, 180.0 - hpb[1], hpb[2] + 180.0}};
    std::array<double, 3> nearest = hpb;
    double nearest_distance = std::numeric_limits<double>::infinity();
    for (std::array<double, 3> name : names) {
        double distance = 0.0;
        for (int i = 0; i < 3; ++i) {
            name[i] -= 360.0 * std::round((name[i] - previous[i]) / 360.0);
            distance += std::abs(name[i] - previous[i]);
        }
        if (distance < nearest_distance) {
            nearest = name;
            nearest_distance = distance;
        }
    }
    return nearest;
}

}  // namespace vexo
