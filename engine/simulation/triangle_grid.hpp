// A uniform grid over a mesh's box, each cell listing the triangles whose boxes touch it, built
// once: the first triangle a short segment crosses is found in the few cells along it, and a
// segment that misses the box costs one box test. The collision mesh's search.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/simulation/segment_hit.hpp"
#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

class TriangleGrid {
  public:
    // `mesh` must outlive the grid.
    explicit TriangleGrid(const TriangleMesh& mesh);

    // The first triangle the segment from p to p + d crosses (segment_hit.hpp).
    std::optional<SegmentHit> FirstHit(const Vector3& p, const Vector3& d) const;

    // Cells, and places where a triangle is listed: at most 32 a triangle and one a cell on
    // average, however large the triangles.
    std::size_t cells() const { return start_.size() - 1; }
    std::size_t listed() const { return triangles_.size(); }

  private:
    const TriangleMesh& mesh_;
    Vector3 origin_;       // the box's lowest corner
    double size_[3] = {};  // of a cell along each axis
    std::int64_t cells_[3] = {};
    std::vector<std::uint32_t> start_;      // per cell, where its triangles begin in `triangles_`
    std::vector<std::uint32_t> triangles_;  // cell by cell
};

}  // namespace vexo
