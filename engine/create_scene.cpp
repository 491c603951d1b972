#include "engine/create_scene.hpp"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/dynamics.hpp"
#include "engine/emission.hpp"
#include "engine/motion.hpp"
#include "engine/particle.hpp"
#include "engine/scene_file.hpp"
#include "engine/scene_format.hpp"

namespace vexo {
namespace {

// Buffered scene text is handed to the file in pieces of about this size.
constexpr std::size_t kFlushSize = 1 << 18;

// Copies the record into a key and stamps the frame; an invisible key has scale 0.
void CreateKeyframe(std::vector<Particle>& buffer, const Particle& record, bool keepSize, std::uint32_t frame) {
    Particle key = record;
    key.frame = static_cast<std::int32_t>(frame);
    if (!keepSize) key.scale_x = key.scale_y = key.scale_z = 0.0;
    buffer.push_back(key);
}

void WriteKeyframe(std::string& out, const Particle& key) { AppendKeyLine(out, key, key.frame); }

class FrameLoop {
public:
    FrameLoop(const MotionTable& table, const Settings& settings, EngineState& state, Simulation& sim)
        : table_(table), settings_(settings), state_(state), sim_(sim) {
        first_ = static_cast<std::uint32_t>(settings.first_frame);
        step_ = static_cast<std::uint32_t>(settings.frame_step);
        frames_ = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(settings.last_frame)) - first_) / step_ + 1;
        object_ = PathText(settings.particle_object);
    }

    void RecordPass(std::uint32_t p, std::string& out) {
        const MotionFrame& start = table_.front();
        for (Particle* parent : {&sim_.lastframe, &sim_.Parent}) {
            parent->x = start.value[0];
            parent->y = start.value[1];
            parent->z = start.value[2];
        }
        if (IsOn(settings_.linear_path)) {
            RecordLinear(p, out);
        } else {
            RecordNonLinear(p, out);
        }
        for (Particle& record : sim_.ChildArray) {
            record.alive = 0;
            record.shown = 0;
            record.scale_x = record.scale_y = record.scale_z = 0.0;
            record.state = kStateWaiting;
            record.age = 0;
        }
        sim_.NumChilds = 0;
        AppendObjectEnd(out);
    }

private:
    // Scene frame f shows motion entry f - first_frame, held at the last key after the motion
    // ends. The entry is clamped to the table, so motion that ends before first_frame holds
    // its first sample.
    void MoveMainObject(std::uint32_t f) {
        const std::int32_t last = state_.LastMotionFrame;
        std::int64_t m = static_cast<std::int32_t>(f) <= last ? static_cast<std::int32_t>(f) : last;
        if (m == 0) m = settings_.first_frame;
        const std::int64_t entry = std::clamp<std::int64_t>(m - settings_.first_frame, 0, last);
        sim_.lastframe.x = sim_.Parent.x;
        sim_.lastframe.y = sim_.Parent.y;
        sim_.lastframe.z = sim_.Parent.z;
        const MotionFrame& sample = table_[static_cast<std::size_t>(entry)];
        sim_.Parent.x = sample.value[0];
        sim_.Parent.y = sample.value[1];
        sim_.Parent.z = sample.value[2];
        sim_.Parent.heading = sample.value[3];
        sim_.Parent.pitch = sample.value[4];
        sim_.Parent.bank = sample.value[5];
    }

    void Emit(std::uint32_t f) {
        for (std::int32_t i = 0; i < settings_.particles_per_frame; ++i) {
            CreateChildObject(sim_, state_, f, settings_, table_.front().value.data());
        }
    }

    void MoveAll() {
        for (std::uint32_t i = 0; i < sim_.ChildArray.size(); ++i) MoveChildObject(sim_, i);
    }
    void EffectAll() {
        for (std::uint32_t i = 0; i < sim_.ChildArray.size(); ++i) EffectChildObject(sim_, i, settings_);
    }

    void RecordNonLinear(std::uint32_t p, std::string& out) {
        AppendObjectStart(out, object_, state_.no_info_channels, static_cast<std::uint32_t>(frames_ + 1));
        MoveMainObject(first_);
        AppendKeyLine(out, sim_.ChildArray[p], 0);
        std::uint32_t f = first_;
        for (std::uint64_t n = 0; n < frames_; ++n, f += step_) {
            Emit(f);
            MoveMainObject(f);
            MoveAll();
            AppendKeyLine(out, sim_.ChildArray[p], static_cast<std::int32_t>(f));
            EffectAll();
        }
    }

