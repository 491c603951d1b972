#include "preview/stream.hpp"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/generation/frame_loop.hpp"

namespace vexo::preview {
namespace {

using Values = std::array<double, 9>;

Values Between(const SceneKey& a, const SceneKey& b, double frame) {
    if (frame <= a.frame) return a.value;
    if (frame >= b.frame) return b.value;
    const double t = (frame - a.frame) / (static_cast<double>(b.frame) - a.frame);
    Values v;
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = a.value[i] + (b.value[i] - a.value[i]) * t;
    return v;
}

double SizeOf(const Values& v) {
    return std::max({std::fabs(v[6]), std::fabs(v[7]), std::fabs(v[8])});
}
bool Shown(const Values& v) {
    return v[6] != 0.0 || v[7] != 0.0 || v[8] != 0.0;
}

// RisingKeys in place: of several keys on one frame the later is kept, and a key at an earlier
// frame than one already kept is dropped. The keys are taken over, not copied.
void KeepRising(ObjectKeys& keys) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (kept > 0 && keys[i].frame == keys[kept - 1].frame) {
            keys[kept - 1] = keys[i];
        } else if (kept == 0 || keys[i].frame > keys[kept - 1].frame) {
            keys[kept++] = keys[i];
        }
    }
    keys.resize(kept);
}

class Collector : public KeyReceiver {
public:
    Collector(const Settings& settings, Stream& stream) : settings_(settings), stream_(stream) {}
    void Motion(const MotionTable& table, const EngineState& state) override {
        const std::int64_t frames = std::int64_t{settings_.last_frame} - settings_.first_frame + 1;
        stream_.path_step = (frames + kMaxPathPoints - 1) / kMaxPathPoints;
        MotionCursor cursor(table);
        for (std::int64_t f = settings_.first_frame; f <= settings_.last_frame; f += stream_.path_step) {
            const MotionFrame& m =
                cursor.At(ParentEntry(settings_, state.LastMotionFrame, static_cast<std::uint32_t>(f)));
            stream_.path.push_back({m.value[0], m.value[1], m.value[2]});
            if (stream_.emitter_mesh) {
                const auto& v = m.value;
                stream_.path_pose.push_back({v[3], v[4], v[5], v[6], v[7], v[8]});
            }
        }
    }
    void Meshes(const SceneMeshes& meshes) override {
        // The meshes live as long as the stream holds them, whatever became of the generation.
        if (meshes.emitter) {
            stream_.emitter_mesh = std::make_shared<const MeshOutline>(
                std::shared_ptr<const TriangleMesh>(meshes.emitter, &meshes.emitter->mesh()));
        }
        if (meshes.collision) {
            stream_.collision_mesh = std::make_shared<const MeshOutline>(
                std::shared_ptr<const TriangleMesh>(meshes.collision, &meshes.collision->mesh()));
        }
    }
    void Object(std::uint32_t, ObjectKeys& keys) override {
        stream_.objects.push_back(std::move(keys));
        KeepRising(stream_.objects.back());
    }

private:
    const Settings& settings_;
    Stream& stream_;
};

class MessageList : public MessageSink {
public:
    explicit MessageList(std::vector<std::string>& out) : out_(out) {}
    void Message(std::string_view text) override { out_.emplace_back(text); }
    void DebugLine(std::string_view) override {}  // the motion reader's trace has no place in a picture

private:
    std::vector<std::string>& out_;
};

// Extends the bounds by one object over the frames of the range. Positions between two keys
// lie on the segment between them, so the ends of each visible stretch are enough.
void AddObjectBounds(const ObjectKeys& keys, std::int32_t first, std::int32_t last, Stream& stream) {
    if (keys.empty()) return;
    auto add = [&](const Values& v) {
        if (!Shown(v)) return;
        stream.bounds.Add({v[0], v[1], v[2]});
        stream.largest_size = std::max(stream.largest_size, SizeOf(v));
    };
    // Held before the first key and after the last one.
    if (first < keys.front().frame) add(keys.front().value);
    if (last > keys.back().frame) add(keys.back().value);
    if (keys.size() == 1 && keys.front().frame >= first && keys.front().frame <= last)
        add(keys.front().value);
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const SceneKey& a = keys[i];
        const SceneKey& b = keys[i + 1];
        std::int64_t lo = std::max<std::int64_t>(a.frame, first);
        std::int64_t hi = std::min<std::int64_t>(b.frame, last);
        if (lo > hi) continue;
        // Between a shown and a hidden key only the shown end's side is visible.
        if (!Shown(a.value) && lo == a.frame) ++lo;
        if (!Shown(b.value) && hi == b.frame) --hi;
        if (lo > hi) continue;
        add(Between(a, b, static_cast<double>(lo)));
        add(Between(a, b, static_cast<double>(hi)));
    }
}

}  // namespace

