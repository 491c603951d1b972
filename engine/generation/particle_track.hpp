// One particle's motion as a point cache plays it: the keys its glTF node would hold, read frame by
// frame from a replay of its slot that runs only as far ahead as the keys around the frame need,
// and interpolated between keys exactly as glTF interpolates them. Owns the keys' conversion to
// glTF's terms and the interpolation; the replay itself is ScheduledPasses'.
#pragma once

#include <array>
#include <cstdint>

#include "engine/generation/scheduled_passes.hpp"

namespace vexo {

// A key as a glTF scene holds it: single precision, glTF's axes (LightWave's z mirrored), the
// rotation as a quaternion.
struct TrackKey {
    std::int32_t frame = 0;
    std::array<float, 3> translation{};
    std::array<float, 4> rotation{};  // x y z w
    std::array<float, 3> scale{};
    bool hidden() const { return scale[0] == 0.0f && scale[1] == 0.0f && scale[2] == 0.0f; }
};

// The key of nine LightWave channel values (x y z, heading pitch bank in degrees, scale x y z) at
// a frame, as the glTF writer makes it. False when a value is not finite or beyond single
// precision (the key is made all the same).
bool MakeTrackKey(const std::array<double, 9>& values, std::int32_t frame, TrackKey& key);

// Where a particle is, how it is turned and how large it is at one frame.
struct Pose {
    std::array<double, 3> translation;
    std::array<double, 4> rotation;  // x y z w, of length 1
    std::array<double, 3> scale;
};

// The pose between keys a and b at frame k (a.frame <= k < b.frame), as glTF's LINEAR
// interpolation gives it: translation and scale straight, the rotation by spherical interpolation
// along the shorter arc. `ra` and `rb` are the two keys' rotations after the hidden-key rule.
Pose Interpolate(const TrackKey& a, const std::array<float, 4>& ra, const TrackKey& b,
                 const std::array<float, 4>& rb, std::int64_t k);
// The pose at frame k from the key at or before it (a), the key after it (b, none after the
// last key: a holds) and the one after b (which b's rotation may depend on): a hidden key just
// before a visible one takes that one's rotation, as the glTF writer stores it.
Pose PoseBetween(const TrackKey& a, const TrackKey* b, const TrackKey* after_b, std::int64_t k);

// What a particle keeps between frames: its record and replay, the last key at or before the
// current frame and the keys the replay has made beyond it (at most five are ever pending).
struct ParticleTrack {
    // What every frame reads first, together.
    std::uint8_t count = 0;         // keys in `ahead`
    bool done = false;              // the replay has run the whole pass
    std::int32_t bad_frame = -1;    // the first key a cache cannot hold, or -1
    TrackKey before;                // the latest key at or before the current frame
    std::array<TrackKey, 5> ahead;  // later keys, rising; the last may still be replaced
    // What only a step of the replay reads.
    SlotReplay replay;
    Particle record;
};

// Reads tracks for one thread at a time.
class TrackReader {
  public:
    explicit TrackReader(const ScheduledPasses& passes, double fps = kDefaultFramesPerSecond);

    // Starts particle p's track from `record` (where the pass before left its slot; in linear
    // path mode, and when the pass starts at frame 0, that place shows in no frame and the
    // default record does) with its key at frame 0.
    void Start(std::uint32_t p, const Particle& record, ParticleTrack& track, PassSamples& samples);
    // Runs the replay until the keys around frame k are known and final; k rises from call to
    // call. False when the pass poll stopped it.
    bool Advance(std::uint32_t p, ParticleTrack& track, std::int64_t k, PassSamples& samples);
    // The pose at frame k, after Advance(k).
    static Pose PoseAt(const ParticleTrack& track, std::int64_t k);

  private:
    class Keys : public KeyStore {
      public:
        void Store(const Particle& record, bool visible, std::uint32_t frame) override;
        ParticleTrack* track = nullptr;
    };

    const ScheduledPasses& passes_;
    Simulation sim_;  // the replay's one record, loaded from and saved to each track
    Keys keys_;
};

}  // namespace vexo
