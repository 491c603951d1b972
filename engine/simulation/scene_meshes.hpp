// The emitter and collision meshes a generation uses, read once before the first object and
// shared by every pass and thread, and the texts that refuse a mesh. Also the check the settings
// windows make when a mesh file is chosen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/reporting.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/collision_mesh.hpp"
#include "engine/simulation/mesh_emitter.hpp"
#include "engine/simulation/particle.hpp"

namespace vexo {

namespace mesh_text {
inline constexpr const char* kEmitterObject = "emitter object";
inline constexpr const char* kCollisionObject = "collision object";
inline constexpr const char* kNoFaces = "it holds no faces";
inline constexpr const char* kNotFinite = "it holds a point that is not a finite number";
inline constexpr const char* kNoArea = "its faces have no area";
inline constexpr const char* kNoVolume = "it encloses no volume";
inline constexpr const char* kNoMemory = "there is not enough memory to read it";  // the windows' check
// "Cannot use the emitter object\nrock.obj:\nit holds no faces."
std::string CannotUse(std::string_view role, std::string_view path, std::string_view reason);
// The library's reason, on one line and without control characters.
std::string NotAMesh(std::string_view library_reason);
std::string Open(std::uint64_t odd_edges);
// The refusals of the settings themselves, before any file is read.
std::string NoEmitterObject(EmitFrom from);
std::string AlongNormalNeedsFaces(EmitFrom from);
// What did not fit in memory.
std::string MeshMemory(std::string_view role);
}  // namespace mesh_text

// The name of an EmitFrom as the settings' text form writes it ("surface").
const char* EmitFromName(EmitFrom from);

struct SceneMeshes {
    std::shared_ptr<const MeshEmitter> emitter;      // when particles leave a mesh
    std::shared_ptr<const CollisionMesh> collision;  // when particles bounce off one
    double elasticity = 1.0;                         // of a bounce off the collision mesh
    double friction = 0.0;

    // Lets a simulation use the meshes.
    void Attach(Simulation& sim) const;
};

// The settings' mesh refusals that need no file: emission from a mesh without an emitter object,
// emission along the normal from a point or a volume. Nothing when there is none.
std::optional<std::string> RefuseMeshSettings(const Settings& settings);

enum class MeshLoad {
    Loaded,   // every mesh the settings use is in `meshes` (none when none is used)
    Refused,  // a mesh cannot be used: reported to the sink; `role` names which
};
// Reads the meshes the settings use: the emitter object when emit_from is not point, the
// collision object when it is named. Throws std::bad_alloc when a mesh does not fit in memory
// (`role` then names it).
MeshLoad LoadSceneMeshes(const Settings& settings, SceneMeshes& meshes, MessageSink& sink, std::string& role);

// For the settings windows, as a file is chosen: nothing when `path` can be used as the emitter
// object for `from` (any EmitFrom but point) or as the collision object, else the message that
// refuses it (the same the generation shows). Reads the whole file.
std::optional<std::string> CheckEmitterObject(const std::string& path, EmitFrom from);
std::optional<std::string> CheckCollisionObject(const std::string& path);

}  // namespace vexo
