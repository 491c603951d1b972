// A static mesh in the scene that particles bounce off: each frame's whole path is tested
// against its triangles (through a grid built once, triangle_grid.hpp), so no particle passes
// through a surface however fast it moves, and a particle may bounce several times in a frame.
// Move is safe to call from several threads at once.
#pragma once

#include <vector>

#include "engine/simulation/triangle_grid.hpp"
#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

class CollisionMesh {
  public:
    // Bounces in one frame; a particle still bouncing after them waits where the last left it.
    static constexpr int kMaxBounces = 16;
    // After a bounce the particle is put this share of the largest coordinate around the hit (of
    // the hit and of the face's corners) off the surface, on the side it came from: a thousand
    // times the rounding of the numbers there, and nothing that depends on faces far away.
    static constexpr double kPush = 1e-12;

    explicit CollisionMesh(TriangleMesh mesh);
    CollisionMesh(const CollisionMesh&) = delete;
    CollisionMesh& operator=(const CollisionMesh&) = delete;

    // Moves a particle by its velocity (one frame), bouncing off every triangle on the way: the
    // velocity's part along the face normal is reversed and times `elasticity`, the part along
    // the face loses `friction` of itself, and the rest of the frame goes on from the bounce.
    void Move(Vector3& position, Vector3& velocity, double elasticity, double friction) const;

    const TriangleMesh& mesh() const { return mesh_; }

  private:
    TriangleMesh mesh_;
    TriangleGrid grid_;
    std::vector<Vector3> normals_;  // unit face normals
};

}  // namespace vexo
