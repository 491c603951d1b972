// A bounding-volume hierarchy over a mesh's triangles, built once: the first triangle a segment
// crosses (collisions) and the number a ray crosses (inside or outside a closed mesh), each in
// time that grows with the logarithm of the triangle count for short segments.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

class TriangleBvh {
  public:
    // Barycentric slack of a segment hit: a segment that passes within this fraction of a
    // triangle's size outside its edges still hits it, so that no segment slips through the
    // seam between two triangles.
    static constexpr double kEdgeSlack = 1e-9;
    // A segment that ends this fraction of its length short of a triangle hits it too, so that
    // no rounding leaves a particle a hair beyond a surface it reached.
    static constexpr double kEndSlack = 1e-9;

    // `mesh` must outlive the hierarchy.
    explicit TriangleBvh(const TriangleMesh& mesh);

    struct Hit {
        double t;                // where along the segment, 0 < t <= 1 + kEndSlack
        std::uint32_t triangle;  // index into the mesh's triangles
    };
    // The first triangle the segment from p to p + d crosses, with the slacks above. A segment
    // that starts exactly in a triangle's plane does not cross it there.
    std::optional<Hit> FirstHit(const Vector3& p, const Vector3& d) const;

    // The number of triangles the ray from p along d crosses (no slack, t > 0).
    std::uint64_t Crossings(const Vector3& p, const Vector3& d) const;

  private:
    struct Node {
        float lo[3], hi[3];   // rounded outwards from the triangles' doubles
        std::uint32_t first;  // leaf: first triangle in order_; inner: index of the second child
        std::uint32_t count;  // leaf: its triangles; 0 for an inner node, whose first child follows it
    };
    struct Item;  // a triangle's box, its centre and its index, while building
    std::uint32_t Build(Item* begin, Item* end);
    template <class Leaf>
    void Walk(const Vector3& p, const Vector3& d, double& t_max, Leaf leaf) const;

    const TriangleMesh& mesh_;
    const Item* first_item_ = nullptr;  // while building
    std::vector<Node> nodes_;
    std::vector<std::uint32_t> order_;  // triangle indices, leaf by leaf
};

}  // namespace vexo
