// The outline of a mesh seen from a camera: its open borders and the edges between a face
// turned towards the camera and one turned away, for the emitter mesh riding on the parent and
// the collision mesh standing still. The edges and faces are found once, when the stream is
// made; a view costs one pass over them. Standard C++ only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/simulation/emitter_pose.hpp"
#include "engine/simulation/triangle_mesh.hpp"

namespace vexo::preview {

class MeshOutline {
  public:
    explicit MeshOutline(std::shared_ptr<const TriangleMesh> mesh);

    // Where the camera looks from: along `forward` (orthographic), or from `eye` (perspective).
    struct Viewer {
        Vector3 forward;
        bool perspective = false;
        Vector3 eye;
    };
    // The outline's segments in the scene, the mesh placed by `pose` (the identity for a mesh
    // that stands still). A mesh flattened by a size of 0 has no outline.
    std::vector<std::array<Vector3, 2>> Segments(const Viewer& viewer, const EmitterPose& pose) const;

    const TriangleMesh& mesh() const { return *mesh_; }

  private:
    struct Edge {
        std::uint32_t a, b;         // points
        std::uint32_t left, right;  // faces; right == left for a border or an edge of more faces
    };
    std::shared_ptr<const TriangleMesh> mesh_;
    std::vector<Edge> edges_;
    std::vector<Vector3> normals_;  // of the faces, in the mesh's own axes
};

}  // namespace vexo::preview
