#include "engine/generation/particle_track.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/generation/pass_poll.hpp"
#include "engine/writers/gltf_tracks.hpp"

namespace vexo {
namespace {

std::array<double, 4> Normalized(std::array<double, 4> q) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q) c /= length;
    return q;
}

std::array<double, 4> Widened(const std::array<float, 4>& q) {
    return {q[0], q[1], q[2], q[3]};
}

// glTF's spherical interpolation: along the shorter arc, straight (then normalised) where the two
// rotations are so close that the arc's sine loses its precision.
std::array<double, 4> Slerp(const std::array<float, 4>& a, const std::array<float, 4>& b, double u) {
    std::array<double, 4> qa = Widened(a), qb = Widened(b);
    if (a == b) return Normalized(qa);
    double d = qa[0] * qb[0] + qa[1] * qb[1] + qa[2] * qb[2] + qa[3] * qb[3];
    if (d < 0.0) {
        for (double& c : qb) c = -c;
        d = -d;
    }
    double wa = 1.0 - u, wb = u;
    if (d < 0.9995) {
        const double theta = std::acos(d), sine = std::sin(theta);
        wa = std::sin((1.0 - u) * theta) / sine;
        wb = std::sin(u * theta) / sine;
    }
    std::array<double, 4> q{};
    for (std::size_t c = 0; c < 4; ++c) q[c] = wa * qa[c] + wb * qb[c];
    return Normalized(q);
}

}  // namespace

bool MakeTrackKey(const std::array<double, 9>& values, std::int32_t frame, TrackKey& key) {
    key.frame = frame;
    key.translation = {static_cast<float>(values[0]), static_cast<float>(values[1]),
                       static_cast<float>(-values[2])};
    const auto q = GltfRotation(values[3], values[4], values[5]);
    key.rotation = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                    static_cast<float>(q[3])};
    key.scale = {static_cast<float>(values[6]), static_cast<float>(values[7]), static_cast<float>(values[8])};
    constexpr double kLimit = std::numeric_limits<float>::max();
    return std::all_of(values.begin(), values.end(), [](double v) { return std::fabs(v) <= kLimit; });
}

Pose Interpolate(const TrackKey& a, const std::array<float, 4>& ra, const TrackKey& b,
                 const std::array<float, 4>& rb, std::int64_t k) {
    const double u = static_cast<double>(k - a.frame) / static_cast<double>(b.frame - a.frame);
    Pose pose{};
    for (std::size_t c = 0; c < 3; ++c) {
        pose.translation[c] =
            a.translation[c] + (static_cast<double>(b.translation[c]) - a.translation[c]) * u;
        pose.scale[c] = a.scale[c] + (static_cast<double>(b.scale[c]) - a.scale[c]) * u;
    }
    pose.rotation = Slerp(ra, rb, u);
    return pose;
}

TrackReader::TrackReader(const ScheduledPasses& passes, double fps) : passes_(passes) {
    sim_.ChildArray.assign(1, Particle{});
    sim_.frames_per_second = fps;
    passes.AttachMeshes(sim_);
}

void TrackReader::Keys::Store(const Particle& record, bool visible, std::uint32_t frame) {
    ParticleTrack& t = *track;
    const double s = visible ? 1.0 : 0.0;  // as the scene stores a hidden key: scale 0
    const std::array<double, 9> values{record.x,           record.y,           record.z,
                                       record.heading,     record.pitch,       record.bank,
                                       s * record.scale_x, s * record.scale_y, s * record.scale_z};
    TrackKey key;
    if (!MakeTrackKey(values, static_cast<std::int32_t>(frame), key) && t.bad_frame < 0) {
        t.bad_frame = static_cast<std::int32_t>(frame);
    }
    // As the scene writers read keys: of several on one frame the later counts, and one earlier
    // than a key already kept is dropped.
    if (t.count > 0) {
        TrackKey& last = t.ahead[t.count - 1];
        if (key.frame == last.frame) {
            last = key;
            return;
        }
        if (key.frame < last.frame) return;
    }
    // Advance runs a frame only while at most two keys are pending, and a frame makes at most
    // three keys at new frames.
    if (t.count == t.ahead.size()) throw std::logic_error("more keys pending than a track holds");
    t.ahead[t.count++] = key;
}

void TrackReader::Start(std::uint32_t p, const Particle& record, ParticleTrack& track, PassSamples& samples) {
    track = ParticleTrack{};
    sim_.ChildArray[0] = record;
    keys_.track = &track;
    track.replay = passes_.StartReplay(p, sim_, samples, keys_);
    track.record = sim_.ChildArray[0];
    track.done = passes_.frames().count == 0;
}

bool TrackReader::Advance(std::uint32_t p, ParticleTrack& t, std::int64_t k, PassSamples& samples) {
    bool loaded = false, stopped = false;
    for (std::uint32_t steps = 1;; ++steps) {
        // A key is final once a later one follows it (only the last can still be replaced).
        while (t.count > 0 && (t.count >= 2 || t.done) && t.ahead[0].frame <= k) {
            t.before = t.ahead[0];
            std::copy(t.ahead.begin() + 1, t.ahead.begin() + t.count, t.ahead.begin());
            --t.count;
        }
        if (t.done) break;
        // The next key must be final, and so must the one after it when the next is hidden: a
        // hidden key before a visible one takes that one's rotation.
        if (t.count >= 2 && t.ahead[0].frame > k && (!t.ahead[0].hidden() || t.count >= 3)) break;
        if (steps % 64 == 0 && PassInterrupted(64)) {
            stopped = true;
            break;
        }
        if (!loaded) {
            sim_.ChildArray[0] = t.record;
            keys_.track = &t;
            loaded = true;
        }
        if (!passes_.SkipIdleFrames(p, t.replay, sim_.ChildArray[0])) {
            passes_.RunFrame(p, t.replay, sim_, samples, &keys_);
        }
        if (t.replay.frame_index >= passes_.frames().count) t.done = true;
    }
    if (loaded) t.record = sim_.ChildArray[0];
    return !stopped;
}

Pose PoseBetween(const TrackKey& a, const TrackKey* b, const TrackKey* after_b, std::int64_t k) {
    if (b == nullptr) {  // after the last key: held
        return Pose{{a.translation[0], a.translation[1], a.translation[2]},
                    Normalized(Widened(a.rotation)),
                    {a.scale[0], a.scale[1], a.scale[2]}};
    }
    const std::array<float, 4>& ra = a.hidden() && !b->hidden() ? b->rotation : a.rotation;
    const std::array<float, 4>& rb =
        b->hidden() && after_b != nullptr && !after_b->hidden() ? after_b->rotation : b->rotation;
    return Interpolate(a, ra, *b, rb, k);
}

Pose TrackReader::PoseAt(const ParticleTrack& t, std::int64_t k) {
    return PoseBetween(t.before, t.count > 0 ? &t.ahead[0] : nullptr, t.count > 1 ? &t.ahead[1] : nullptr, k);
}

}  // namespace vexo
