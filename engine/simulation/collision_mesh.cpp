#include "engine/simulation/collision_mesh.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexo {
namespace {

double Largest(const Vector3& p) {
    return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
}

}  // namespace

CollisionMesh::CollisionMesh(TriangleMesh mesh) : mesh_(std::move(mesh)), grid_(mesh_) {
    normals_.reserve(mesh_.triangles.size());
    for (std::uint32_t t = 0; t < mesh_.triangles.size(); ++t) normals_.push_back(Unit(mesh_.FaceNormal(t)));
}

void CollisionMesh::Move(Vector3& p, Vector3& v, double elasticity, double friction) const {
    // A particle whose numbers have overflowed cannot be placed among the faces; the generation
    // stops on its keys anyway.
    if (!std::isfinite(Dot(p, p)) || !std::isfinite(Dot(v, v))) {
        p = p + v;
        return;
    }
    double remaining = 1.0;  // of the frame
    for (int bounce = 0; bounce < kMaxBounces; ++bounce) {
        const Vector3 d = bounce == 0 ? v : v * remaining;
        const auto hit = grid_.FirstHit(p, d);
        if (!hit) {
            p = p + d;
            return;
        }
        // The face's normal on the side the particle comes from.
        Vector3 n = normals_[hit->triangle];
        if (Dot(n, d) > 0) n = -n;
        const double t = std::min(hit->t, 1.0);
        const Vector3 at = p + d * t;
        const double along = Dot(v, n);
        const Vector3 across = v - n * along;
        v = across * (1.0 - friction) + n * (-along * elasticity);
        // An elasticity far above 1 can overflow the speed: the particle stops searching here, and
        // its next keys carry the overflow to the generation's check.
        if (!std::isfinite(Dot(v, v))) return;
        remaining = remaining * (1.0 - t);
        // Off the surface on the particle's side. The way there, from a point of the path just
        // before the hit, must cross nothing (another face near a corner, or a point the rounding
        // put beyond the face): else the particle stays where this part of the frame began.
        double around = std::max(Largest(at), std::numeric_limits<double>::min());
        for (int corner = 0; corner < 3; ++corner)
            around = std::max(around, Largest(mesh_.Corner(hit->triangle, corner)));
        const Vector3 rest = at + n * (kPush * around);
        const Vector3 before = p + d * (t * (1.0 - 1e-6));
        if (!grid_.FirstHit(before, rest - before)) p = rest;
        if (remaining == 0.0) return;
    }
}

}  // namespace vexo
