// Where a segment p + t d (0 < t <= 1) crosses a mesh's triangle, as every search over a mesh
// (the hierarchy, the collision grid) tests it, so that all of them find the same hits.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

// Barycentric slack of a segment hit: a segment that passes within this fraction of a
// triangle's size outside its edges still hits it, so that no segment slips through the seam
// between two triangles.
inline constexpr double kEdgeSlack = 1e-9;
// A segment that ends this fraction of its length short of a triangle hits it too, so that no
// rounding leaves a particle a hair beyond a surface it reached.
inline constexpr double kEndSlack = 1e-9;

struct SegmentHit {
    double t;                // where along the segment, 0 < t <= 1 + kEndSlack
    std::uint32_t triangle;  // index into the mesh's triangles
};

struct Barycentric {
    double u, v, t;
    bool parallel;
};

// Moller and Trumbore's intersection of the line p + t d with the plane of the triangle of corner
// a and edges e1 = b - a, e2 = c - a.
inline Barycentric Intersect(const Vector3& p, const Vector3& d, const Vector3& a, const Vector3& e1,
                             const Vector3& e2) {
    const Vector3 pv = Cross(d, e2);
    const double det = Dot(e1, pv);
    if (det == 0.0) return {0, 0, 0, true};
    const double inv = 1.0 / det;
    const Vector3 tv = p - a;
    const Vector3 qv = Cross(tv, e1);
    return {Dot(tv, pv) * inv, Dot(d, qv) * inv, Dot(e2, qv) * inv, false};
}

// Takes triangle `triangle` as `best` when the segment hits it (with the slacks) no later than
// `best` (of two at one place, the lower index). A segment that starts exactly in a triangle's
// plane does not cross it there.
inline void KeepNearerHit(const TriangleMesh& mesh, const Vector3& p, const Vector3& d,
                          std::uint32_t triangle, std::optional<SegmentHit>& best) {
    const Vector3 a = mesh.Corner(triangle, 0);
    const Barycentric b = Intersect(p, d, a, mesh.Corner(triangle, 1) - a, mesh.Corner(triangle, 2) - a);
    if (b.parallel || !(b.t > 0.0) || b.t > (best ? best->t : 1.0 + kEndSlack)) return;
    if (b.u < -kEdgeSlack || b.v < -kEdgeSlack || b.u + b.v > 1.0 + kEdgeSlack) return;
    if (best && b.t == best->t && triangle > best->triangle) return;
    best = SegmentHit{b.t, triangle};
}

}  // namespace vexo
