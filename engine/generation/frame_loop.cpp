#include "engine/generation/frame_loop.hpp"

#include <algorithm>

namespace vexo {

FrameRange FramesOf(const Settings& settings) {
    FrameRange range;
    range.first = static_cast<std::uint32_t>(settings.first_frame);
    range.step = static_cast<std::uint32_t>(settings.frame_step);
    const auto last = static_cast<std::uint32_t>(settings.last_frame);
    range.count =
        range.step == 0 || last < range.first ? 0 : (std::uint64_t{last} - range.first) / range.step + 1;
    return range;
}

std::size_t ParentEntry(const Settings& settings, std::int32_t last_motion_frame, std::uint32_t f) {
    std::int64_t m =
        static_cast<std::int32_t>(f) <= last_motion_frame ? static_cast<std::int32_t>(f) : last_motion_frame;
    if (m == 0) m = settings.first_frame;
    return static_cast<std::size_t>(std::clamp<std::int64_t>(m - settings.first_frame, 0, last_motion_frame));
}

void SetParent(Particle& parent, const MotionFrame& sample) {
    parent.x = sample.value[0];
    parent.y = sample.value[1];
    parent.z = sample.value[2];
    parent.heading = sample.value[3];
    parent.pitch = sample.value[4];
    parent.bank = sample.value[5];
    parent.scale_x = sample.value[6];
    parent.scale_y = sample.value[7];
    parent.scale_z = sample.value[8];
}

void LinearKeys::Store(const Particle& record, bool visible, std::uint32_t frame) {
    Particle key = record;
    key.frame = static_cast<std::int32_t>(frame);
    if (!visible) key.scale_x = key.scale_y = key.scale_z = 0.0;
    block_.Add(key, key.frame);
}

void LinearBeforeMove(LinearKeyState& state, std::uint32_t f, const Particle& record, KeyStore& store) {
    if (record.state != kStateShown) return;
    state.last_birth = f;
    const std::uint32_t gap = f - state.last_end;
    if (gap >= 2) store.Store(record, false, state.last_end + 1);
    if (gap > 2) store.Store(record, false, f - 1);
    store.Store(record, true, f);
}

void LinearAfterEffect(const Settings& settings, LinearKeyState& state, std::uint32_t f,
                       const Particle& record, KeyStore& store) {
    // Without a limited lifespan max_age is last_frame, which a particle born at frame 0
    // outlives by one; the end key at last_frame is stored whatever the age.
    if (record.state == kStateEnded && (record.age <= record.max_age || !IsOn(settings.limited_lifespan))) {
        if (state.last_birth != f) store.Store(record, true, f);
        state.last_end = f;
    }
    if (settings.end_behavior == static_cast<std::int32_t>(EndBehavior::Destroy) &&
        record.age > static_cast<std::uint32_t>(settings.lifespan) && record.shown == 0 &&
        !state.destroy_key_stored) {
        store.Store(record, false, f);
        state.destroy_key_stored = true;
    }
}

}  // namespace vexo
