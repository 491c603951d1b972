#include "engine/motion/motion.hpp"

#include "engine/motion/scene_motion.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>
#include <string_view>

namespace vexo {
namespace motion_text {

std::string NoKeyMemory(std::uint32_t bytes) {
    return "Could not allocate " + std::to_string(bytes) + " bytes of \nmotion data RAM";
}
std::string BadHeader(const char* item) {
    return std::string("The motion file's ") + item + "\nis missing or malformed";
}
std::string BadKeyNumber(std::uint32_t key) {
    return "Motion file key " + std::to_string(key) + " is\ntruncated or holds a malformed number";
}
std::string FirstKeyNotAtZero(std::uint32_t frame) {
    return "The motion file's first key is at\nframe " + std::to_string(frame) + "; it must be at frame 0";
}
std::string KeysNotRising(std::uint32_t key, std::uint32_t frame, std::uint32_t previous) {
    return "Motion file key " + std::to_string(key) + " is at frame " + std::to_string(frame) +
           ",\nnot after the frame " + std::to_string(previous) + " before it";
}

}  // namespace motion_text

namespace {

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The next whitespace-separated word; empty at the end of the stream.
std::string NextWord(std::istream& in) {
    std::string word;
    int c = in.get();
    while (c != EOF && IsSpace(c)) c = in.get();
    while (c != EOF && !IsSpace(c)) {
        word.push_back(static_cast<char>(c));
        if (word.size() > 400) break;  // longer than any number a file can sensibly hold
        c = in.get();
    }
    return word;
}

std::string_view WithoutPlus(std::string_view word) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    return word;
}

// A whole word must be the number; a trailing remnant makes it malformed.
bool ReadUnsigned(std::istream& in, std::uint32_t& out) {
    const std::string word = NextWord(in);
    const std::string_view digits = WithoutPlus(word);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
}

template <class Real>
bool ReadReal(std::istream& in, Real& out) {
    const std::string word = NextWord(in);
    const std::string_view text = WithoutPlus(word);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

bool ReadKey(std::istream& in, MotionKey& key) {
    for (double& v : key.value) {
        if (!ReadReal(in, v)) return false;
    }
    return ReadUnsigned(in, key.frame) && ReadUnsigned(in, key.linear) && ReadReal(in, key.tension) &&
           ReadReal(in, key.continuity) && ReadReal(in, key.bias);
}

// Keys must start at frame 0 and rise strictly, so that the fill below covers every entry of
// the table exactly once and never runs past it.
bool CheckKeyFrames(const std::vector<MotionKey>& keys, MessageSink& sink) {
    if (keys.front().frame != 0) {
        sink.Message(motion_text::FirstKeyNotAtZero(keys.front().frame));
        return false;
    }
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].frame <= keys[i - 1].frame ||
            keys[i].frame > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
            sink.Message(motion_text::KeysNotRising(static_cast<std::uint32_t>(i), keys[i].frame,
                                                    keys[i - 1].frame));
            return false;
        }
    }
    return true;
}

// Linear interpolation by accumulation: each entry is the one before it plus the segment's step,
// which comes from the two keys' own values.
void FillTable(const std::vector<MotionKey>& keys, MotionTable& table) {
    table.push_back(MotionFrame{keys[0].value});
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const double d = static_cast<double>(static_cast<std::int32_t>(keys[i + 1].frame - keys[i].frame));
        std::array<double, kMotionChannels> step;
        for (int c = 0; c < kMotionChannels; ++c) step[c] = (keys[i + 1].value[c] - keys[i].value[c]) / d;
        for (double n = 0; n < d; n += 1.0) {
            MotionFrame next = table.back();
            for (int c = 0; c < kMotionChannels; ++c) next.value[c] += step[c];
            table.push_back(next);
        }
    }
}

}  // namespace

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

std::optional<MotionTable> ReadMotion(std::istream& in, MessageSink& sink, EngineState& state, double fps) {
    char magic[4] = {0, 0, 0, 0};
    const int got = GetStringFromASCII(in, magic, 4, sink);
    if (got < 4 || !stringcmp(magic, "LWMO", 4)) {
        sink.Message(motion_text::kNotLwmo);
        return std::nullopt;
    }

    std::uint32_t version = 0, channels = 0, count = 0;
    if (!ReadUnsigned(in, version)) {
        sink.Message(motion_text::BadHeader("version"));
        return std::nullopt;
    }
    if (version == 3) return ReadMotionV3(in, sink, state, fps);
    if (!ReadUnsigned(in, channels)) {
        sink.Message(motion_text::BadHeader("channel count"));
        return std::nullopt;
    }
    if (!ReadUnsigned(in, count)) {
        sink.Message(motion_text::BadHeader("key count"));
        return std::nullopt;
    }
    if (count == 0) {
        sink.Message(motion_text::kNoKeys);
        return std::nullopt;
    }

    // The array grows as keys are read, so a file that claims more keys than it holds costs
    // no more memory than the keys it really has.
    std::vector<MotionKey> keys;
    try {
        keys.reserve(std::min<std::uint32_t>(count, 1u << 16));
        for (std::uint32_t i = 0; i < count; ++i) {
            MotionKey key{};
            if (!ReadKey(in, key)) {
                sink.Message(motion_text::BadKeyNumber(i));
                return std::nullopt;
            }
            keys.push_back(key);
        }
    } catch (const std::bad_alloc&) {
        sink.Message(motion_text::NoKeyMemory(count * static_cast<std::uint32_t>(sizeof(MotionKey))));
        return std::nullopt;
    }
    if (!CheckKeyFrames(keys, sink)) return std::nullopt;

    const auto last_frame = static_cast<std::int32_t>(keys.back().frame);
    MotionTable table;
    try {
        table.reserve(static_cast<std::size_t>(last_frame) + 1);
        FillTable(keys, table);
    } catch (const std::bad_alloc&) {
        sink.Message(motion_text::kNoTableMemory);
        return std::nullopt;
    }
    state.LastMotionFrame = last_frame;
    state.no_info_channels = channels;
    return table;
}

std::optional<MotionTable> GetMotionFile(const Settings& settings, MessageSink& sink, EngineState& state,
                                         double fps) {
    const MotionSource source = SplitMotionPath(PathText(settings.parent_motion));
    std::ifstream in(source.file, std::ios::binary);
    if (!in) {
        sink.Message(motion_text::kCannotOpen);
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
    return ReadMotion(in, sink, state, fps);
}

}  // namespace vexo