void Box::Add(const Vec3& p) {
    for (std::size_t i = 0; i < 3; ++i) {
        min[i] = empty ? p[i] : std::min(min[i], p[i]);
        max[i] = empty ? p[i] : std::max(max[i], p[i]);
    }
    empty = false;
}

std::array<double, 9> ValuesAt(const ObjectKeys& keys, double frame) {
    if (keys.empty()) return {};
    const auto after = std::lower_bound(keys.begin(), keys.end(), frame,
                                        [](const SceneKey& k, double f) { return k.frame < f; });
    if (after == keys.end()) return keys.back().value;
    if (after == keys.begin() || after->frame == frame) return after->value;
    return Between(*(after - 1), *after, frame);
}

std::vector<ParticleAt> ParticlesAt(const Stream& stream, std::int32_t frame) {
    std::vector<ParticleAt> shown;
    for (std::size_t i = 0; i < stream.objects.size(); ++i) {
        const Values v = ValuesAt(stream.objects[i], frame);
        if (!Shown(v)) continue;
        shown.push_back({static_cast<std::uint32_t>(i), {v[0], v[1], v[2]}, {v[3], v[4], v[5]}, SizeOf(v)});
    }
    return shown;
}

namespace {

std::size_t PathIndex(const Stream& stream, std::int32_t frame) {
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>((std::int64_t{frame} - stream.first_frame) / stream.path_step, 0,
                                 static_cast<std::int64_t>(stream.path.size()) - 1));
}

EmitterPose PoseOf(const Vec3& at, const std::array<double, 6>& pose) {
    return {{at[0], at[1], at[2]}, pose[0], pose[1], pose[2], {pose[3], pose[4], pose[5]}};
}

}  // namespace

Vec3 EmitterAt(const Stream& stream, std::int32_t frame) {
    if (stream.path.empty()) return {0, 0, 0};
    return stream.path[PathIndex(stream, frame)];
}

EmitterPose EmitterPoseAt(const Stream& stream, std::int32_t frame) {
    if (stream.path.empty() || stream.path_pose.size() != stream.path.size()) return {};
    const std::size_t i = PathIndex(stream, frame);
    return PoseOf(stream.path[i], stream.path_pose[i]);
}

void ComputeBounds(Stream& stream) {
    stream.bounds = Box{};
    stream.largest_size = 0;
    for (const ObjectKeys& keys : stream.objects)
        AddObjectBounds(keys, stream.first_frame, stream.last_frame, stream);
    for (const Vec3& p : stream.path) stream.bounds.Add(p);
    auto add = [&stream](const Vector3& p) { stream.bounds.Add({p.x, p.y, p.z}); };
    if (stream.collision_mesh) {
        add(stream.collision_mesh->mesh().bounds.min);
        add(stream.collision_mesh->mesh().bounds.max);
    }
    // The corners of the emitter's box, carried along the path: a box round the mesh at every
    // frame, a little larger than the mesh itself when it turns.
    if (stream.emitter_mesh && stream.path_pose.size() == stream.path.size()) {
        const Bounds& b = stream.emitter_mesh->mesh().bounds;
        for (std::size_t i = 0; i < stream.path.size(); ++i) {
            const EmitterPose pose = PoseOf(stream.path[i], stream.path_pose[i]);
            for (int corner = 0; corner < 8; ++corner) {
                add(pose.Place({(corner & 1) ? b.max.x : b.min.x, (corner & 2) ? b.max.y : b.min.y,
                                (corner & 4) ? b.max.z : b.min.z}));
            }
        }
    }
}

std::int32_t MiddleFrame(const Settings& settings) {
    return static_cast<std::int32_t>((std::int64_t{settings.first_frame} + settings.last_frame) / 2);
}

StreamResult ComputeStream(const Settings& settings, EngineState& state, PassHook& hook, Stream& stream,
                           unsigned threads) {
    stream = Stream{};
    stream.first_frame = settings.first_frame;
    stream.last_frame = settings.last_frame;
    StreamResult result;
    MessageList sink(result.messages);
    Collector collector(settings, stream);
    GenerateOptions options;
    options.threads = threads;
    try {
        result.report = CollectSceneKeys(settings, state, sink, hook, collector, options);
    } catch (const std::bad_alloc&) {
        // The keys of the whole scene did not fit in memory; the workers have been stopped.
        stream.objects = {};
        stream.path = {};
        result.report.result = SceneResult::NoMemory;
        result.report.outcome = WriteOutcome::NotStarted;
        return result;
    }
    ComputeBounds(stream);
    return result;
}

}  // namespace vexo::preview
