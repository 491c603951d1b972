// How large a scene will be, found before it is written: the object count, the key count and the
// bytes of the target (a point cache's two files together). The front ends ask the question of a
// large scene and refuse one the target's file system cannot hold with these numbers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/create_scene.hpp"

namespace vexo {

struct SceneEstimate {
    std::uint32_t objects = 0;
    // Keys of all objects as the format holds them; for a point cache, one position per particle
    // and frame.
    std::uint64_t keys = 0;
    std::uint64_t bytes = 0;
    // True for the LightWave scenes and the point caches, whose size is known to the byte; false
    // for glTF, whose JSON is counted per object from typical lengths (within 3 % and 512 bytes).
    bool exact = true;
    // The LightWave scenes' header, and the file's bytes once objects 0..p are complete, for
    // every object p: what a progress display shows as written. (Empty for glTF and the point
    // caches, which are completed at the end or frame by frame: their share of `bytes` is shown.)
    std::uint64_t header = 0;
    std::vector<std::uint64_t> object_ends;
    // The most the target's file system holds of it at once while it is written, when that is
    // more than `bytes`: a glTF scene larger than a buffer, whose tracks and JSON wait in
    // temporary files beside the target until it is complete, twice its size.
    std::uint64_t while_written = 0;

    // What the file system must have free for it.
    std::uint64_t AtOnce() const { return std::max(bytes, while_written); }
    // The bytes written once `done` objects are complete: the header alone before the first.
    std::uint64_t BytesAfter(std::uint32_t done) const;
};

struct EstimateResult {
    std::optional<SceneEstimate> estimate;  // none when the generation would not run
    SceneReport report;                     // why not, as CreateScene would say
};

// The size of the scene CreateScene would write with these settings, state and options. A point
// cache's size follows from the counts alone (the particle object's points, the particles and the
// frames). A LightWave scene's numbers are written in "%f", whose width depends on the values, so
// its keys are made as CreateScene makes them (on the same path, with `hook` called at the start
// of every object) and measured, not written; glTF's keys are counted that way too. `state` is
// not changed: a copy runs, so the scene written next is the one measured.
EstimateResult EstimateScene(const Settings& settings, const EngineState& state, MessageSink& sink,
                             PassHook& hook, const GenerateOptions& options = {});

// The free bytes of the file system that holds `target` (of its folder when it does not exist
// yet); none when that cannot be found out.
std::optional<std::uint64_t> FreeSpaceFor(const std::string& target);
// Whether free space limits a scene at `target`: a regular file, or nothing yet. A pipe or a
// device takes what comes.
bool TargetTakesSpace(const std::string& target);

// A byte count for people: "1234567 bytes (1.2 MB)"; below 1000 bytes just "999 bytes".
std::string ByteCount(std::uint64_t bytes);
// The short form, for progress: "999 bytes", "1.2 MB".
std::string ShortByteCount(std::uint64_t bytes);

namespace scene_text {
// Refuses a scene larger than the free space of its file system; `while_written`, when above
// `needed`, is what writing it takes at once.
std::string NoRoom(std::uint64_t needed, std::uint64_t free, bool exact, std::uint64_t while_written = 0);
// What is not measured: "measuring objects of 2000000 frames" (after "not enough memory for").
std::string TooLongToMeasure(std::uint64_t frames);
// The desktop program's question before a scene of more than kLargeScene bytes.
std::string LargeSceneQuestion(std::uint64_t needed, std::optional<std::uint64_t> free, bool exact);
}  // namespace scene_text

// An object with a key on more frames than this is not measured: the measuring holds one
// object's keys (80 bytes each) at a time.
inline constexpr std::uint64_t kMeasuredKeys = std::uint64_t{1} << 20;

// Scenes above this many bytes are asked about before they are written (1 GB).
inline constexpr std::uint64_t kLargeScene = 1000000000;

}  // namespace vexo
