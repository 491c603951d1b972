#include "engine/motion/motion.hpp"

#include "engine/motion/scene_motion.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>
#include <numbers>

namespace vexo {
namespace motion_text {

std::string At(std::string_view file, std::uint32_t line, std::string_view what) {
    return std::string(file) + " line " + std::to_string(line) + ":\n" + std::string(what);
}
std::string CannotOpen(std::string_view file, std::string_view reason) {
    return std::string(kCannotOpen) + "\n\n" + std::string(file) + "\n\n" + std::string(reason);
}
std::string NoKeyMemory(std::uint32_t bytes) {
    return "Could not allocate " + std::to_string(bytes) + " bytes of \nmotion data RAM";
}
std::string BadHeader(const char* item) {
    return std::string("the ") + item + " is missing or malformed";
}
std::string BadKeyNumber(std::uint32_t key) {
    return "key " + std::to_string(key) + " is truncated or holds a malformed number";
}
std::string FirstKeyNotAtZero(std::uint32_t frame) {
    return "the first key is at frame " + std::to_string(frame) + "; it must be at frame 0";
}
std::string KeysNotRising(std::uint32_t key, std::uint32_t frame, std::uint32_t previous) {
    return "key " + std::to_string(key) + " is at frame " + std::to_string(frame) + ", not after the frame " +
           std::to_string(previous) + " before it";
}
std::string KeysTooFarApart(std::uint32_t key) {
    return "the values of key " + std::to_string(key) + " are too far from the key before it";
}

}  // namespace motion_text

namespace {


bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whitespace-separated words of a version 1 file, with the line each one starts on.
class WordReader {
  public:
    explicit WordReader(std::istream& in) : in_(in) {}
    // The next word; empty at the end of the stream.
    std::string Next() {
        std::string word;
        int c = Get();
        while (c != EOF && IsSpace(c)) c = Get();
        // At the end of the file the last line is to blame, not the empty one after it.
        word_line_ = c == EOF && ended_line_ && line_ > 1 ? line_ - 1 : line_;
        while (c != EOF && !IsSpace(c)) {
            word.push_back(static_cast<char>(c));
            if (word.size() > 400) break;  // longer than any number a file can sensibly hold
            c = Get();
        }
        return word;
    }
    std::uint32_t word_line() const { return word_line_; }  // where the last word began
    std::uint32_t line() const { return line_; }            // where the next character stands

