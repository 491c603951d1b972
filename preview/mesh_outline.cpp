#include "preview/mesh_outline.hpp"

#include <algorithm>
#include <cmath>

namespace vexo::preview {

MeshOutline::MeshOutline(std::shared_ptr<const TriangleMesh> mesh) : mesh_(std::move(mesh)) {
    const TriangleMesh& m = *mesh_;
    normals_.reserve(m.triangles.size());
    struct Side {
        std::uint64_t key;
        std::uint32_t face;
    };
    std::vector<Side> sides;
    sides.reserve(3 * m.triangles.size());
    for (std::uint32_t t = 0; t < m.triangles.size(); ++t) {
        normals_.push_back(m.FaceNormal(t));
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t a = m.triangles[t][static_cast<std::size_t>(i)];
            const std::uint32_t b = m.triangles[t][static_cast<std::size_t>((i + 1) % 3)];
            sides.push_back({(std::uint64_t{std::min(a, b)} << 32) | std::max(a, b), t});
        }
    }
    std::sort(sides.begin(), sides.end(), [](const Side& x, const Side& y) {
        return x.key < y.key || (x.key == y.key && x.face < y.face);
    });
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t j = i + 1;
        while (j < sides.size() && sides[j].key == sides[i].key) ++j;
        const auto a = static_cast<std::uint32_t>(sides[i].key >> 32);
        const auto b = static_cast<std::uint32_t>(sides[i].key & 0xFFFFFFFFu);
        // Two faces: drawn where one faces the camera and the other does not. One face, or more
        // than two: always drawn.
        edges_.push_back({a, b, sides[i].face, j - i == 2 ? sides[i + 1].face : sides[i].face});
        i = j;
    }
}

std::vector<std::array<Vector3, 2>> MeshOutline::Segments(const Viewer& viewer,
                                                          const EmitterPose& pose) const {
    std::vector<std::array<Vector3, 2>> segments;
    const Vector3& s = pose.scale;
    if (s.x == 0 || s.y == 0 || s.z == 0) return segments;
    const TriangleMesh& m = *mesh_;
    // Whether a face looks towards the camera is decided in the mesh's own axes, with the view
    // taken back through the pose: a normal n becomes R S^-1 n (up to a factor), so n_scene . v
    // has the sign of n . S^-1 R^T v, and for the eye, of n . (c - e) with e the eye in the
    // mesh's axes. A mirroring size turns every face round alike, which leaves the outline.
    const Vector3 x = pose.Rotate({1, 0, 0}), y = pose.Rotate({0, 1, 0}), z = pose.Rotate({0, 0, 1});
    auto back = [&](const Vector3& v) { return Vector3{Dot(v, x) / s.x, Dot(v, y) / s.y, Dot(v, z) / s.z}; };
    const Vector3 forward = back(viewer.forward);
    const Vector3 eye = back(viewer.eye - pose.position);
    auto towards = [&](std::uint32_t face) {
        const Vector3& n = normals_[face];
        return (viewer.perspective ? Dot(n, m.Corner(face, 0) - eye) : Dot(n, forward)) < 0;
    };
    for (const Edge& edge : edges_) {
        if (edge.left != edge.right && towards(edge.left) == towards(edge.right)) continue;
        segments.push_back({pose.Place(m.points[edge.a]), pose.Place(m.points[edge.b])});
    }
    return segments;
}

}  // namespace vexo::preview
