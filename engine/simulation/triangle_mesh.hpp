// A mesh as the simulation uses it: points in the scene's LightWave axes, each position once,
// and triangles turned so that (b - a) x (c - a) points to the front of the face. Made from what
// the mesh reader hands over (glTF axes, a vertex per face corner in some formats).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/simulation/vector3.hpp"
#include "engine/writers/object_mesh.hpp"

namespace vexo {

struct TriangleMesh {
    std::vector<Vector3> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    Bounds bounds;  // of the points

    Vector3 Corner(std::uint32_t triangle, int corner) const { return points[triangles[triangle][corner]]; }
    // The face's front direction, as long as twice its area.
    Vector3 FaceNormal(std::uint32_t triangle) const {
        const Vector3 a = Corner(triangle, 0);
        return Cross(Corner(triangle, 1) - a, Corner(triangle, 2) - a);
    }
};

enum class MeshProblem {
    None,
    NoFaces,    // no triangle with three different points
    NotFinite,  // a coordinate is an infinity or not a number
};

// Joins vertices at the same position (the file's other vertex data plays no part), mirrors z
// into LightWave's axes, turns each triangle to keep its front, and drops triangles that use one
// point twice.
MeshProblem MakeTriangleMesh(const Mesh& read, TriangleMesh& out);

// The edges that belong to an odd number of triangles: none for a closed mesh, whose every
// point then lies inside or outside without doubt.
std::uint64_t OddEdges(const TriangleMesh& mesh);

}  // namespace vexo
