#include "engine/simulation/scene_meshes.hpp"

#include <new>

#include "engine/writers/object_mesh.hpp"

namespace vexo {
namespace mesh_text {

std::string CannotUse(std::string_view role, std::string_view path, std::string_view reason) {
    return "Cannot use the " + std::string(role) + "\n" + std::string(path) + ":\n" + std::string(reason) +
           ".";
}

std::string NotAMesh(std::string_view library_reason) {
    std::string reason;
    for (char c : library_reason) reason += static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c;
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.')) reason.pop_back();
    if (reason.empty()) reason = "no reason given";
    return "it is not a mesh the Open Asset Import\nLibrary reads (" + reason + ")";
}

std::string Open(std::uint64_t odd_edges) {
    return "it is open: " + std::to_string(odd_edges) + (odd_edges == 1 ? " edge belongs" : " edges belong") +
           " to an odd\nnumber of faces, and volume emission\nneeds a closed mesh";
}

std::string NoEmitterObject(EmitFrom from) {
    return "Cannot create a scene:\nemit_from is " + std::string(EmitFromName(from)) +
           ", but no\nemitter_object is given.";
}

std::string AlongNormalNeedsFaces(EmitFrom from) {
    return "Cannot create a scene:\nemit_along_normal needs emit_from\nvertices or surface, not " +
           std::string(EmitFromName(from)) + ".";
}

std::string MeshMemory(std::string_view role) {
    return "the " + std::string(role) + "'s mesh";
}

}  // namespace mesh_text

namespace {

// The mesh of `path`, or the reason it cannot be used.
std::optional<std::string> ReadSceneMesh(const std::string& path, TriangleMesh& mesh) {
    Mesh read;
    std::string reason;
    switch (ReadMeshTriangles(path, read, reason)) {
        case MeshFileRead::CannotOpen:
            return reason;
        case MeshFileRead::NotAMesh:
            return mesh_text::NotAMesh(reason);
        case MeshFileRead::Read:
            break;
    }
    switch (MakeTriangleMesh(read, mesh)) {
        case MeshProblem::NoFaces:
            return std::string(mesh_text::kNoFaces);
        case MeshProblem::NotFinite:
            return std::string(mesh_text::kNotFinite);
        case MeshProblem::None:
            break;
    }
    return std::nullopt;
}

std::optional<std::string> MakeEmitter(const std::string& path, EmitFrom from,
                                       std::shared_ptr<const MeshEmitter>& emitter) {
    TriangleMesh mesh;
    if (auto reason = ReadSceneMesh(path, mesh)) return reason;
    MeshEmitter::Problem problem;
    std::uint64_t odd_edges = 0;
    std::unique_ptr<MeshEmitter> made = MeshEmitter::Make(std::move(mesh), from, problem, odd_edges);
    switch (problem) {
        case MeshEmitter::Problem::NoArea:
            return std::string(mesh_text::kNoArea);
        case MeshEmitter::Problem::Open:
            return mesh_text::Open(odd_edges);
        case MeshEmitter::Problem::NoVolume:
            return std::string(mesh_text::kNoVolume);
        case MeshEmitter::Problem::None:
            break;
    }
    emitter = std::move(made);
    return std::nullopt;
}

std::optional<std::string> MakeCollision(const std::string& path,
                                         std::shared_ptr<const CollisionMesh>& collision) {
    TriangleMesh mesh;
    if (auto reason = ReadSceneMesh(path, mesh)) return reason;
    // Faces without area cannot be hit: such a mesh would stop nothing.
    bool area = false;
    for (std::uint32_t t = 0; t < mesh.triangles.size() && !area; ++t) area = Length(mesh.FaceNormal(t)) > 0;
    if (!area) return std::string(mesh_text::kNoArea);
    collision = std::make_shared<const CollisionMesh>(std::move(mesh));
    return std::nullopt;
}

}  // namespace

const char* EmitFromName(EmitFrom from) {
    switch (from) {
        case EmitFrom::Point:
            return "point";
        case EmitFrom::Vertices:
            return "vertices";
        case EmitFrom::Surface:
            return "surface";
        case EmitFrom::Volume:
            return "volume";
    }
    return "point";
}

void SceneMeshes::Attach(Simulation& sim) const {
    sim.emitter = emitter.get();
    sim.collision = collision.get();
    sim.collision_elasticity = elasticity;
    sim.collision_friction = friction;
}

std::optional<std::string> RefuseMeshSettings(const Settings& settings) {
    const auto from = static_cast<EmitFrom>(settings.emit_from);
    if (from != EmitFrom::Point && PathText(settings.emitter_object).empty()) {
        return mesh_text::NoEmitterObject(from);
    }
    if (IsOn(settings.emit_along_normal) && from != EmitFrom::Vertices && from != EmitFrom::Surface) {
        return mesh_text::AlongNormalNeedsFaces(from);
    }
    return std::nullopt;
}

MeshLoad LoadSceneMeshes(const Settings& settings, SceneMeshes& meshes, MessageSink& sink,
                         std::string& role) {
    meshes = SceneMeshes{};
    meshes.elasticity = settings.elasticity;
    meshes.friction = settings.friction;
    const auto from = static_cast<EmitFrom>(settings.emit_from);
    if (from != EmitFrom::Point) {
        role = mesh_text::kEmitterObject;
        const std::string path = PathText(settings.emitter_object);
        if (auto reason = MakeEmitter(path, from, meshes.emitter)) {
            sink.Message(mesh_text::CannotUse(role, path, *reason));
            return MeshLoad::Refused;
        }
    }
    const std::string collision = PathText(settings.collision_object);
    if (!collision.empty()) {
        role = mesh_text::kCollisionObject;
        if (auto reason = MakeCollision(collision, meshes.collision)) {
            sink.Message(mesh_text::CannotUse(role, collision, *reason));
            return MeshLoad::Refused;
        }
    }
    role.clear();
    return MeshLoad::Loaded;
}

std::optional<std::string> CheckEmitterObject(const std::string& path, EmitFrom from) {
    if (from == EmitFrom::Point) from = EmitFrom::Vertices;  // any mesh with faces will do
    std::optional<std::string> reason;
    try {
        std::shared_ptr<const MeshEmitter> emitter;
        reason = MakeEmitter(path, from, emitter);
    } catch (const std::bad_alloc&) {
        reason = mesh_text::kNoMemory;
    }
    if (!reason) return std::nullopt;
    return mesh_text::CannotUse(mesh_text::kEmitterObject, path, *reason);
}

std::optional<std::string> CheckCollisionObject(const std::string& path) {
    std::optional<std::string> reason;
    try {
        std::shared_ptr<const CollisionMesh> collision;
        reason = MakeCollision(path, collision);
    } catch (const std::bad_alloc&) {
        reason = mesh_text::kNoMemory;
    }
    if (!reason) return std::nullopt;
    return mesh_text::CannotUse(mesh_text::kCollisionObject, path, *reason);
}

}  // namespace vexo
