// Turns an emitter's world transform, in glTF's axes (right-handed, y up), into the nine channels
// of a motion table entry in LightWave's axes (left-handed, y up): position with z mirrored,
// heading, pitch and bank in degrees, scale. Pure arithmetic; knows nothing of files.
#pragma once

#include <array>

#include "engine/motion/motion_table.hpp"

namespace vexo {

// A 4x4 transform acting on column vectors: m[row][column], translation in column 3.
struct Transform {
    std::array<std::array<double, 4>, 4> m{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
};

// A unit rotation quaternion, x y z w.
using Quaternion = std::array<double, 4>;

Transform operator*(const Transform& a, const Transform& b);

// translation * rotation * scale, each applied to column vectors (scale first).
Transform Compose(const std::array<double, 3>& translation, const Quaternion& rotation,
                  const std::array<double, 3>& scale);

// The rotation matrix of a quaternion (normalised first); identity for a zero quaternion.
std::array<std::array<double, 3>, 3> RotationMatrix(const Quaternion& q);

// The nine channels of `world`. Scale is the length of each axis column (negative on x when the
// matrix mirrors); rotation is the columns divided by their lengths. When an axis has length 0
// (a hidden object) the rotation is taken from `rotation_if_degenerate` instead.
MotionFrame ChannelsOfWorld(const Transform& world, const Quaternion& rotation_if_degenerate);

// Heading, pitch and bank (degrees) of a rotation matrix given in glTF axes, the inverse of
// the glTF writer's GltfRotation. At gimbal lock (pitch +-90) bank is 0 and heading takes the turn.
std::array<double, 3> HeadingPitchBank(const std::array<std::array<double, 3>, 3>& r);

// Moves every angle by whole turns to lie within 180 degrees of the frame before it.
void MakeAnglesContinuous(std::vector<MotionFrame>& table);

}  // namespace vexo
