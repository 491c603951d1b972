#include "engine/create_scene.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "engine/block_pipeline.hpp"
#include "engine/motion.hpp"
#include "engine/particle.hpp"
#include "engine/reference_passes.hpp"
#include "engine/scene_file.hpp"
#include "engine/scene_format.hpp"
#include "engine/scheduled_passes.hpp"

namespace vexo {
namespace {

// Buffered scene text is handed to the file in pieces of about this size.
constexpr std::size_t kFlushSize = 1 << 18;

// Where the writer takes object blocks from, one after the other from 0.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    // Appends block p; false when it could not be made (no memory).
    virtual bool Append(std::uint32_t p, std::string& out) = 0;
    // Leaves the engine state as `passes` complete passes leave it.
    virtual void Finish(std::uint32_t passes) = 0;
};

class ReferenceSource : public BlockSource {
public:
    ReferenceSource(const MotionTable& table, const Settings& settings, EngineState& state, Simulation& sim)
        : passes_(table, settings, state, sim) {}
    bool Append(std::uint32_t p, std::string& out) override {
        passes_.AppendBlock(p, out);
        return true;
    }
    void Finish(std::uint32_t) override {}  // the passes advanced the state as they ran

private:
    ReferencePasses passes_;
};

class ScheduledSource : public BlockSource {
public:
    ScheduledSource(const ScheduledPasses& passes, EngineState& state, std::uint32_t count, unsigned threads)
        : passes_(passes), state_(state) {
        if (threads > 1 && count > 1) {
            pipeline_ = std::make_unique<BlockPipeline>(
                count, threads, [this](std::uint32_t p, std::string& out) { passes_.AppendBlock(p, out); });
        }
    }
    bool Append(std::uint32_t p, std::string& out) override {
        if (pipeline_ == nullptr) {
            passes_.AppendBlock(p, out);
            return true;
        }
        if (!pipeline_->Take(p, block_)) return false;
        out += block_;
        return true;
    }
    void Finish(std::uint32_t passes) override {
        pipeline_.reset();
        passes_.FinishState(passes, state_);
    }

private:
    const ScheduledPasses& passes_;
    EngineState& state_;
    std::unique_ptr<BlockPipeline> pipeline_;
    std::string block_;
};

// Writes the header and then the blocks in order, asking the hook at the start of every block.
void WriteToFile(const Settings& settings, BlockSource& source, PassHook& hook, SceneReport& report) {
    SceneFile file;
    if (!file.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = file.error();
        return;
    }
    std::string out;
    AppendSceneHeader(out, settings);

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
        if (!source.Append(p, out)) {
            no_memory = true;
            break;
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

    if (options.path == GenerationPath::Reference) {
        ReferenceSource source(*table, settings, state, sim);
        WriteToFile(settings, source, hook, report);
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
    ScheduledSource source(*passes, state, report.objects_total, ThreadCount(options));
    WriteToFile(settings, source, hook, report);
    return report;
}

}  // namespace vexo
