#include "engine/writers/object_mesh.hpp"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <assimp/Importer.hpp>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "engine/writers/obj_triangles.hpp"

namespace vexo {
namespace {

// Every mesh of the scene's faces into `mesh`: triangles only, or with `polygons` every face of
// three corners or more, its size in `face_sizes`. Points and lines are no surface.
void AppendFaces(const aiScene& scene, Mesh& mesh, bool polygons) {
    std::size_t vertices = 0, faces = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        vertices += scene.mMeshes[m]->mNumVertices;
        faces += scene.mMeshes[m]->mNumFaces;
    }
    mesh.positions.reserve(3 * vertices);
    mesh.indices.reserve(3 * faces);
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh* part = scene.mMeshes[m];
        const auto base = static_cast<std::uint32_t>(mesh.positions.size() / 3);
        const std::size_t at = mesh.positions.size();
        mesh.positions.resize(at + 3 * std::size_t{part->mNumVertices});
        for (unsigned v = 0; v < part->mNumVertices; ++v) {
            mesh.positions[at + 3 * v] = part->mVertices[v].x;
            mesh.positions[at + 3 * v + 1] = part->mVertices[v].y;
            mesh.positions[at + 3 * v + 2] = part->mVertices[v].z;
        }
        for (unsigned f = 0; f < part->mNumFaces; ++f) {
            const aiFace& face = part->mFaces[f];
            if (face.mNumIndices < 3 || (!polygons && face.mNumIndices != 3)) continue;
            for (unsigned i = 0; i < face.mNumIndices; ++i) mesh.indices.push_back(base + face.mIndices[i]);
            if (polygons) mesh.face_sizes.push_back(face.mNumIndices);
        }
    }
}

}  // namespace

MeshFileRead ReadMeshTriangles(const std::string& path, Mesh& mesh, std::string& reason) {
    mesh = Mesh{};
    // The system's reason is clearer than the library's for a file that is not there.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        reason = std::strerror(EISDIR);
        return MeshFileRead::CannotOpen;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        reason = std::strerror(errno != 0 ? errno : ENOENT);
        return MeshFileRead::CannotOpen;
    }
    // The plainest OBJ files are read here, several times faster than by the library.
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".obj") {
        std::string text;
        char buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        if (ReadObjTriangles(text, mesh)) {
            std::fclose(file);
            return MeshFileRead::Read;
        }
        mesh = Mesh{};
    }
    std::fclose(file);
    // Vertices are not joined here: the library's joining costs more than the reading itself on
    // large meshes; the caller joins points by position.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_PreTransformVertices);
    if (scene == nullptr) {
        reason = importer.GetErrorString();
        return MeshFileRead::NotAMesh;
    }
    AppendFaces(*scene, mesh, false);
    return MeshFileRead::Read;
}

std::optional<Mesh> LoadObjectMesh(const std::string& path) {
    if (path.empty()) return std::nullopt;
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                    aiProcess_SortByPType | aiProcess_PreTransformVertices);
    if (scene == nullptr) return std::nullopt;
    Mesh mesh;
    AppendFaces(*scene, mesh, false);
    if (mesh.indices.empty()) return std::nullopt;
    return mesh;
}

std::optional<Mesh> LoadObjectPolygons(const std::string& path) {
    if (path.empty()) return std::nullopt;
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_JoinIdenticalVertices | aiProcess_PreTransformVertices);
    if (scene == nullptr) return std::nullopt;
    Mesh mesh;
    AppendFaces(*scene, mesh, true);
    if (mesh.indices.empty()) return std::nullopt;
    if (std::ranges::any_of(mesh.face_sizes, [](std::uint32_t n) { return n > kMaxPolygonCorners; }))
        return LoadObjectMesh(path);
    return mesh;
}

Mesh WeldedPoints(const Mesh& mesh) {
    Mesh welded;
    std::map<std::array<std::uint32_t, 3>, std::uint32_t> index_of;  // by the positions' bits
    std::vector<std::uint32_t> new_index(mesh.positions.size() / 3);
    for (std::size_t v = 0; v < new_index.size(); ++v) {
        const float* p = &mesh.positions[3 * v];
        const std::array<std::uint32_t, 3> bits{std::bit_cast<std::uint32_t>(p[0] + 0.0f),
                                                std::bit_cast<std::uint32_t>(p[1] + 0.0f),
                                                std::bit_cast<std::uint32_t>(p[2] + 0.0f)};
        const auto [at, fresh] =
            index_of.try_emplace(bits, static_cast<std::uint32_t>(welded.positions.size() / 3));
        if (fresh) welded.positions.insert(welded.positions.end(), p, p + 3);
        new_index[v] = at->second;
    }
    welded.indices.reserve(mesh.indices.size());
    for (const std::uint32_t i : mesh.indices) welded.indices.push_back(new_index[i]);
    welded.face_sizes = mesh.face_sizes;
    return welded;
}

Mesh UnitCube(bool squares) {
    Mesh cube;
    cube.positions = {-0.5f, -0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f, -0.5f, 0.5f, -0.5f,
                      -0.5f, -0.5f, 0.5f,  0.5f, -0.5f, 0.5f,  0.5f, 0.5f, 0.5f,  -0.5f, 0.5f, 0.5f};
    if (squares) {
        cube.indices = {0, 3, 2, 1,  // -z
                        4, 5, 6, 7,  // +z
                        0, 1, 5, 4,  // -y
                        3, 7, 6, 2,  // +y
                        0, 4, 7, 3,  // -x
                        1, 2, 6, 5};  // +x
        cube.face_sizes.assign(6, 4);
        return cube;
    }
    cube.indices = {0, 3, 2, 0, 2, 1,  // -z
                    4, 5, 6, 4, 6, 7,  // +z
                    0, 1, 5, 0, 5, 4,  // -y
                    3, 7, 6, 3, 6, 2,  // +y
                    0, 4, 7, 0, 7, 3,  // -x
                    1, 2, 6, 1, 6, 5};  // +x
    return cube;
}

}  // namespace vexo
