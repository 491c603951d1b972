#include "engine/simulation/emitter_pose.hpp"

#include <cmath>
#include <numbers>

namespace vexo {

Vector3 EmitterPose::Rotate(const Vector3& v) const {
    // The parent is shown in the scene at these exact angles, so pi / 180 turns them, not the
    // emission's constant K.
    constexpr double k = std::numbers::pi / 180.0;
    const double ch = std::cos(heading * k), sh = std::sin(heading * k);
    const double cp = std::cos(pitch * k), sp = std::sin(pitch * k);
    const double cb = std::cos(bank * k), sb = std::sin(bank * k);
    const double x1 = v.x * cb - v.y * sb, y1 = v.x * sb + v.y * cb, z1 = v.z;
    const double y2 = y1 * cp - z1 * sp, z2 = y1 * sp + z1 * cp;
    return {x1 * ch + z2 * sh, y2, z2 * ch - x1 * sh};
}

Vector3 EmitterPose::Place(const Vector3& local) const {
    return position + Rotate({local.x * scale.x, local.y * scale.y, local.z * scale.z});
}

Vector3 EmitterPose::Turn(const Vector3& n) const {
    // A normal follows the inverse transpose of the scale: the cofactors, times the sign of the
    // determinant so that a mirrored mesh keeps its front.
    const double sign = scale.x * scale.y * scale.z < 0 ? -1.0 : 1.0;
    Vector3 scaled{n.x * (scale.y * scale.z) * sign, n.y * (scale.x * scale.z) * sign,
                   n.z * (scale.x * scale.y) * sign};
    if (Length(scaled) == 0.0) scaled = n;
    return Unit(Rotate(scaled));
}

}  // namespace vexo
