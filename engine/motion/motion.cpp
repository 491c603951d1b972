#include "engine/motion/motion.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>

namespace vexo {
namespace motion_text {

std::string At(std::string_view file, std::uint32_t line, std::string_view what) {
    return std::string(file) + " line " + std::to_string(line) + ":\n" + std::string(what);
}
std::string CannotOpen(std::string_view file, std::string_view reason) {
    return std::string(kCannotOpen) + "\n\n" + std::string(file) + "\n\n" + std::string(reason);
}
std::string NotLwmo(std::string_view file) {
    return std::string(file) + ":\n" + kNotLwmo;
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
        sink.Message(motion_text::NotLwmo(file));
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

}  // namespace vexo
