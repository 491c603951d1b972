#include "engine/create_scene.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "engine/generation/block_pipeline.hpp"
#include "engine/generation/cache_passes.hpp"
#include "engine/generation/frame_loop.hpp"
#include "engine/generation/pass_poll.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/generation/scheduled_passes.hpp"
#include "engine/motion/motion_file.hpp"
#include "engine/settings/settings_fields.hpp"
#include "engine/simulation/particle.hpp"
#include "engine/writers/cache_files.hpp"
#include "engine/writers/gltf_scene.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/writers/point_cache.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"

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
std::string OutOfRange(std::string_view field, std::string_view value, std::string_view range) {
    return "Cannot create a scene:\n" + std::string(field) + " holds " + std::string(value) +
           ";\nit must be " + std::string(range) + ".";
}
std::string ParticleRecords(std::uint32_t count) {
    return std::to_string(count) + " particle records";
}
std::string ObjectKeys(std::uint32_t object) {
    return "the keys of object " + std::to_string(object + 1);
}

}  // namespace scene_text

namespace {

// Buffered scene text is handed to the file in pieces of about this size.
constexpr std::size_t kFlushSize = 1 << 18;

// How an object block is recorded for the chosen format: version 1 text straight away, version
// 3 text from the keys, or glTF tracks from the keys. This runs on the workers, so that the
// writer only copies.
class BlockMaker {
  public:
    // With `keys_only` a block holds its keys and nothing else (for the preview).
    BlockMaker(const Settings& settings, const EngineState& state, const GenerateOptions& options,
               bool keys_only = false)
        : object_(PathText(settings.particle_object)) {
        const SceneFormat format = options.format;
        style_.form = keys_only                      ? BlockForm::Keys
                      : IsPointCache(format)         ? BlockForm::RisingKeys
                      : format == SceneFormat::Lwsc1 ? BlockForm::Lwsc1
                      : format == SceneFormat::Lwsc3 ? BlockForm::Lwsc3
                                                     : BlockForm::Gltf;
        style_.object = object_;
        style_.channels = state.no_info_channels;
        // glTF and the point caches keep their numbers as single-precision floats.
        style_.limit = format == SceneFormat::Gltf || format == SceneFormat::Glb || IsPointCache(format)
                           ? static_cast<double>(std::numeric_limits<float>::max())
                           : std::numeric_limits<double>::max();
        style_.fps = options.fps;
        style_.spool = SpoolPlace{PathText(settings.target_scene), options.block_buffer};
    }
    template <class Passes>
    void Make(Passes& passes, std::uint32_t p, Block& block) const {
        BlockBuilder builder(block, style_);
        passes.RecordBlock(p, builder);
    }

