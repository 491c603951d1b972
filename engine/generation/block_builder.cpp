// Records one object block key by key, in the form its format writes it. Nothing here grows with
// the object's length but the spools, which leave memory past their buffer.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/generation/scene_key.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/scene_format.hpp"
#include "engine/writers/scene_formats.hpp"

namespace vexo {
namespace {

constexpr std::size_t kKeyBytes = 9 * sizeof(double) + sizeof(std::int32_t);  // a version 3 key spooled
constexpr std::size_t kPieceSize = 1 << 16;  // text handed to a spool in pieces of about this size

constexpr std::uint64_t kHashStart = 0xcbf29ce484222325u;
constexpr std::uint64_t kHashPrime = 0x100000001b3u;

void PutKey(const SceneKey& key, char* out) {
    std::memcpy(out, key.value.data(), 9 * sizeof(double));
    std::memcpy(out + 9 * sizeof(double), &key.frame, sizeof key.frame);
}

SceneKey GetKey(const char* in) {
    SceneKey key{};
    std::memcpy(key.value.data(), in, 9 * sizeof(double));
    std::memcpy(&key.frame, in + 9 * sizeof(double), sizeof key.frame);
    return key;
}

bool Hidden(const float* scale) {
    return scale[0] == 0.0f && scale[1] == 0.0f && scale[2] == 0.0f;
}

}  // namespace

bool SpooledKeyReader::Next(SceneKey& key) {
    if (failed_) return false;
    if (at_ >= piece_.size()) {
        if (read_ >= count_) return false;
        const std::uint64_t n = std::min<std::uint64_t>(count_ - read_, kPieceSize / kKeyBytes);
        piece_.resize(static_cast<std::size_t>(n) * kKeyBytes);
        if (!spool_.ReadAt(read_ * kKeyBytes, piece_.data(), piece_.size())) {
            failed_ = true;
            return false;
        }
        read_ += n;
        at_ = 0;
    }
    key = GetKey(piece_.data() + at_);
    at_ += kKeyBytes;
    return true;
}

std::string SpooledTracks::error() const {
    for (const BinaryFile* spool : {&frames, &translations, &rotations, &scales}) {
        if (spool->failed()) return spool->error();
    }
    return {};
}

void BlockBuilder::Start(std::uint64_t expected) {
    Block& b = block_;
    b.head.clear();
    b.tail.clear();
    b.keys.clear();
    b.bad_frame.reset();
    b.spool_error.clear();
    count_ = 0;
    pending_.reset();
    track_held_ = false;
    have_angles_ = false;
    const SpoolPlace& place = style_.spool;
    switch (style_.form) {
        case BlockForm::Keys:
            b.keys.reserve(expected);
            break;
        case BlockForm::Lwsc1:
            b.body.CreateTemporary(place.beside, place.buffer);
            break;
        case BlockForm::Lwsc3:
            b.body.CreateTemporary(place.beside, place.buffer);
            b.scratch.CreateTemporary(place.beside, place.buffer);
            break;
        case BlockForm::RisingKeys:
            b.scratch.CreateTemporary(place.beside, place.buffer);
            b.rising_keys = 0;
            break;
        case BlockForm::Gltf:
            for (BinaryFile* spool :
                 {&b.gltf.frames, &b.gltf.translations, &b.gltf.rotations, &b.gltf.scales}) {
                spool->CreateTemporary(place.beside, place.buffer);
            }
            b.gltf.count = 0;
            b.gltf.frames_hash = kHashStart;
            break;
    }
}

void BlockBuilder::Add(const Particle& p, std::int32_t frame) {
    // Every number of a scene passes here: the one place where a value the format cannot hold
    // (an overflow in the dynamics, a huge setting) is caught before it is written.
    if (!block_.bad_frame) {
        for (double v : {p.x, p.y, p.z, p.heading, p.pitch, p.bank, p.scale_x, p.scale_y, p.scale_z}) {
            if (!(std::fabs(v) <= style_.limit)) {
                block_.bad_frame = frame;
                break;
            }
        }
    }
    AddKey(SceneKey{{p.x, p.y, p.z, p.heading, p.pitch, p.bank, p.scale_x, p.scale_y, p.scale_z}, frame});
}

void BlockBuilder::AddKey(const SceneKey& key) {
    switch (style_.form) {
        case BlockForm::Keys:
            block_.keys.push_back(key);
            return;
        case BlockForm::Lwsc1:
            line_.clear();
            AppendKeyValues(line_, key.value, key.frame);
            block_.body.Write(line_);
            ++count_;
            return;
        case BlockForm::Lwsc3:
        case BlockForm::Gltf:
        case BlockForm::RisingKeys:
            AddRising(key);
            return;
    }
}

// As RisingKeys reads keys: of several on one frame the later is kept, and one earlier than a
// key already kept is dropped. A key is final once a later frame follows it.
void BlockBuilder::AddRising(const SceneKey& key) {
    if (pending_ && key.frame == pending_->frame) {
        *pending_ = key;
    } else if (!pending_ || key.frame > pending_->frame) {
        if (pending_) Emit(*pending_);
        pending_ = key;
    }
}

void BlockBuilder::Emit(const SceneKey& key) {
    if (style_.form == BlockForm::Lwsc3 || style_.form == BlockForm::RisingKeys) {
        char bytes[kKeyBytes];
        PutKey(key, bytes);
        block_.scratch.Write(bytes, sizeof bytes);
        ++count_;
    } else if (key.frame >= 0) {  // glTF times start at 0: keys before frame 0 go
        EmitTrackKey(key);
    }
}

void BlockBuilder::EmitTrackKey(const SceneKey& key) {
    const auto& v = key.value;
    std::array<float, 10> values{static_cast<float>(v[0]), static_cast<float>(v[1]),
                                 static_cast<float>(-v[2])};
    // Particles hold their rotation for many keys: the quaternion is reused while the angles keep
    // their bits (so -0 and 0 still give their own quaternions).
    const std::array<double, 3> angles{v[3], v[4], v[5]};
    if (track_held_ && have_angles_ && std::memcmp(angles.data(), last_angles_.data(), sizeof angles) == 0) {
        std::copy_n(track_values_.begin() + 3, 4, values.begin() + 3);
    } else {
        const auto r = GltfRotation(v[3], v[4], v[5]);
        for (std::size_t c = 0; c < 4; ++c) values[3 + c] = static_cast<float>(r[c]);
    }
    last_angles_ = angles;
    have_angles_ = true;
    values[7] = static_cast<float>(v[6]), values[8] = static_cast<float>(v[7]),
    values[9] = static_cast<float>(v[8]);
    if (track_held_) {
        // A hidden key just before a visible one takes its rotation, so that a particle does not
        // turn while it grows from nothing between the two.
        if (Hidden(&track_values_[7]) && !Hidden(&values[7])) {
            std::copy_n(values.begin() + 3, 4, track_values_.begin() + 3);
        }
        WriteTrackKey();
    }
    track_values_ = values;
    track_frame_ = key.frame;
    track_held_ = true;
}

void BlockBuilder::WriteTrackKey() {
    SpooledTracks& t = block_.gltf;
    if (t.count == 0) {
        t.first_frame = track_frame_;
        std::copy_n(track_values_.begin(), 3, t.first_translation.begin());
        std::copy_n(track_values_.begin() + 3, 4, t.first_rotation.begin());
        std::copy_n(track_values_.begin() + 7, 3, t.first_scale.begin());
    }
    t.last_frame = track_frame_;
    ++t.count;
    t.frames_hash = (t.frames_hash ^ static_cast<std::uint32_t>(track_frame_)) * kHashPrime;
    t.frames.Write(&track_frame_, sizeof track_frame_);
    t.translations.Write(track_values_.data(), 3 * sizeof(float));
    t.rotations.Write(track_values_.data() + 3, 4 * sizeof(float));
    t.scales.Write(track_values_.data() + 7, 3 * sizeof(float));
}

void BlockBuilder::Finish() {
    Block& b = block_;
    switch (style_.form) {
        case BlockForm::Keys:
            return;
        case BlockForm::Lwsc1:
            AppendObjectStart(b.head, style_.object, style_.channels, static_cast<std::uint32_t>(count_));
            AppendObjectEnd(b.tail);
            if (b.body.failed()) b.spool_error = b.body.error();
            return;
        case BlockForm::Lwsc3:
            if (pending_) Emit(*pending_);
            pending_.reset();
            FinishLwsc3();
            return;
        case BlockForm::RisingKeys:
            if (pending_) Emit(*pending_);
            pending_.reset();
            b.rising_keys = count_;
            if (b.scratch.failed()) b.spool_error = b.scratch.error();
            return;
        case BlockForm::Gltf:
            if (pending_) Emit(*pending_);
            pending_.reset();
            if (track_held_) WriteTrackKey();
            track_held_ = false;
            b.spool_error = b.gltf.error();
            return;
    }
}

// The nine envelopes, each reading the rising keys back from the scratch spool.
void BlockBuilder::FinishLwsc3() {
    Block& b = block_;
    std::string text;
    AppendLwsc3ObjectStart(text, style_.object);
    for (int c = 0; c < 9 && !b.scratch.failed(); ++c) {
        AppendLwsc3ChannelStart(text, c, count_);
        SpooledKeyReader keys(b.scratch, count_);
        for (SceneKey key; keys.Next(key);) {
            AppendLwsc3Key(text, c, key, style_.fps);
            if (text.size() >= kPieceSize) {
                b.body.Write(text);
                text.clear();
            }
        }
        AppendLwsc3ChannelEnd(text);
    }
    text += '\n';
    b.body.Write(text);
    b.spool_error = b.scratch.failed() ? b.scratch.error() : b.body.failed() ? b.body.error() : "";
    b.scratch.CreateTemporary(style_.spool.beside, style_.spool.buffer);  // its file goes now
}

}  // namespace vexo
