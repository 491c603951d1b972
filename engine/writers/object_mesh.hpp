// Meshes read with the Open Asset Import Library: the particle object's geometry for glTF scenes
// and point caches (or a unit cube when it cannot be read), and the triangles of the emitter and
// collision objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexo {

struct Mesh {
    std::vector<float> positions;        // x y z per vertex, glTF axes (z mirrored from LightWave's)
    std::vector<std::uint32_t> indices;  // each face's corners in turn, counter-clockwise seen from outside
    // The number of corners of each face; empty when every face is a triangle, as in every mesh
    // but the polygons LoadObjectPolygons reads.
    std::vector<std::uint32_t> face_sizes;

    std::size_t face_count() const { return face_sizes.empty() ? indices.size() / 3 : face_sizes.size(); }
    std::uint32_t face_size(std::size_t face) const { return face_sizes.empty() ? 3 : face_sizes[face]; }
};

// The object's triangles, all meshes of the file merged, or nothing when it cannot be read or
// holds no triangles. The importer hands LightWave objects over with z mirrored and the
// polygons reversed, which is the conversion the keys get too.
std::optional<Mesh> LoadObjectMesh(const std::string& path);

// The object's own polygons (a quad stays one face), with `face_sizes` set; as LoadObjectMesh
// otherwise. A point cache's object keeps the particle object's faces: Blender evaluates a
// deformed mesh faster with fewer of them, and reads fewer of them faster. A face of more than
// kMaxPolygonCorners corners, which a LightWave object cannot hold, has the whole mesh read as
// triangles.
std::optional<Mesh> LoadObjectPolygons(const std::string& path);
inline constexpr std::uint32_t kMaxPolygonCorners = 1023;

enum class MeshFileRead {
    Read,        // `mesh` holds the file's triangles (possibly none)
    CannotOpen,  // the file cannot be opened; `reason` is the system's
    NotAMesh,    // the library cannot read it; `reason` is the library's
};
// Every triangle of the file as LoadObjectMesh reads it, without joining vertices: a vertex
// appears once per face that uses it in some formats (OBJ). Points and lines are left out.
MeshFileRead ReadMeshTriangles(const std::string& path, Mesh& mesh, std::string& reason);

// A cube of edge 1 centred on the origin, as 12 triangles, or as 6 squares when `squares`.
Mesh UnitCube(bool squares = false);

// The mesh with every set of vertices at one position made one vertex, numbered in the order of
// their first appearance (the reader splits a cube's 8 points into 24 face corners for their
// normals; a point cache moves points, and costs what their number costs). The faces stay.
Mesh WeldedPoints(const Mesh& mesh);

}  // namespace vexo
