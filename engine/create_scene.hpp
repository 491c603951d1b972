// The engine's entry: prepares the particle records, reads the parent motion and runs the
// frame loop that writes the scene, one simulation pass per object block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine_state.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/motion/motion_table.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/frame_rate.hpp"
#include "engine/settings/settings.hpp"
#include "engine/simulation/scene_meshes.hpp"
#include "engine/writers/scene_formats.hpp"

namespace vexo {

// CreateScene's result, as the Generate command reads it.
enum class SceneResult : int {
    Done = 1,             // whatever happened while writing; see SceneReport::outcome
    MotionFileError = 2,  // the reader has reported why
    NoMemory = 3,         // the particle records could not be allocated
    MeshFileError = 4,    // the emitter or collision object cannot be used; reported, and
                          // SceneReport::error names which ("emitter object")
};

// What became of the target file.
enum class WriteOutcome {
    Complete,     // every object block written
    Interrupted,  // break: the header and the complete blocks replace the target; with no
                  // complete block, or for a point cache, the target is not touched
    Aborted,      // abort: what was written is dropped; the target is not touched
    Refused,      // settings the loop cannot run; reported, file not touched
    NotStarted,   // the motion could not be read or memory ran out; file not touched
    CannotOpen,   // the target could not be created; nothing written
    WriteFailed,  // a write failed (disk full, ...); the target is not touched
    NotFinite,    // a key value the scene cannot hold; reported, the target is not touched
};

struct SceneReport {
    SceneResult result = SceneResult::Done;
    WriteOutcome outcome = WriteOutcome::NotStarted;
    std::uint32_t objects_written = 0;
    std::uint32_t objects_total = 0;
    // The system's reason for CannotOpen and WriteFailed; for NoMemory, what did not fit
    // ("4294967295 particle records").
    std::string error;
    // For CannotOpen and WriteFailed, the file the error is about when it is not the target: the
    // object written beside a point cache.
    std::string failed_file;
};

// How the object blocks are computed. Both write the same bytes.
enum class GenerationPath {
    Scheduled,  // each block on its own, in time linear in the particle count, on all cores
    Reference,  // the whole simulation once per block, as the program always did
};

struct GenerateOptions {
    GenerationPath path = GenerationPath::Scheduled;
    unsigned threads = 0;  // workers for the scheduled path; 0: one per core
    SceneFormat format = SceneFormat::Lwsc1;
    // The scene's frame rate: the time base of gravity, the sampling of timed motion files, the
    // scene header and the times of version 3 and glTF keys. Not part of the settings record.
    double fps = kDefaultFramesPerSecond;
    // A point cache's two working buffers hold this many bytes each (tests make them small).
    std::size_t cache_buffer = std::size_t{16} << 20;
    // Each spool of an object block (its text, or one of its glTF tracks) holds this many bytes in
    // memory; the rest of a long object waits in unnamed temporary files beside the target.
    std::size_t block_buffer = std::size_t{1} << 20;
};

namespace scene_text {
inline constexpr const char* kZeroFrameStep =
    "Cannot create a scene with\na frame step of 0.\n\nPlease enter 1 or more.";
inline constexpr const char* kLastBeforeFirst =
    "Cannot create a scene whose\nlast frame comes before\nits first frame.";
inline constexpr const char* kControlCharacterInPath =
    "Cannot create a scene:\na path holds a control\ncharacter such as a line break.";
inline constexpr const char* kNoParticleObject =
    "Cannot create a scene\nwithout a particle object.\n\nPlease enter one.";
inline constexpr const char* kUnitCube =
    "Could not read the particle object.\n\nThe glTF scene shows a unit cube\nfor every particle.";
inline constexpr const char* kUnitCubeCache =
    "Could not read the particle object.\n\nThe point cache moves a unit cube\nfor every particle.";
// What did not fit in memory.
inline constexpr const char* kSchedule = "the schedule of the emissions";
inline constexpr const char* kGltfScene = "the glTF scene";
inline constexpr const char* kParticleMesh = "the particle object's mesh";
inline constexpr const char* kParentMotion = "the parent motion";
inline constexpr const char* kPointCache = "the point cache";
std::string ParticleRecords(std::uint32_t count);
std::string ObjectKeys(std::uint32_t object);  // object counts from 0, named from 1
// A key value beyond what the scene can hold: the generation stops and writes nothing.
std::string NotFinite(std::uint32_t object, std::int32_t frame);
// Refuses a frame range whose objects would have more keys than a scene can count.
std::string TooManyFrames(std::uint64_t frames);
// Refuses a shape or force setting a loaded file holds outside its range: "drag holds 2;
// it must be from 0 to 1".
std::string OutOfRange(std::string_view field, std::string_view value, std::string_view range);
}  // namespace scene_text

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options = {});

// Nothing when the frame loop can run these settings, else the text that refuses them: a path
// with a control character, a frame step of 0, a last frame before the first, a shape or force
// outside its range, or emission from a mesh that the settings cannot make (mesh_text).
std::optional<std::string> RefuseSettings(const Settings& settings);
// Nothing when the scene can be made at all, else the text that says what is too large.
std::optional<std::string> RefuseSceneSize(const Settings& settings);

// Receives a generation's keys instead of a file: the keys every object block gets, in object
// order, exactly as a scene of the same settings and engine state would hold them.
class KeyReceiver {
  public:
    virtual ~KeyReceiver() = default;
    // The parent's motion, once, before the first object; `state` holds what the read
    // published (LastMotionFrame).
    virtual void Motion(const MotionTable& table, const EngineState& state) = 0;
    // The keys of object p; the receiver may take them.
    virtual void Object(std::uint32_t p, ObjectKeys& keys) = 0;
    // The emitter and collision meshes the generation uses, once, before Motion.
    virtual void Meshes(const SceneMeshes& /*meshes*/) {}
};

// Runs the generation exactly as CreateScene does, on the same path and with the same hook and
// messages, and hands every object's keys to `receiver`; no file is opened. The outcome is
// Complete, or Aborted/Interrupted when the hook stopped it.
SceneReport CollectSceneKeys(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                             KeyReceiver& receiver, const GenerateOptions& options = {});

}  // namespace vexo
