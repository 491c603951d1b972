// The engine's entry: prepares the particle records, reads the parent motion and runs the
// frame loop that writes the scene, one simulation pass per object block.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine_state.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/motion/motion.hpp"
#include "engine/reporting.hpp"
#include "engine/writers/scene_formats.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

// CreateScene's result, as the Generate command reads it.
enum class SceneResult : int {
    Done = 1,             // whatever happened while writing; see SceneReport::outcome
    MotionFileError = 2,  // the reader has reported why
    NoMemory = 3,         // the particle records could not be allocated
};

// What became of the target file.
enum class WriteOutcome {
    Complete,     // every object block written
    Interrupted,  // break: the header and the complete blocks are kept
    Aborted,      // abort: the file was deleted
    Refused,      // settings the loop cannot run; reported, file not touched
    NotStarted,   // the motion could not be read or memory ran out; file not touched
    CannotOpen,   // the target could not be created; nothing written
    WriteFailed,  // a write failed (disk full, ...); the partial file was deleted
};

struct SceneReport {
    SceneResult result = SceneResult::Done;
    WriteOutcome outcome = WriteOutcome::NotStarted;
    std::uint32_t objects_written = 0;
    std::uint32_t objects_total = 0;
    std::string error;  // the system's reason for CannotOpen and WriteFailed
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
};

namespace scene_text {
inline constexpr const char* kZeroFrameStep =
    "Cannot create a scene with\na frame step of 0.\n\nPlease enter 1 or more.";
inline constexpr const char* kLastBeforeFirst =
    "Cannot create a scene whose\nlast frame comes before\nits first frame.";
inline constexpr const char* kUnitCube =
    "Could not read the particle object.\n\nThe glTF scene shows a unit cube\nfor every particle.";
}  // namespace scene_text

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options = {});

// Receives a generation's keys instead of a file: the keys every object block gets, in object
// order, exactly as a scene of the same settings and engine state would hold them.
class KeyReceiver {
public:
    virtual ~KeyReceiver() = default;
    // The parent's motion table, once, before the first object; `state` holds what the read
    // published (LastMotionFrame).
    virtual void Motion(const MotionTable& table, const EngineState& state) = 0;
    // The keys of object p; the receiver may take them.
    virtual void Object(std::uint32_t p, ObjectKeys& keys) = 0;
};

// Runs the generation exactly as CreateScene does, on the same path and with the same hook and
// messages, and hands every object's keys to `receiver`; no file is opened. The outcome is
// Complete, or Aborted/Interrupted when the hook stopped it.
SceneReport CollectSceneKeys(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                             KeyReceiver& receiver, const GenerateOptions& options = {});

// Null when the frame loop can run these settings, else the text that refuses them.
const char* RefuseFrameRange(const Settings& settings);

}  // namespace vexo
