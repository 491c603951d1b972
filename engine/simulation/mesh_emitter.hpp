// Places on the emitter mesh: a vertex at random, a point spread evenly by area over the
// triangles, or a point spread evenly through the volume a closed mesh encloses, with the
// normal there, in the scene for the emitter's pose at the emission. Built once per generation;
// Pick is safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/settings/settings.hpp"
#include "engine/simulation/emitter_pose.hpp"
#include "engine/simulation/mesh_random.hpp"
#include "engine/simulation/triangle_bvh.hpp"
#include "engine/simulation/triangle_mesh.hpp"

namespace vexo {

struct MeshPlace {
    Vector3 point;   // in the scene
    Vector3 normal;  // in the scene, length 1; for volume emission the zero vector
};

class MeshEmitter {
  public:
    // Attempts a surface place makes to follow unequal size channels before it takes its last.
    static constexpr int kSurfaceTries = 32;
    // Attempts a volume place makes before it takes the mesh's fallback point.
    static constexpr int kVolumeTries = 100000;
    // Points tried in the cells a surface passes through, when no cell lies wholly inside,
    // before a mesh is found to enclose no volume.
    static constexpr int kVolumeProbes = 4096;

    enum class Problem { None, NoArea, Open, NoVolume };

    // Prepares `mesh` for `from` (vertices, surface or volume). A surface of no area, an open
    // mesh or one that encloses no volume (for volume emission) is a Problem; `odd_edges`
    // counts the open edges.
    static std::unique_ptr<MeshEmitter> Make(TriangleMesh mesh, EmitFrom from, Problem& problem,
                                             std::uint64_t& odd_edges);

    // The place of an emission whose main-generator number is `seed`.
    MeshPlace Pick(std::uint32_t seed, const EmitterPose& pose) const;

    const TriangleMesh& mesh() const { return mesh_; }
    EmitFrom from() const { return from_; }

    MeshEmitter(const MeshEmitter&) = delete;
    MeshEmitter& operator=(const MeshEmitter&) = delete;

  private:
    MeshEmitter(TriangleMesh mesh, EmitFrom from) : mesh_(std::move(mesh)), from_(from) {}
    Problem PrepareVolume();
    bool Inside(const Vector3& local) const;
    Vector3 CellPoint(std::uint32_t cell, MeshRandom& random) const;
    MeshPlace PickVertex(MeshRandom& random, const EmitterPose& pose) const;
    MeshPlace PickSurface(MeshRandom& random, const EmitterPose& pose) const;
    MeshPlace PickVolume(MeshRandom& random, const EmitterPose& pose) const;

    TriangleMesh mesh_;
    EmitFrom from_;
    std::vector<Vector3> vertex_normals_;  // vertices: length 1
    std::vector<double> area_sums_;        // surface: running sums of the triangles' doubled areas
    // Volume: a grid over the mesh's box; the cells a surface may pass through and those wholly
    // inside are the candidates.
    std::unique_ptr<TriangleBvh> bvh_;
    Vector3 grid_origin_;
    double cell_ = 0;
    std::uint32_t cells_[3] = {0, 0, 0};
    std::vector<std::uint32_t> candidates_;
    std::vector<bool> surface_cell_;
    Vector3 fallback_;  // a point inside, found while preparing
};

}  // namespace vexo
