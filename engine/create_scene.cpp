#include "engine/create_scene.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "engine/generation/block_pipeline.hpp"
#include "engine/writers/gltf_scene.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/motion/motion.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"
#include "engine/generation/scheduled_passes.hpp"

namespace vexo {
namespace {

// Buffered scene text is handed to the file in pieces of about this size.
constexpr std::size_t kFlushSize = 1 << 18;

// How an object block is recorded for the chosen format: version 1 text straight away, version
// 3 text from the keys, or glTF tracks from the keys. This runs on the workers, so that the
// writer only copies.
class BlockMaker {
public:
    BlockMaker(const Settings& settings, const EngineState& state, SceneFormat format)
        : object_(PathText(settings.particle_object)), channels_(state.no_info_channels), format_(format) {}
    template <class Passes>
    void Make(Passes& passes, std::uint32_t p, Block& block) const {
        BlockBuilder builder(block, format_ == SceneFormat::Lwsc1, object_, channels_);
        passes.RecordBlock(p, builder);
        if (format_ == SceneFormat::Lwsc3) {
            AppendLwsc3Object(block.text, object_, block.keys);
            block.keys.clear();
        } else if (format_ == SceneFormat::Gltf || format_ == SceneFormat::Glb) {
            block.gltf = MakeGltfTracks(block.keys);
            block.keys.clear();
        }
    }

private:
    std::string object_;
    std::uint32_t channels_;
    SceneFormat format_;
};

// Where the writer takes object blocks from, one after the other from 0.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    // Makes block p; false when it could not be made (no memory).
    virtual bool Next(std::uint32_t p, Block& block) = 0;
    // Leaves the engine state as `passes` complete passes leave it.
    virtual void Finish(std::uint32_t passes) = 0;
};

class ReferenceSource : public BlockSource {
public:
    ReferenceSource(const MotionTable& table, const Settings& settings, EngineState& state, Simulation& sim,
                    const BlockMaker& maker)
        : passes_(table, settings, state, sim), maker_(maker) {}
    bool Next(std::uint32_t p, Block& block) override {
        maker_.Make(passes_, p, block);
        return true;
    }
    void Finish(std::uint32_t) override {}  // the passes advanced the state as they ran

private:
    ReferencePasses passes_;
    const BlockMaker& maker_;
};

class ScheduledSource : public BlockSource {
public:
    ScheduledSource(const ScheduledPasses& passes, EngineState& state, std::uint32_t count, unsigned threads,
                    const BlockMaker& maker)
        : passes_(passes), state_(state), maker_(maker) {
        if (threads > 1 && count > 1) {
            pipeline_ = std::make_unique<BlockPipeline>(
                count, threads, [this](std::uint32_t p, Block& block) { maker_.Make(passes_, p, block); });
        }
    }
    bool Next(std::uint32_t p, Block& block) override {
        if (pipeline_ == nullptr) {
            maker_.Make(passes_, p, block);
            return true;
        }
        return pipeline_->Take(p, block);
    }
    void Finish(std::uint32_t passes) override {
        pipeline_.reset();
        passes_.FinishState(passes, state_);
    }

private:
    const ScheduledPasses& passes_;
    EngineState& state_;
    const BlockMaker& maker_;
    std::unique_ptr<BlockPipeline> pipeline_;
};

bool IsGltf(SceneFormat format) { return format == SceneFormat::Gltf || format == SceneFormat::Glb; }

// Where the object blocks go, in order.
class SceneOutput {
public:
    virtual ~SceneOutput() = default;
    // Creates the target; false with error() when it cannot be.
    virtual bool Open(const std::string& target) = 0;
    // False once a write has failed.
    virtual bool Add(const Block& block) = 0;
    // Completes and closes the file; false with error() when a write failed.
    virtual bool Finish() = 0;
    virtual void Remove() = 0;
    virtual std::string error() const = 0;
};

// Version 1 or 3 text: the header, then each block's text, handed to the file in large pieces.
class TextOutput : public SceneOutput {
public:
    TextOutput(const Settings& settings, SceneFormat format) : settings_(settings), format_(format) {}
    bool Open(const std::string& target) override {
        if (!file_.Open(target)) return false;
        if (format_ == SceneFormat::Lwsc1) AppendSceneHeader(out_, settings_);
        if (format_ == SceneFormat::Lwsc3) AppendLwsc3Header(out_, settings_);
        return true;
    }
    bool Add(const Block& block) override {
        out_ += block.text;
        if (out_.size() < kFlushSize) return true;
        const bool ok = file_.Write(out_);
        out_.clear();
        return ok;
    }
    bool Finish() override {
        file_.Write(out_);
        return file_.Close();
    }
    void Remove() override { file_.Remove(); }
    std::string error() const override { return file_.error(); }

private:
    const Settings& settings_;
    SceneFormat format_;
    SceneFile file_;
    std::string out_;
};

// glTF: each block's tracks go to disk as they come; the file is completed at the end.
class GltfOutput : public SceneOutput {
public:
    GltfOutput(Mesh mesh, std::uint32_t objects, SceneFormat format)
        : scene_(std::move(mesh), objects, format == SceneFormat::Glb) {}
    bool Open(const std::string& target) override { return scene_.Open(target); }
    bool Add(const Block& block) override { return scene_.AddObject(block.gltf); }
    bool Finish() override { return scene_.Finish(); }
    void Remove() override { scene_.Remove(); }
    std::string error() const override { return scene_.error(); }

private:
    GltfScene scene_;
};

// Writes the blocks in order, asking the hook at the start of every block. A break completes
// the file with the blocks written so far; an abort, a failed write or want of memory delete it.
void WriteToFile(const Settings& settings, BlockSource& source, PassHook& hook, SceneOutput& output,
                 SceneReport& report) {
    if (!output.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = output.error();
        return;
    }
    Block block;
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    bool aborted = false, no_memory = false;
    report.outcome = WriteOutcome::Complete;
    std::uint32_t p = 0;
    for (; p < passes; ++p) {
        const PassAction action = hook.OnPassStart(p, passes);
        if (action == PassAction::Break) {
            report.outcome = WriteOutcome::Interrupted;
            break;
        }
        if (action == PassAction::Abort) {
            aborted = true;
            break;
        }
        block.text.clear();
        block.keys.clear();
        if (!source.Next(p, block)) {
            no_memory = true;
            break;
        }
        const bool written = output.Add(block);
        report.objects_written = p + 1;
        if (!written) break;
    }
    source.Finish(p);

    if (aborted) {
        output.Remove();
        report.outcome = WriteOutcome::Aborted;
        return;
    }
    if (no_memory) {
        output.Remove();
        report.outcome = WriteOutcome::NotStarted;
        report.result = SceneResult::NoMemory;
        return;
    }
    if (!output.Finish()) {
        output.Remove();
        report.outcome = WriteOutcome::WriteFailed;
        report.error = output.error();
    }
}

unsigned ThreadCount(const GenerateOptions& options) {
    if (options.threads != 0) return options.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

const char* RefuseFrameRange(const Settings& settings) {
    if (settings.frame_step == 0) return scene_text::kZeroFrameStep;
    if (static_cast<std::uint32_t>(settings.last_frame) < static_cast<std::uint32_t>(settings.first_frame)) {
        return scene_text::kLastBeforeFirst;
    }
    return nullptr;
}

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options) {
    SceneReport report;
    report.objects_total = static_cast<std::uint32_t>(settings.num_particles);
    if (const char* refusal = RefuseFrameRange(settings)) {
        sink.Message(refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }

    // Both paths take the particle records first, so that too many particles is the same memory
    // error, before the motion file is read, whichever path runs.
    Simulation sim;
    try {
        // Every slot starts free at the origin with scale 0; delay takes the raw setting.
        Particle initial;
        initial.delay = settings.creation_delay;
        sim.ChildArray.assign(report.objects_total, initial);
    } catch (const std::bad_alloc&) {
        report.result = SceneResult::NoMemory;
        return report;
    } catch (const std::length_error&) {
        report.result = SceneResult::NoMemory;
        return report;
    }

    const std::optional<MotionTable> table = GetMotionFile(settings, sink, state);
    if (!table) {
        report.result = SceneResult::MotionFileError;
        return report;
    }

    std::unique_ptr<SceneOutput> output;
    if (IsGltf(options.format)) {
        std::optional<Mesh> mesh = LoadObjectMesh(PathText(settings.particle_object));
        if (!mesh) {
            sink.Message(scene_text::kUnitCube);
            mesh = UnitCube();
        }
        output = std::make_unique<GltfOutput>(std::move(*mesh), report.objects_total, options.format);
    } else {
        output = std::make_unique<TextOutput>(settings, options.format);
    }
    const BlockMaker maker(settings, state, options.format);

    if (options.path == GenerationPath::Reference) {
        ReferenceSource source(*table, settings, state, sim, maker);
        WriteToFile(settings, source, hook, *output, report);
        return report;
    }
    std::vector<Particle>().swap(sim.ChildArray);  // the scheduled path keeps one record per block
    std::optional<ScheduledPasses> passes;
    try {
        passes.emplace(*table, settings, state);
        passes->BuildSchedule();
    } catch (const std::bad_alloc&) {
        report.result = SceneResult::NoMemory;
        return report;
    }
    ScheduledSource source(*passes, state, report.objects_total, ThreadCount(options), maker);
    WriteToFile(settings, source, hook, *output, report);
    return report;
}

}  // namespace vexo
