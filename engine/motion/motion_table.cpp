#include "engine/motion/motion_table.hpp"

#include <numbers>

namespace vexo {

std::array<double, kMotionChannels> SegmentStep(const std::vector<MotionKey>& keys, std::size_t i) {
    const double d = static_cast<double>(static_cast<std::int32_t>(keys[i + 1].frame - keys[i].frame));
    std::array<double, kMotionChannels> step;
    for (int c = 0; c < kMotionChannels; ++c) step[c] = (keys[i + 1].value[c] - keys[i].value[c]) / d;
    return step;
}

MotionTable MotionTable::FromKeys(std::vector<MotionKey> keys) {
    MotionTable table;
    table.keys_ = std::move(keys);
    table.last_frame_ = static_cast<std::int32_t>(table.keys_.back().frame);
    table.first_ = MotionFrame{table.keys_.front().value};
    return table;
}

MotionTable MotionTable::FromEnvelopes(std::vector<std::optional<Envelope>> channels, std::int32_t last_frame,
                                       double fps) {
    MotionTable table;
    table.fps_ = fps;
    channels.resize(kMotionChannels);
    table.channels_ = std::move(channels);
    table.envelopes_ = true;
    table.last_frame_ = last_frame;
    table.first_ = table.Sampled(0);
    return table;
}

MotionTable MotionTable::FromFrames(std::vector<MotionFrame> frames) {
    MotionTable table;
    table.frames_ = std::move(frames);
    table.envelopes_ = true;
    table.last_frame_ = static_cast<std::int32_t>(table.frames_.size() - 1);
    table.first_ = table.frames_.front();
    return table;
}

MotionFrame MotionTable::Sampled(std::size_t j) const {
    if (!frames_.empty()) return frames_[j];
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    MotionFrame frame;
    for (int c = 0; c < kMotionChannels; ++c) {
        const std::optional<Envelope>& envelope = channels_[static_cast<std::size_t>(c)];
        double value = c >= 6 ? 1.0 : 0.0;  // a missing channel: no offset, no rotation, scale 1
        if (envelope) {
            value = Evaluate(*envelope, FrameTime(static_cast<double>(j), fps_));
            if (c >= 3 && c <= 5) value *= kDegrees;
        }
        frame.value[static_cast<std::size_t>(c)] = value;
    }
    return frame;
}

MotionFrame MotionTable::operator[](std::size_t j) const {
    MotionCursor cursor(*this);
    return cursor.At(j);
}

MotionCursor::MotionCursor(const MotionTable& table) : table_(table) {
    Restart();
}

void MotionCursor::Restart() {
    entry_ = 0;
    key_ = 0;
    value_ = table_.first_;
    if (!table_.envelopes_ && table_.keys_.size() > 1) step_ = SegmentStep(table_.keys_, 0);
}

const MotionFrame& MotionCursor::At(std::size_t j) {
    if (table_.envelopes_) {
        if (j != entry_) {
            value_ = table_.Sampled(j);
            entry_ = j;
        }
        return value_;
    }
    // Linear interpolation by accumulation: each entry is the one before it plus the segment's
    // step, which comes from the two keys' own values.
    if (j < entry_) Restart();
    const std::vector<MotionKey>& keys = table_.keys_;
    while (entry_ < j) {
        if (entry_ == keys[key_ + 1].frame) {
            ++key_;
            step_ = SegmentStep(keys, key_);
        }
        for (int c = 0; c < kMotionChannels; ++c) value_.value[c] += step_[c];
        ++entry_;
    }
    return value_;
}

}  // namespace vexo