  private:
    std::string object_;
    BlockStyle style_;
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
                    count, threads,
                    [this](std::uint32_t p, Block& block) { maker_.Make(passes_, p, block); });
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

bool IsGltf(SceneFormat format) {
    return format == SceneFormat::Gltf || format == SceneFormat::Glb;
}

// Where the object blocks go, in order. Each output writes beside the target and puts its file
// in the target's place only when kept, so a run that stops early leaves the target as it was.
class SceneOutput {
  public:
    virtual ~SceneOutput() = default;
    // Prepares the target; false with error() when it cannot be.
    virtual bool Open(const std::string& target) = 0;
    // False once a write has failed. Reads the block's spools back.
    virtual bool Add(Block& block) = 0;
    // Completes the file and puts it in the target's place; false with error() when a write failed.
    virtual bool Finish() = 0;
    // Drops what was written; the target stays as it was.
    virtual void Remove() = 0;
    virtual std::string error() const = 0;
    // The file error() is about when it is not the target.
    virtual std::string failed_file() const { return {}; }
    // After a failed Add: the frame of a value the format cannot hold, if that was the failure.
    virtual std::optional<std::int32_t> bad_frame() const { return std::nullopt; }
    // A break keeps the complete blocks (scenes), or drops everything (point caches).
    virtual bool KeepsCompleteBlocks() const { return true; }
};

// Version 1 or 3 text: the header, then each block's text, handed to the file in large pieces.
class TextOutput : public SceneOutput {
  public:
    TextOutput(const Settings& settings, const GenerateOptions& options)
        : settings_(settings), options_(options) {}
    bool Open(const std::string& target) override {
        if (!file_.Open(target)) return false;
        if (options_.format == SceneFormat::Lwsc1) AppendSceneHeader(out_, settings_, options_.fps);
        if (options_.format == SceneFormat::Lwsc3) AppendLwsc3Header(out_, settings_, options_.fps);
        return true;
    }
    bool Add(Block& block) override {
        out_ += block.head;
        for (std::uint64_t at = 0; at < block.body.size();) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(block.body.size() - at, kFlushSize));
            const std::size_t end = out_.size();
            out_.resize(end + n);
            if (!block.body.ReadAt(at, out_.data() + end, n)) {
                error_ = block.body.error();
                return false;
            }
            at += n;
            if (out_.size() >= kFlushSize && !Flush()) return false;
        }
        out_ += block.tail;
        return out_.size() < kFlushSize || Flush();
    }
    bool Finish() override {
        file_.Write(out_);
        return file_.Close();
    }
    void Remove() override { file_.Remove(); }
    std::string error() const override { return error_.empty() ? file_.error() : error_; }

  private:
    bool Flush() {
        const bool ok = file_.Write(out_);
        out_.clear();
        return ok;
    }

    const Settings& settings_;
    const GenerateOptions& options_;
    SceneFile file_;
    std::string out_;
    std::string error_;  // a block's spool that could not be read back
};

// glTF: each block's tracks go to disk as they come; the file is completed at the end.
class GltfOutput : public SceneOutput {
  public:
    GltfOutput(Mesh mesh, std::uint32_t objects, const GenerateOptions& options)
        : scene_(std::move(mesh), objects, options.format == SceneFormat::Glb, options.fps) {}
    bool Open(const std::string& target) override { return scene_.Open(target); }
    bool Add(Block& block) override { return scene_.AddObject(block.gltf); }
    bool Finish() override { return scene_.Finish(); }
    void Remove() override { scene_.Remove(); }
    std::string error() const override { return scene_.error(); }

  private:
    GltfScene scene_;
};

