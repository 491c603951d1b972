// Meshes read with the Open Asset Import Library: the particle object's geometry for glTF scenes
// (or a unit cube when it cannot be read), and the triangles of the emitter and collision objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexo {

struct Mesh {
    std::vector<float> positions;        // x y z per vertex, glTF axes (z mirrored from LightWave's)
    std::vector<std::uint32_t> indices;  // triangles, counter-clockwise seen from outside
};

// The object's triangles, all meshes of the file merged, or nothing when it cannot be read or
// holds no triangles. The importer hands LightWave objects over with z mirrored and the
// polygons reversed, which is the conversion the keys get too.
std::optional<Mesh> LoadObjectMesh(const std::string& path);

enum class MeshFileRead {
    Read,        // `mesh` holds the file's triangles (possibly none)
    CannotOpen,  // the file cannot be opened; `reason` is the system's
    NotAMesh,    // the library cannot read it; `reason` is the library's
};
// Every triangle of the file as LoadObjectMesh reads it, without joining vertices: a vertex
// appears once per face that uses it in some formats (OBJ). Points and lines are left out.
MeshFileRead ReadMeshTriangles(const std::string& path, Mesh& mesh, std::string& reason);

// A cube of edge 1 centred on the origin.
Mesh UnitCube();

// The mesh with every set of vertices at one position made one vertex, numbered in the order of
// their first appearance (the reader splits a cube's 8 points into 24 face corners for their
// normals; a point cache moves points, and costs what their number costs).
Mesh WeldedPoints(const Mesh& mesh);

}  // namespace vexo