  private:
    int Get() {
        const int c = in_.get();
        if (c != EOF) ended_line_ = c == '\n';
        if (c == '\n') ++line_;
        return c;
    }
    std::istream& in_;
    bool ended_line_ = false;
    std::uint32_t line_ = 1;
    std::uint32_t word_line_ = 1;
};

std::string_view WithoutPlus(std::string_view word) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    return word;
}

// A whole word must be the number; a trailing remnant makes it malformed.
bool ReadUnsigned(WordReader& in, std::uint32_t& out) {
    const std::string word = in.Next();
    const std::string_view digits = WithoutPlus(word);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
}

template <class Real>
bool ReadReal(WordReader& in, Real& out) {
    const std::string word = in.Next();
    const std::string_view text = WithoutPlus(word);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

bool ReadKey(WordReader& in, MotionKey& key) {
    for (double& v : key.value) {
        if (!ReadReal(in, v)) return false;
    }
    return ReadUnsigned(in, key.frame) && ReadUnsigned(in, key.linear) && ReadReal(in, key.tension) &&
           ReadReal(in, key.continuity) && ReadReal(in, key.bias);
}

// The step of the segment from key i to key i + 1 in every channel.
std::array<double, kMotionChannels> SegmentStep(const std::vector<MotionKey>& keys, std::size_t i) {
    const double d = static_cast<double>(static_cast<std::int32_t>(keys[i + 1].frame - keys[i].frame));
    std::array<double, kMotionChannels> step;
    for (int c = 0; c < kMotionChannels; ++c) step[c] = (keys[i + 1].value[c] - keys[i].value[c]) / d;
    return step;
}

// Keys must start at frame 0 and rise strictly, so that the accumulation covers every entry
// exactly once, and their steps must be finite numbers. Returns the index of the bad key.
std::optional<std::string> CheckKeys(const std::vector<MotionKey>& keys, std::size_t& bad) {
    bad = 0;
    if (keys.front().frame != 0) return motion_text::FirstKeyNotAtZero(keys.front().frame);
    for (std::size_t i = 1; i < keys.size(); ++i) {
        bad = i;
        if (keys[i].frame <= keys[i - 1].frame ||
            keys[i].frame > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
            return motion_text::KeysNotRising(static_cast<std::uint32_t>(i), keys[i].frame,
                                              keys[i - 1].frame);
        }
        for (double step : SegmentStep(keys, i - 1)) {
            if (!std::isfinite(step)) return motion_text::KeysTooFarApart(static_cast<std::uint32_t>(i));
        }
    }
    return std::nullopt;
}

}  // namespace

MotionTable MotionTable::FromKeys(std::vector<MotionKey> keys) {
    MotionTable table;
    table.keys_ = std::move(keys);
    table.last_frame_ = static_cast<std::int32_t>(table.keys_.back().frame);
    table.first_ = MotionFrame{table.keys_.front().value};
    return table;
}

MotionTable MotionTable::FromEnvelopes(std::vector<std::optional<Envelope>> channels,
                                       std::int32_t last_frame, double fps) {
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

int stringcmp(const char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return 0;
    }
    return 1;
}

int GetStringFromASCII(std::istream& in, char* buffer, int max, MessageSink& sink) {
    int stored = 0;
    while (stored < max) {
        const int c = in.get();
        if (c == EOF) break;
        if (c == ' ' || c == '\n' || c == '\t') {
            sink.DebugLine(std::string("temp = ") + static_cast<char>(c) + " -- end of string\n");
            break;
        }
        buffer[stored++] = static_cast<char>(c);
    }
    return stored;
}

std::optional<MotionTable> ReadMotion(std::istream& in, std::string_view file, MessageSink& sink,
                                      EngineState& state, double fps) {
    char magic[4] = {0, 0, 0, 0};
    const int got = GetStringFromASCII(in, magic, 4, sink);
    if (got < 4 || !stringcmp(magic, "LWMO", 4)) {
        sink.Message(motion_text::kNotLwmo);
        return std::nullopt;
    }
    WordReader words(in);
    auto fail = [&](std::uint32_t line, const std::string& what) {
        sink.Message(motion_text::At(file, line, what));
        return std::nullopt;
    };

    std::uint32_t version = 0, channels = 0, count = 0;
    if (!ReadUnsigned(words, version)) return fail(words.word_line(), motion_text::BadHeader("version"));
    if (version == 3) return ReadMotionV3(in, file, words.line(), sink, state, fps);
    if (!ReadUnsigned(words, channels))
        return fail(words.word_line(), motion_text::BadHeader("channel count"));
    if (!ReadUnsigned(words, count)) return fail(words.word_line(), motion_text::BadHeader("key count"));
    if (count == 0) return fail(words.word_line(), motion_text::kNoKeys);

    // The array grows as keys are read, so a file that claims more keys than it holds costs
    // no more memory than the keys it really has.
    std::vector<MotionKey> keys;
    std::vector<std::uint32_t> lines;  // where each key's frame stands, for the messages
    try {
        keys.reserve(std::min<std::uint32_t>(count, 1u << 16));
        for (std::uint32_t i = 0; i < count; ++i) {
            MotionKey key{};
            if (!ReadKey(words, key)) return fail(words.word_line(), motion_text::BadKeyNumber(i));
            keys.push_back(key);
            lines.push_back(words.word_line());
        }
    } catch (const std::bad_alloc&) {
        sink.Message(motion_text::NoKeyMemory(count * static_cast<std::uint32_t>(sizeof(MotionKey))));
        return std::nullopt;
    }
    std::size_t bad = 0;
    if (auto problem = CheckKeys(keys, bad)) return fail(lines[bad], *problem);

    MotionTable table = MotionTable::FromKeys(std::move(keys));
    state.LastMotionFrame = static_cast<std::int32_t>(table.size() - 1);
    state.no_info_channels = channels;
    return table;
}

std::optional<MotionTable> GetMotionFile(const Settings& settings, MessageSink& sink, EngineState& state,
                                         double fps) {
    const MotionSource source = SplitMotionPath(PathText(settings.parent_motion));
    errno = 0;
    std::ifstream in(source.file, std::ios::binary);
    if (!in) {
        const int error = errno;
        sink.Message(
            motion_text::CannotOpen(source.file, error != 0 ? std::strerror(error) : "Unknown error"));
        return std::nullopt;
    }
    char magic[4] = {0, 0, 0, 0};
    in.read(magic, 4);
    const bool lwmo = in.gcount() == 4 && stringcmp(magic, "LWMO", 4);
    in.clear();
    in.seekg(0);
    if (!lwmo) {
        bool not_a_scene = false;
        std::optional<MotionTable> table = ReadSceneMotion(source, fps, sink, state, &not_a_scene);
        if (!not_a_scene) return table;
        // Neither kind: the motion text reader says why, as it always did.
    }
    return ReadMotion(in, source.file, sink, state, fps);
}

}  // namespace vexo