// Writes the blocks in order, asking the hook at the start of every block and polling it while
// a block is made. A break keeps the blocks written so far (and, before the first, the target as
// it was); an abort, a value the scene cannot hold, want of memory or a failed write leave the
// target as it was.
void WriteToFile(const Settings& settings, BlockSource& source, PassHook& hook, MessageSink& sink,
                 SceneOutput& output, SceneReport& report) {
    if (!output.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = output.error();
        report.failed_file = output.failed_file();
        return;
    }
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    std::uint32_t p = 0;
    enum class Stop { None, Aborted, NoMemory, NotFinite, WriteFailed } stop = Stop::None;
    std::string spool_error;  // why a block's temporary file could not hold it
    Block block;
    report.outcome = WriteOutcome::Complete;
    // While a pass runs the hook is polled too; Abort or Break then drop the unfinished block.
    PassAction polled = PassAction::Continue;
    const ScopedPassPoll poll([&] {
        polled = hook.OnPassPoll(p, passes);
        return polled != PassAction::Continue;
    });
    try {
        for (; p < passes; ++p) {
            PassAction action = hook.OnPassStart(p, passes);
            bool made = true;
            if (action == PassAction::Continue) {
                block.keys.clear();
                block.bad_frame.reset();
                block.spool_error.clear();
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
            if (!block.spool_error.empty()) {  // the block could not be held: nothing more is written
                spool_error = block.spool_error;
                stop = Stop::WriteFailed;
                break;
            }
            if (block.bad_frame) {
                sink.Message(scene_text::NotFinite(p, *block.bad_frame));
                stop = Stop::NotFinite;
                break;
            }
            if (!output.Add(block)) {
                stop = output.bad_frame() ? Stop::NotFinite : Stop::WriteFailed;
                if (output.bad_frame()) sink.Message(scene_text::NotFinite(p, *output.bad_frame()));
                break;
            }
            report.objects_written = p + 1;
        }
        source.Finish(p);
    } catch (const std::bad_alloc&) {
        source.Finish(p);
        stop = Stop::NoMemory;
    } catch (const std::length_error&) {
        source.Finish(p);
        stop = Stop::NoMemory;
    }
    // A break before the first block has generated nothing: the old target stays as it was.
    if (report.outcome == WriteOutcome::Interrupted &&
        (report.objects_written == 0 || !output.KeepsCompleteBlocks())) {
        output.Remove();
        report.error.clear();
        report.objects_written = 0;
        return;
    }
    if (stop == Stop::None || stop == Stop::WriteFailed) {
        report.error.clear();
        if (stop == Stop::None && output.Finish()) return;
        output.Remove();
        report.outcome = WriteOutcome::WriteFailed;
        report.error = spool_error.empty() ? output.error() : spool_error;
        report.failed_file = output.failed_file();
        return;
    }
    output.Remove();
    if (stop == Stop::Aborted) report.outcome = WriteOutcome::Aborted;
    if (stop == Stop::NotFinite) report.outcome = WriteOutcome::NotFinite;
    if (stop == Stop::NoMemory) {
        report.outcome = WriteOutcome::NotStarted;
        report.result = SceneResult::NoMemory;
    }
}

// What a generation hands its writer: the parent's motion, and the object blocks of the chosen
// path, or (for a scheduled point cache, which replays the slots itself) the scheduled passes.
struct Generated {
    const MotionTable& table;
    BlockSource* blocks;            // null for a scheduled point cache
    const ScheduledPasses* passes;  // the scheduled path's, else null
    const Mesh* mesh;               // a point cache's particle object, its points welded
    const SceneMeshes& meshes;      // the emitter and collision meshes
};

unsigned ThreadCount(const GenerateOptions& options) {
    if (options.threads != 0) return options.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

// The reference path's point cache: each block's keys put in place at every frame.
class CacheColumnsOutput : public SceneOutput {
  public:
    CacheColumnsOutput(const Mesh& mesh, const CacheLayout& layout, std::uint32_t particles, double fps)
        : mesh_(mesh), layout_(layout), particles_(particles), fps_(fps), columns_(mesh, layout, particles) {}
    bool Open(const std::string& target) override {
        if (!files_.Open(target, layout_.format)) return false;
        if (files_.in_order()) {  // a pipe or device takes no columns
            files_.Discard();
            error_ = scene_text::kNotSeekable;
            return false;
        }
        if (!files_.WriteHeader(layout_, fps_) || !files_.WriteObject(mesh_, particles_)) {
            files_.Discard();
            return false;
        }
        return true;
    }
    bool Add(Block& block) override {
        std::int32_t bad = -1;
        bool unread = false;
        const bool written = columns_.Write(
            next_++, block.scratch, block.rising_keys,
            [this](std::uint64_t at, std::string_view bytes) { return files_.WriteAt(at, bytes); }, bad,
            unread);
        if (unread) error_ = block.scratch.error();
        if (bad >= 0) bad_frame_ = bad;
        return written && bad < 0;
    }
    bool Finish() override { return files_.Commit(); }
    void Remove() override { files_.Discard(); }
    std::string error() const override { return error_.empty() ? files_.error() : error_; }
    std::string failed_file() const override {
        return files_.failed_file() == files_.object_path() ? files_.failed_file() : std::string();
    }
    std::optional<std::int32_t> bad_frame() const override { return bad_frame_; }
    bool KeepsCompleteBlocks() const override { return false; }

  private:
    const Mesh& mesh_;
    CacheLayout layout_;
    std::uint32_t particles_;
    double fps_;
    CacheColumns columns_;
    CacheFiles files_;
    std::uint32_t next_ = 0;
    std::optional<std::int32_t> bad_frame_;
    std::string error_;
};

// The scheduled path's point cache: every particle's track read a chunk of frames at a time.
void WriteCacheRows(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                    const GenerateOptions& options, const ScheduledPasses& passes, const MotionTable& table,
                    const Mesh& mesh, const CacheLayout& layout, SceneReport& report) {
    CacheFiles files;
    const auto failed = [&](WriteOutcome outcome) {
        files.Discard();
        report.outcome = outcome;
        report.error = files.error();
        if (files.failed_file() == files.object_path()) report.failed_file = files.failed_file();
    };
    if (!files.Open(PathText(settings.target_scene), options.format)) return failed(WriteOutcome::CannotOpen);
    const bool in_order = files.in_order();
    std::optional<CacheRows> rows;
    try {
        rows.emplace(passes, table, settings, state.LastMotionFrame, options.fps, mesh, options.format,
                     ThreadCount(options), options.cache_buffer, in_order);
    } catch (const std::bad_alloc&) {
        files.Discard();
        report.result = SceneResult::NoMemory;
        report.error = scene_text::ParticleRecords(report.objects_total);
        return;
    } catch (const std::length_error&) {
        files.Discard();
        report.result = SceneResult::NoMemory;
        report.error = scene_text::ParticleRecords(report.objects_total);
        return;
    }
    if (!files.WriteHeader(layout, options.fps) || !files.WriteObject(mesh, report.objects_total)) {
        return failed(WriteOutcome::WriteFailed);
    }
    CacheRun run;
    try {
        run = rows->Write(hook,
                          [&](std::uint64_t at, std::string_view bytes) { return files.WriteAt(at, bytes); });
    } catch (const std::bad_alloc&) {
        run.end = CacheRun::End::Failed;  // the chunk's motion samples
    }
    switch (run.end) {
        case CacheRun::End::Complete:
            if (!files.Commit()) return failed(WriteOutcome::WriteFailed);
            report.outcome = WriteOutcome::Complete;
            report.objects_written = report.objects_total;
            passes.FinishState(report.objects_total, state);
            return;
        case CacheRun::End::Stopped:
            files.Discard();
            report.outcome =
                run.action == PassAction::Abort ? WriteOutcome::Aborted : WriteOutcome::Interrupted;
            return;
        case CacheRun::End::NotFinite:
            files.Discard();
            sink.Message(scene_text::NotFinite(run.object, run.frame));
            report.outcome = WriteOutcome::NotFinite;
            return;
        case CacheRun::End::WriteFailed:
            return failed(WriteOutcome::WriteFailed);
        case CacheRun::End::Failed:
            files.Discard();
            report.result = SceneResult::NoMemory;
            report.error = scene_text::kPointCache;
            return;
    }
}

// A point cache and its object, on either path. A stopped or failed cache writes nothing and
// leaves the engine state as it was.
void WriteCache(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                const GenerateOptions& options, const Generated& g, SceneReport& report) {
    const Mesh& mesh = *g.mesh;
    const std::uint64_t vertices = mesh.positions.size() / 3;
    const CacheLayout layout{options.format, report.objects_total * vertices,
                             static_cast<std::uint64_t>(settings.last_frame) + 1};
    const EngineState before = state;
    if (g.blocks == nullptr) {
        WriteCacheRows(settings, state, sink, hook, options, *g.passes, g.table, mesh, layout, report);
    } else {
        CacheColumnsOutput output(mesh, layout, report.objects_total, options.fps);
        WriteToFile(settings, *g.blocks, hook, sink, output, report);
    }
    if (report.outcome != WriteOutcome::Complete || report.result != SceneResult::Done) state = before;
}

}  // namespace

std::optional<std::string> RefuseSettings(const Settings& settings) {
    // Such a path would put lines of its own into the scene, or name a file nobody meant.
    if (AnyPathHasControlCharacter(settings)) return scene_text::kControlCharacterInPath;
    if (settings.frame_step == 0) return scene_text::kZeroFrameStep;
    if (static_cast<std::uint32_t>(settings.last_frame) < static_cast<std::uint32_t>(settings.first_frame)) {
        return scene_text::kLastBeforeFirst;
    }
    // A preferences file is loaded without range checks; typed values never get this far.
    if (settings.emit_from < 0 || settings.emit_from > static_cast<std::int32_t>(EmitFrom::Volume)) {
        return scene_text::OutOfRange("emit_from", std::to_string(settings.emit_from),
                                      "point, vertices, surface or volume");
    }
    if (const auto refusal = RefuseMeshSettings(settings)) return refusal;
    for (const FieldInfo& field : SettingsFields()) {
        if (field.kind != FieldKind::Real) continue;
        const double value = settings.*std::get<double Settings::*>(field.member);
        if (field.range.Holds(value)) continue;
        char number[32];
        const auto end = std::to_chars(number, number + sizeof number, value).ptr;
        return scene_text::OutOfRange(field.name,
                                      std::string_view(number, static_cast<std::size_t>(end - number)),
                                      field.range.Words());
    }
    return std::nullopt;
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

namespace {

// What CreateScene and CollectSceneKeys share: the refusals, the records, the motion read, the
// meshes and the block source of the chosen path. `deliver(generated, report)` consumes the blocks.
template <class Deliver>
SceneReport RunGeneration(const Settings& settings, EngineState& state, MessageSink& sink,
                          const GenerateOptions& options, bool keys_only, Deliver deliver) {
    SceneReport report;
    report.objects_total = static_cast<std::uint32_t>(settings.num_particles);
    if (const auto refusal = RefuseSettings(settings)) {
        sink.Message(*refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }
    const bool cache = IsPointCache(options.format) && !keys_only;
    if (const auto refusal = cache ? std::nullopt : RefuseSceneSize(settings)) {
        sink.Message(*refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }
    auto no_memory = [&report](std::string what) {
        report.result = SceneResult::NoMemory;
        report.error = std::move(what);
        return report;
    };
    // A point cache's sizes depend on the particle object: they are refused before anything else.
    std::optional<Mesh> mesh;
    if (cache) {
        try {
            mesh = LoadObjectPolygons(PathText(settings.particle_object));
            if (!mesh) {
                sink.Message(scene_text::kUnitCubeCache);
                mesh = UnitCube(true);
            }
            mesh = WeldedPoints(*mesh);
        } catch (const std::bad_alloc&) {
            return no_memory(scene_text::kParticleMesh);
        }
        if (const auto refusal =
                RefuseCache(options.format, report.objects_total,
                            {mesh->positions.size() / 3, mesh->face_count()}, settings.last_frame)) {
            sink.Message(*refusal);
            report.outcome = WriteOutcome::Refused;
            return report;
        }
    }
    const Mesh* cache_mesh = mesh ? &*mesh : nullptr;

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
    SceneMeshes meshes;
    std::string role;
    try {
        if (LoadSceneMeshes(settings, meshes, sink, role) == MeshLoad::Refused) {
            report.result = SceneResult::MeshFileError;
            report.error = role;
            return report;
        }
    } catch (const std::bad_alloc&) {
        return no_memory(mesh_text::MeshMemory(role));
    } catch (const std::length_error&) {
        return no_memory(mesh_text::MeshMemory(role));
    }
    const BlockMaker maker(settings, state, options, keys_only);

    if (options.path == GenerationPath::Reference) {
        meshes.Attach(sim);
        ReferenceSource source(*table, settings, state, sim, maker);
        deliver(Generated{*table, &source, nullptr, cache_mesh, meshes}, report);
        return report;
    }
    std::vector<Particle>().swap(sim.ChildArray);  // the scheduled path keeps one record per block
    std::optional<ScheduledPasses> passes;
    try {
        passes.emplace(*table, settings, state, options.fps, &meshes);
        passes->BuildSchedule();
    } catch (const std::bad_alloc&) {
        return no_memory(scene_text::kSchedule);
    } catch (const std::length_error&) {
        return no_memory(scene_text::kSchedule);
    }
    if (IsPointCache(options.format) && !keys_only) {
        deliver(Generated{*table, nullptr, &*passes, cache_mesh, meshes}, report);
        return report;
    }
    ScheduledSource source(*passes, state, report.objects_total, ThreadCount(options), maker);
    deliver(Generated{*table, &source, &*passes, cache_mesh, meshes}, report);
    return report;
}

// The pass loop of WriteToFile with the receiver in place of the file.
void CollectBlocks(const Settings& settings, BlockSource& source, PassHook& hook, MessageSink& sink,
                   KeyReceiver& receiver, SceneReport& report) {
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    report.outcome = WriteOutcome::Complete;
    Block block;
    std::uint32_t p = 0;
    try {
        for (; p < passes; ++p) {
            const PassAction action = hook.OnPassStart(p, passes);
            if (action != PassAction::Continue) {
                report.outcome =
                    action == PassAction::Break ? WriteOutcome::Interrupted : WriteOutcome::Aborted;
                break;
            }
            block.keys.clear();
            block.bad_frame.reset();
            if (!source.Next(p, block)) {
                report.outcome = WriteOutcome::NotStarted;
                report.result = SceneResult::NoMemory;
                report.error = scene_text::ObjectKeys(p);
                break;
            }
            if (block.bad_frame) {
                sink.Message(scene_text::NotFinite(p, *block.bad_frame));
                report.outcome = WriteOutcome::NotFinite;
                break;
            }
            receiver.Object(p, block.keys);
            report.objects_written = p + 1;
        }
        source.Finish(p);
    } catch (const std::bad_alloc&) {
        source.Finish(p);
        report.outcome = WriteOutcome::NotStarted;
        report.result = SceneResult::NoMemory;
        report.error = scene_text::ObjectKeys(p);
    }
}

}  // namespace

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                        const GenerateOptions& options) {
    return RunGeneration(settings, state, sink, options, false, [&](const Generated& g, SceneReport& report) {
        if (IsPointCache(options.format)) {
            WriteCache(settings, state, sink, hook, options, g, report);
            return;
        }
        std::unique_ptr<SceneOutput> output;
        if (IsGltf(options.format)) {
            try {
                std::optional<Mesh> mesh = LoadObjectMesh(PathText(settings.particle_object));
                if (!mesh) {
                    sink.Message(scene_text::kUnitCube);
                    mesh = UnitCube();
                }
                output = std::make_unique<GltfOutput>(std::move(*mesh), report.objects_total, options);
            } catch (const std::bad_alloc&) {
                report.result = SceneResult::NoMemory;
                report.error = scene_text::kParticleMesh;
                return;
            }
        } else {
            output = std::make_unique<TextOutput>(settings, options);
        }
        WriteToFile(settings, *g.blocks, hook, sink, *output, report);
    });
}

SceneReport CollectSceneKeys(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook,
                             KeyReceiver& receiver, const GenerateOptions& options) {
    return RunGeneration(settings, state, sink, options, true, [&](const Generated& g, SceneReport& report) {
        receiver.Meshes(g.meshes);
        receiver.Motion(g.table, state);
        CollectBlocks(settings, *g.blocks, hook, sink, receiver, report);
    });
}

}  // namespace vexo
