// A point or direction in the scene's LightWave axes (x right, y up, z forward, left-handed),
// and the few operations the meshes need. Every operation rounds as written: no fused
// multiply-adds, so results are the same on every path that computes them.
#pragma once

#include <cmath>

namespace vexo {

struct Vector3 {
    double x = 0, y = 0, z = 0;
    bool operator==(const Vector3&) const = default;
};

inline Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 operator-(const Vector3& a) {
    return {-a.x, -a.y, -a.z};
}
inline Vector3 operator*(const Vector3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Vector3& a) {
    return std::sqrt(Dot(a, a));
}
// The unit vector along `a`, or the zero vector when `a` has no length.
inline Vector3 Unit(const Vector3& a) {
    const double length = Length(a);
    return length > 0 ? a * (1.0 / length) : Vector3{};
}
inline double Component(const Vector3& a, int axis) {
    return axis == 0 ? a.x : axis == 1 ? a.y : a.z;
}

// An axis-aligned box; empty until a point is added.
struct Bounds {
    Vector3 min, max;
    bool empty = true;
    void Add(const Vector3& p) {
        if (empty) {
            min = max = p;
            empty = false;
            return;
        }
        min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y), std::fmin(min.z, p.z)};
        max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y), std::fmax(max.z, p.z)};
    }
    double Diagonal() const { return empty ? 0.0 : Length(max - min); }
};

}  // namespace vexo
