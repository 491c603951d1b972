// A bounding-volume hierarchy over a mesh's triangles, built once: the number of triangles a ray
// crosses (inside or outside a closed mesh), in time that grows with the logarithm of the
// triangle count. (Short segments are searched through a grid: triangle_grid.hpp.)
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/simulation/segment_hit.hpp"
#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

class TriangleBvh {
  public:
    // `mesh` must outlive the hierarchy.
    explicit TriangleBvh(const TriangleMesh& mesh);

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
