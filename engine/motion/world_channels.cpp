#include "engine/motion/world_channels.hpp"

#include <cmath>
#include <numbers>

namespace vexo {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
// Below this cosine of the pitch, heading and bank turn about the same axis (gimbal lock).
constexpr double kGimbalLock = 1e-9;
// An axis shorter than this has been scaled away; its direction carries no rotation.
constexpr double kZeroAxis = 1e-12;

}  // namespace

Transform operator*(const Transform& a, const Transform& b) {
    Transform product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a.m[r][k] * b.m[k][c];
            product.m[r][c] = sum;
        }
    }
    return product;
}

std::array<std::array<double, 3>, 3> RotationMatrix(const Quaternion& q) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length > 0.0)) return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    const double x = q[0] / length, y = q[1] / length, z = q[2] / length, w = q[3] / length;
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}

Transform Compose(const std::array<double, 3>& translation, const Quaternion& rotation,
                  const std::array<double, 3>& scale) {
    const auto r = RotationMatrix(rotation);
    Transform t;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) t.m[row][column] = r[row][column] * scale[column];
        t.m[row][3] = translation[row];
    }
    return t;
}

std::array<double, 3> HeadingPitchBank(const std::array<std::array<double, 3>, 3>& r) {
    // GltfRotation gives Ry(-H) Rx(-P) Rz(B) in glTF's axes (right-handed rotations), whose
    // entries are r[0][2] = -sin H cos P, r[2][2] = cos H cos P, r[1][2] = sin P,
    // r[1][0] = cos P sin B, r[1][1] = cos P cos B.
    const double cos_pitch = std::hypot(r[1][0], r[1][1]);
    const double pitch = std::atan2(r[1][2], cos_pitch);
    if (cos_pitch < kGimbalLock) {
        // Only H - B (pitch +90) or H + B (pitch -90) is defined: bank is 0.
        const double up = r[1][2] > 0 ? 1.0 : -1.0;
        const double heading = -std::atan2(-up * r[0][1], r[0][0]);
        return {heading * kDegrees, up * 90.0, 0.0};
    }
    const double heading = -std::atan2(r[0][2], r[2][2]);
    const double bank = std::atan2(r[1][0], r[1][1]);
    return {heading * kDegrees, pitch * kDegrees, bank * kDegrees};
}

MotionFrame ChannelsOfWorld(const Transform& world, const Quaternion& rotation_if_degenerate) {
    std::array<double, 3> scale{};
    std::array<std::array<double, 3>, 3> r{};
    bool degenerate = false;
    for (int c = 0; c < 3; ++c) {
        scale[c] = std::sqrt(world.m[0][c] * world.m[0][c] + world.m[1][c] * world.m[1][c] +
                             world.m[2][c] * world.m[2][c]);
        if (!(scale[c] > kZeroAxis)) degenerate = true;
    }
    if (degenerate) {
        r = RotationMatrix(rotation_if_degenerate);
    } else {
        for (int row = 0; row < 3; ++row) {
            for (int c = 0; c < 3; ++c) r[row][c] = world.m[row][c] / scale[c];
        }
        const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                           r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                           r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
        if (det < 0) {  // a mirroring transform: the mirror goes into the x scale
            scale[0] = -scale[0];
            for (auto& row : r) row[0] = -row[0];
        }
    }
    const auto hpb = HeadingPitchBank(r);
    return MotionFrame{
        {world.m[0][3], world.m[1][3], -world.m[2][3], hpb[0], hpb[1], hpb[2], scale[0], scale[1], scale[2]}};
}

void MakeAnglesContinuous(std::vector<MotionFrame>& table) {
    for (std::size_t j = 1; j < table.size(); ++j) {
        for (int c = 3; c <= 5; ++c) {
            const double previous = table[j - 1].value[c];
            double& angle = table[j].value[c];
            angle -= 360.0 * std::round((angle - previous) / 360.0);
        }
    }
}

}  // namespace vexo
