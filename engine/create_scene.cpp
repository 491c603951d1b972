#include "engine/create_scene.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "engine/generation/block_pipeline.hpp"
#include "engine/writers/gltf_scene.hpp"
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
// 3 text from the keys, or the keys themselves for glTF.
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

// Writes the header and then the blocks in order, asking the hook at the start of every block.
// A glTF scene collects the blocks and is written whole at the end.
void WriteToFile(const Settings& settings, BlockSource& source, PassHook& hook, SceneFormat format,
                 GltfScene* gltf, SceneReport& report) {
    SceneFile file;
    if (!file.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = file.error();
        return;
    }
    std::string out;
    if (format == SceneFormat::Lwsc1) AppendSceneHeader(out, settings);
    if (format == SceneFormat::Lwsc3) AppendLwsc3Header(out, settings);
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
        if (gltf != nullptr) {
            gltf->AddObject(block.keys);
        } else {
            out += block.text;
        }
        report.objects_written = p + 1;
        if (out.size() >= kFlushSize) {
            if (!file.Write(out)) break;
            out.clear();
        }
    }
    source.Finish(p);

    if (aborted) {
        file.Remove();
        report.outcome = WriteOutcome::Aborted;
        return;
    }
    if (no_memory) {
        file.Remove();
        report.outcome = WriteOutcome::NotStarted;
        report.result = SceneResult::NoMemory;
        return;
    }
    if (gltf != nullptr && !file.failed() && !gltf->Serialize(format == SceneFormat::Glb, out)) {
        file.Remove();
        report.outcome = WriteOutcome::WriteFailed;
        report.error = "the glTF scene could not be encoded";
        return;
    }
    file.Write(out);
    if (!file.Close()) {
        file.Remove();
        report.outcome = WriteOutcome::WriteFailed;
        report.error = file.error();
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

namespace {

// What CreateScene and CollectSceneKeys share: the refusals, the records, the motion read and the
// block source of the chosen path. `deliver(source, table, report)` consumes the blocks.
template <class Deliver>
SceneReport RunGeneration(const Settings& settings, EngineState& state, MessageSink& sink,
                          const GenerateOptions& options, SceneFormat block_format, Deliver deliver) {
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
    const BlockMaker maker(settings, state, block_format);

    if (options.path == GenerationPath::Reference) {
        ReferenceSource source(*table, settings, state, sim, maker);
        deliver(source, *table, report);
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
    deliver(source, *table, report);
    return report;
}

// The pass loop of WriteToFile with the receiver in place of the file.
void CollectBlocks(const Settings& settings, BlockSource& source, PassHook& hook, KeyReceiver& receiver,
                   SceneReport& report) {
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    report.outcome = WriteOutcome::Complete;
    Block block;
    std::uint32_t p = 0;
    for (; p < passes; ++p) {
        const PassAction action = hook.OnPassStart(p, passes);
        if (action != PassAction::Continue) {
            report.outcome = action == PassAction::Break ? WriteOutcome::Interrupted : WriteOutcome::Aborted;
            break;
        }
        block.keys.clear();
        if (!source.Next(p, block)) {
            report.outcome = WriteOutcome::NotStarted;
            report.result = SceneResult::NoMemory;
            break;
        }
        receiver.Object(p, block.keys);
        report.objects_written = p + 1;
    }
    source.Finish(p);
}

}  // namespace

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options) {
    return RunGeneration(settings, state, sink, options, options.format,
                         [&](BlockSource& source, const MotionTable&, SceneReport& report) {
                             std::optional<GltfScene> gltf;
                             if (IsGltf(options.format)) {
                                 std::optional<Mesh> mesh = LoadObjectMesh(PathText(settings.particle_object));
                                 if (!mesh) {
                                     sink.Message(scene_text::kUnitCube);
                                     mesh = UnitCube();
                                 }
                                 gltf.emplace(std::move(*mesh), report.objects_total);
                             }
                             WriteToFile(settings, source, hook, options.format, gltf ? &*gltf : nullptr, report);
                         });
}

SceneReport CollectSceneKeys(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                             KeyReceiver& receiver, const GenerateOptions& options) {
    // Any format other than version 1 text records its blocks as keys.
    return RunGeneration(settings, state, sink, options, SceneFormat::Glb,
                         [&](BlockSource& source, const MotionTable& table, SceneReport& report) {
                             receiver.Motion(table, state);
                             CollectBlocks(settings, source, hook, receiver, report);
                         });
}

}  // namespace vexo
