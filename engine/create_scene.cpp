#include "engine/create_scene.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "engine/generation/block_pipeline.hpp"
#include "engine/generation/frame_loop.hpp"
#include "engine/generation/pass_poll.hpp"
#include "engine/writers/gltf_scene.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/motion/motion.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"
#include "engine/generation/scheduled_passes.hpp"

namespace vexo {
namespace scene_text {

std::string NotFinite(std::uint32_t object, std::int32_t frame) {
    return "Object " + std::to_string(object + 1) + " has a value at frame " + std::to_string(frame) +
           "\nthat is too large for the scene\n(not a finite number).\n\nNothing was written.";
}
std::string TooManyFrames(std::uint64_t frames) {
    return "Cannot create a scene of " + std::to_string(frames) +
           " frames\nwith a key on every frame: an object\nholds at most 2147483646 frames.";
}
std::string ParticleRecords(std::uint32_t count) { return std::to_string(count) + " particle records"; }
std::string ObjectKeys(std::uint32_t object) { return "the keys of object " + std::to_string(object + 1); }

}  // namespace scene_text

namespace {

// Buffered scene text is handed to the file in pieces of about this size.
constexpr std::size_t kFlushSize = 1 << 18;

// How an object block is recorded for the chosen format: version 1 text straight away, version
// 3 text from the keys, or the keys themselves for glTF.
class BlockMaker {
public:
    BlockMaker(const Settings& settings, const EngineState& state, const GenerateOptions& options)
        : object_(PathText(settings.particle_object)),
          channels_(state.no_info_channels),
          format_(options.format),
          fps_(options.fps) {}
    template <class Passes>
    void Make(Passes& passes, std::uint32_t p, Block& block) const {
        // glTF keeps its keys as single-precision floats.
        const double limit = format_ == SceneFormat::Gltf || format_ == SceneFormat::Glb
                                 ? static_cast<double>(std::numeric_limits<float>::max())
                                 : std::numeric_limits<double>::max();
        BlockBuilder builder(block, format_ == SceneFormat::Lwsc1, object_, channels_, limit);
        passes.RecordBlock(p, builder);
        if (format_ == SceneFormat::Lwsc3) {
            AppendLwsc3Object(block.text, object_, block.keys, fps_);
            block.keys.clear();
        }
    }

private:
    std::string object_;
    std::uint32_t channels_;
    SceneFormat format_;
    double fps_;
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
            try {
                pipeline_ = std::make_unique<BlockPipeline>(
                    count, threads, [this](std::uint32_t p, Block& block) { maker_.Make(passes_, p, block); });
            } catch (const std::system_error&) {
                pipeline_.reset();  // no threads to be had: the blocks are made on this one
            } catch (const std::bad_alloc&) {
                pipeline_.reset();
            }
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
// A glTF scene collects the blocks and is written whole at the end. Whatever stops it early but
// a break (an abort, a value the scene cannot hold, memory running out, a failed write) leaves
// the target as it was.
void WriteToFile(const Settings& settings, BlockSource& source, PassHook& hook, MessageSink& sink,
                 const GenerateOptions& options, GltfScene* gltf, SceneReport& report) {
    const SceneFormat format = options.format;
    SceneFile file;
    if (!file.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = file.error();
        return;
    }
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    std::uint32_t p = 0;
    enum class Stop { None, Aborted, NoMemory, NotFinite } stop = Stop::None;
    std::string out;
    Block block;
    report.outcome = WriteOutcome::Complete;
    // While a pass runs the hook is polled too; Abort or Break then drop the unfinished block.
    PassAction polled = PassAction::Continue;
    const ScopedPassPoll poll([&] {
        polled = hook.OnPassPoll(p, passes);
        return polled != PassAction::Continue;
    });
    try {
        if (format == SceneFormat::Lwsc1) AppendSceneHeader(out, settings, options.fps);
        if (format == SceneFormat::Lwsc3) AppendLwsc3Header(out, settings, options.fps);
        for (; p < passes; ++p) {
            PassAction action = hook.OnPassStart(p, passes);
            bool made = true;
            if (action == PassAction::Continue) {
                block.text.clear();
                block.keys.clear();
                block.bad_frame.reset();
                report.error = scene_text::ObjectKeys(p);
                made = source.Next(p, block);
                action = polled;
            }
            if (action == PassAction::Break) {
                report.outcome = WriteOutcome::Interrupted;
                break;
            }
            if (action == PassAction::Abort) {
                stop = Stop::Aborted;
                break;
            }
            if (!made) {
                stop = Stop::NoMemory;
                break;
            }
            if (block.bad_frame) {
                sink.Message(scene_text::NotFinite(p, *block.bad_frame));
                stop = Stop::NotFinite;
                break;
            }
            if (gltf != nullptr) {
                report.error = scene_text::kGltfScene;
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
        if (stop == Stop::None && gltf != nullptr && !file.failed()) {
            report.error = scene_text::kGltfScene;
            if (!gltf->Serialize(format == SceneFormat::Glb, out)) {
                file.Remove();
                report.outcome = WriteOutcome::WriteFailed;
                report.error = "the glTF scene could not be encoded";
                return;
            }
        }
    } catch (const std::bad_alloc&) {
        source.Finish(p);
        stop = Stop::NoMemory;
    } catch (const std::length_error&) {
        source.Finish(p);
        stop = Stop::NoMemory;
    }
    // A break before the first block has generated nothing: the old target stays as it was.
    if (report.outcome == WriteOutcome::Interrupted && report.objects_written == 0) {
        file.Remove();
        report.error.clear();
        return;
    }
    if (stop != Stop::None) {
        file.Remove();
        if (stop == Stop::Aborted) report.outcome = WriteOutcome::Aborted;
        if (stop == Stop::NotFinite) report.outcome = WriteOutcome::NotFinite;
        if (stop == Stop::NoMemory) {
            report.outcome = WriteOutcome::NotStarted;
            report.result = SceneResult::NoMemory;
        }
        return;
    }
    report.error.clear();
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

const char* RefuseSettings(const Settings& settings) {
    // Such a path would put lines of its own into the scene, or name a file nobody meant.
    if (AnyPathHasControlCharacter(settings)) return scene_text::kControlCharacterInPath;
    if (settings.frame_step == 0) return scene_text::kZeroFrameStep;
    if (static_cast<std::uint32_t>(settings.last_frame) < static_cast<std::uint32_t>(settings.first_frame)) {
        return scene_text::kLastBeforeFirst;
    }
    return nullptr;
}

std::optional<std::string> RefuseSceneSize(const Settings& settings) {
    // A non-linear object has a key for every frame and one more; its key count line is a
    // 32-bit number.
    const FrameRange frames = FramesOf(settings);
    if (!IsOn(settings.linear_path) && settings.num_particles != 0 &&
        frames.count + 1 > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return scene_text::TooManyFrames(frames.count);
    }
    return std::nullopt;
}

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options) {
    SceneReport report;
    report.objects_total = static_cast<std::uint32_t>(settings.num_particles);
    if (const char* refusal = RefuseSettings(settings)) {
        sink.Message(refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }
    if (const auto refusal = RefuseSceneSize(settings)) {
        sink.Message(*refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }
    auto no_memory = [&report](std::string what) {
        report.result = SceneResult::NoMemory;
        report.error = std::move(what);
        return report;
    };

    // Both paths take the particle records first, so that too many particles is the same memory
    // error, before the motion file is read, whichever path runs.
    Simulation sim;
    try {
        // Every slot starts free at the origin with scale 0; delay takes the raw setting.
        Particle initial;
        initial.delay = settings.creation_delay;
        sim.ChildArray.assign(report.objects_total, initial);
        sim.frames_per_second = options.fps;
    } catch (const std::bad_alloc&) {
        return no_memory(scene_text::ParticleRecords(report.objects_total));
    } catch (const std::length_error&) {
        return no_memory(scene_text::ParticleRecords(report.objects_total));
    }

    std::optional<MotionTable> table;
    try {
        table = GetMotionFile(settings, sink, state, options.fps);
    } catch (const std::bad_alloc&) {
        return no_memory(scene_text::kParentMotion);
    }
    if (!table) {
        report.result = SceneResult::MotionFileError;
        return report;
    }

    std::optional<GltfScene> gltf;
    if (IsGltf(options.format)) {
        try {
            std::optional<Mesh> mesh = LoadObjectMesh(PathText(settings.particle_object));
            if (!mesh) {
                sink.Message(scene_text::kUnitCube);
                mesh = UnitCube();
            }
            gltf.emplace(std::move(*mesh), report.objects_total, options.fps);
        } catch (const std::bad_alloc&) {
            return no_memory(scene_text::kParticleMesh);
        }
    }
    GltfScene* gltf_scene = gltf ? &*gltf : nullptr;
    const BlockMaker maker(settings, state, options);

    if (options.path == GenerationPath::Reference) {
        ReferenceSource source(*table, settings, state, sim, maker);
        WriteToFile(settings, source, hook, sink, options, gltf_scene, report);
        return report;
    }
    std::vector<Particle>().swap(sim.ChildArray);  // the scheduled path keeps one record per block
    std::optional<ScheduledPasses> passes;
    try {
        passes.emplace(*table, settings, state, options.fps);
        passes->BuildSchedule();
    } catch (const std::bad_alloc&) {
        return no_memory(scene_text::kSchedule);
    } catch (const std::length_error&) {
        return no_memory(scene_text::kSchedule);
    }
    ScheduledSource source(*passes, state, report.objects_total, ThreadCount(options), maker);
    WriteToFile(settings, source, hook, sink, options, gltf_scene, report);
    return report;
}

}  // namespace vexo