    void RecordLinear(std::uint32_t p, std::string& out) {
        keys_.clear();
        std::uint32_t last_birth = 0;
        std::uint32_t last_end = 0;
        bool destroy_key_stored = false;
        Particle& record = sim_.ChildArray[p];

        record.frame = 0;
        MoveMainObject(first_);
        MoveChildObject(sim_, p);
        CreateKeyframe(keys_, record, false, 0);

        std::uint32_t f = first_;
        for (std::uint64_t n = 0; n < frames_; ++n, f += step_) {
            state_.angle = 0.0f;
            record.frame = static_cast<std::int32_t>(f);
            Emit(f);
            MoveMainObject(f);

            if (record.state == kStateShown) {
                last_birth = f;
                const std::uint32_t gap = f - last_end;
                if (gap >= 2) CreateKeyframe(keys_, record, false, last_end + 1);
                if (gap > 2) CreateKeyframe(keys_, record, false, f - 1);
                CreateKeyframe(keys_, record, true, f);
            }

            MoveAll();
            EffectAll();

            // Without a limited lifespan max_age is last_frame, which a particle born at frame 0
            // outlives by one; the end key at last_frame is stored whatever the age.
            if (record.state == kStateEnded &&
                (record.age <= record.max_age || !IsOn(settings_.limited_lifespan))) {
                if (last_birth != f) CreateKeyframe(keys_, record, true, f);
                last_end = f;
            }
            if (settings_.end_behavior == static_cast<std::int32_t>(EndBehavior::Destroy) &&
                record.age > static_cast<std::uint32_t>(settings_.lifespan) && record.shown == 0 &&
                !destroy_key_stored) {
                CreateKeyframe(keys_, record, false, f);
                destroy_key_stored = true;
            }
        }

        AppendObjectStart(out, object_, state_.no_info_channels, static_cast<std::uint32_t>(keys_.size()));
        for (const Particle& key : keys_) WriteKeyframe(out, key);
    }

    const MotionTable& table_;
    const Settings& settings_;
    EngineState& state_;
    Simulation& sim_;
    std::uint32_t first_ = 0;
    std::uint32_t step_ = 1;
    std::uint64_t frames_ = 0;
    std::string object_;
    std::vector<Particle> keys_;  // the keyframe buffer of linear mode; grows as needed
};

void WriteToFile(const MotionTable& table, const Settings& settings, EngineState& state, Simulation& sim,
                 PassHook& hook, SceneReport& report) {
    SceneFile file;
    if (!file.Open(PathText(settings.target_scene))) {
        report.outcome = WriteOutcome::CannotOpen;
        report.error = file.error();
        return;
    }
    std::string out;
    AppendSceneHeader(out, settings);

    FrameLoop loop(table, settings, state, sim);
    const auto passes = static_cast<std::uint32_t>(settings.num_particles);
    bool aborted = false;
    report.outcome = WriteOutcome::Complete;
    for (std::uint32_t p = 0; p < passes; ++p) {
        const PassAction action = hook.OnPassStart(p, passes);
        if (action == PassAction::Break) {
            report.outcome = WriteOutcome::Interrupted;
            break;
        }
        if (action == PassAction::Abort) {
            aborted = true;
            break;
        }
        loop.RecordPass(p, out);
        report.objects_written = p + 1;
        if (out.size() >= kFlushSize) {
            if (!file.Write(out)) break;
            out.clear();
        }
    }

    if (aborted) {
        file.Remove();
        report.outcome = WriteOutcome::Aborted;
        return;
    }
    file.Write(out);
    if (!file.Close()) {
        file.Remove();
        report.outcome = WriteOutcome::WriteFailed;
        report.error = file.error();
    }
}

}  // namespace

const char* RefuseFrameRange(const Settings& settings) {
    if (settings.frame_step == 0) return scene_text::kZeroFrameStep;
    if (static_cast<std::uint32_t>(settings.last_frame) < static_cast<std::uint32_t>(settings.first_frame)) {
        return scene_text::kLastBeforeFirst;
    }
    return nullptr;
}

SceneReport CreateScene(const Settings& settings, EngineState& state, MessageSink& sink, PassHook& hook) {
    SceneReport report;
    report.objects_total = static_cast<std::uint32_t>(settings.num_particles);
    if (const char* refusal = RefuseFrameRange(settings)) {
        sink.Message(refusal);
        report.outcome = WriteOutcome::Refused;
        return report;
    }

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
    WriteToFile(*table, settings, state, sim, hook, report);
    return report;
}

}  // namespace vexo
