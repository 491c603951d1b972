// The picture's data: every object's keys from a real generation, the parent's path from the
// motion table, and what they give at a frame. Standard C++ only; the drawing is elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/create_scene.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/emitter_pose.hpp"
#include "preview/mesh_outline.hpp"

namespace vexo::preview {

using Vec3 = std::array<double, 3>;

struct Box {
    Vec3 min{0, 0, 0};
    Vec3 max{0, 0, 0};
    bool empty = true;
    void Add(const Vec3& p);
};

// One particle at a frame, as the scene shows it.
struct ParticleAt {
    std::uint32_t object;  // index of its object in the scene
    Vec3 position;         // scene units
    Vec3 rotation;         // heading, pitch, bank in degrees
    double size;           // the largest of the three scale factors' magnitudes
};

inline constexpr std::int64_t kMaxPathPoints = 1 << 20;

struct Stream {
    std::int32_t first_frame = 0;
    std::int32_t last_frame = 0;
    std::vector<ObjectKeys> objects;  // keys at strictly rising frames, as the scene reader takes them
    std::vector<Vec3> path;      // the parent's position at first_frame, + path_step, ... up to last_frame
    std::int64_t path_step = 1;  // 1 unless the range is longer than kMaxPathPoints frames
    // The meshes the generation used: the emitter rides on the parent (its rotation and size at
    // each point of the path are in path_pose), the collision mesh stands still.
    std::shared_ptr<const MeshOutline> emitter_mesh, collision_mesh;
    std::vector<std::array<double, 6>> path_pose;  // heading, pitch, bank, sizes; with an emitter mesh
    Box bounds;                  // every visible particle at every frame, the path and the meshes
    double largest_size = 0;     // of any visible particle at any frame
};

// The nine values of an object at a frame: its keys interpolated linearly in frame, the first
// key before it and the last key after it (a scene reader with linear keys does the same).
std::array<double, 9> ValuesAt(const ObjectKeys& keys, double frame);

// The visible particles (any scale not 0) at a frame, in object order.
std::vector<ParticleAt> ParticlesAt(const Stream& stream, std::int32_t frame);

// The parent's position at a frame of the scene (clamped to the range).
Vec3 EmitterAt(const Stream& stream, std::int32_t frame);
// The emitter mesh's pose at a frame of the scene (clamped to the range).
EmitterPose EmitterPoseAt(const Stream& stream, std::int32_t frame);

// Sets `bounds` and `largest_size` from the objects and the path.
void ComputeBounds(Stream& stream);

// The frame a picture shows by default: the middle of the range.
std::int32_t MiddleFrame(const Settings& settings);

struct StreamResult {
    SceneReport report;
    std::vector<std::string> messages;  // what the engine said, word for word
};

// Runs the generation of `settings` from `state` (which it advances as a generation does) and
// keeps its keys. `hook` may stop it early; the stream is then incomplete.
StreamResult ComputeStream(const Settings& settings, EngineState& state, PassHook& hook, Stream& stream,
                           unsigned threads = 0);

}  // namespace vexo::preview
