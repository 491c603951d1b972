// Version 3 motion files (LightWave 6 and later): "NumChannels n", then "Channel i" and an
// "{ Envelope ... }" block per channel. Each channel is sampled at every whole frame of the
// scene's frame rate (24 unless the caller says otherwise) into the same per-frame table a
// version 1 file gives, rotations turned from radians into degrees. Blocks the reader does not know are skipped by their depth.
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "engine/motion/envelope.hpp"
#include "engine/motion/motion.hpp"

namespace vexo {
namespace {

constexpr std::size_t kMaxWords = 12;   // no line the reader uses has more
constexpr std::size_t kMaxWordLength = 400;

// The lines of the file as words. Only the first few words of a line, each of bounded length,
// are kept: the reader needs no more, and a huge line of short words costs no memory.
class LineReader {
public:
    LineReader(std::istream& in, std::uint32_t line) : in_(in), line_(line) {}
    // The next line's words; false at the end of the stream.
    bool Next(std::vector<std::string>& words) {
        words.clear();
        int c = in_.get();
        if (c == EOF) return false;
        ++line_;
        bool in_word = false;
        extra_ = false;
        for (; c != EOF && c != '\n'; c = in_.get()) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
                in_word = false;
                continue;
            }
            if (!in_word) {
                in_word = true;
                if (words.size() == kMaxWords) {
                    extra_ = true;
                } else {
                    words.emplace_back();
                }
            }
            if (!extra_ && words.back().size() <= kMaxWordLength) words.back().push_back(static_cast<char>(c));
        }
        return true;
    }
    std::uint32_t line() const { return line_; }
    // The last line held more words than were kept.
    bool extra() const { return extra_; }

private:
    std::istream& in_;
    std::uint32_t line_;
    bool extra_ = false;
};

template <class Number>
bool Parse(const std::string& word, Number& out) {
    const char* begin = word.data() + (!word.empty() && word[0] == '+' ? 1 : 0);
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc() || ptr != end || begin == end) return false;
    if constexpr (std::is_floating_point_v<Number>) return std::isfinite(out);
    return true;
}

struct ParseError {
    std::uint32_t line;
    std::string what;
};

// Skips lines until the block opened before them closes.
std::optional<ParseError> SkipBlock(LineReader& reader) {
    std::vector<std::string> words;
    int depth = 1;
    while (depth > 0) {
        if (!reader.Next(words)) return ParseError{reader.line(), "a block is not closed"};
        if (!words.empty() && words[0] == "{") ++depth;
        if (!words.empty() && words[0] == "}") --depth;
    }
    return std::nullopt;
}

std::optional<ParseError> ReadEnvelope(LineReader& reader, Envelope& envelope) {
    std::vector<std::string> words;
    std::optional<std::uint32_t> count;
    for (;;) {
        if (!reader.Next(words)) return ParseError{reader.line(), "an envelope is not closed"};
        if (words.empty()) continue;
        const std::string& head = words[0];
        if (head == "}") break;
        if (head == "{") {
            if (auto error = SkipBlock(reader)) return error;
        } else if (!count) {
            std::uint32_t n = 0;
            if (words.size() != 1 || !Parse(head, n)) return ParseError{reader.line(), "malformed key count"};
            count = n;
        } else if (head == "Key") {
            EnvelopeKey key;
            int shape = 0;
            if (words.size() < 10 || !Parse(words[1], key.value) || !Parse(words[2], key.time) ||
                !Parse(words[3], shape)) {
                return ParseError{reader.line(), "malformed key"};
            }
            for (int i = 0; i < 6; ++i) {
                if (!Parse(words[4 + i], key.p[i])) return ParseError{reader.line(), "malformed key"};
            }
            if (shape < 0 || shape > 5) return ParseError{reader.line(), "unknown span type " + words[3]};
            key.shape = static_cast<SpanType>(shape);
            // LightWave never writes two keys at one time; their span would have no length.
            if (!envelope.keys.empty() && key.time == envelope.keys.back().time) {
                return ParseError{reader.line(), motion_text::kTwoKeysOneTime};
            }
            if (!envelope.keys.empty() && key.time < envelope.keys.back().time) {
                return ParseError{reader.line(), "keys are not in time order"};
            }
            envelope.keys.push_back(key);
        } else if (head == "Behaviors") {
            int pre = 0, post = 0;
            if (words.size() != 3 || reader.extra() || !Parse(words[1], pre) || !Parse(words[2], post) || pre < 0 ||
                pre > 5 || post < 0 || post > 5) {
                return ParseError{reader.line(), "malformed behaviours"};
            }
            envelope.pre = static_cast<Behavior>(pre);
            envelope.post = static_cast<Behavior>(post);
        }
        // Other lines belong to later versions of the format and are passed over.
    }
    if (!count) return ParseError{reader.line(), "an envelope has no key count"};
    if (*count != envelope.keys.size()) {
        return ParseError{reader.line(), "an envelope declares " + std::to_string(*count) + " keys but holds " +
                                             std::to_string(envelope.keys.size())};
    }
    return std::nullopt;
}

}  // namespace

std::optional<MotionTable> ReadMotionV3(std::istream& in, std::string_view file, std::uint32_t line,
                                        MessageSink& sink, EngineState& state, double fps) {
    LineReader reader(in, line - 1);
    std::vector<std::string> words;
    std::optional<std::uint32_t> channels;
    std::vector<std::optional<Envelope>> envelopes;
    std::int64_t pending = -1;  // a "Channel i" line waiting for its envelope
    auto fail = [&](std::uint32_t at, const std::string& what) {
        sink.Message(motion_text::At(file, at, what));
        return std::nullopt;
    };
    try {
        while (reader.Next(words)) {
            if (words.empty()) continue;
            const std::string& head = words[0];
            if (head == "NumChannels") {
                std::uint32_t n = 0;
                if (channels || words.size() != 2 || !Parse(words[1], n) || n == 0 || n > 1000) {
                    return fail(reader.line(), "malformed NumChannels");
                }
                channels = n;
                envelopes.resize(n);
            } else if (head == "Channel") {
                std::uint32_t index = 0;
                if (!channels) return fail(reader.line(), "a channel comes before NumChannels");
                if (pending >= 0) return fail(reader.line(), "channel " + std::to_string(pending) + " has no envelope");
                if (words.size() != 2 || !Parse(words[1], index) || index >= *channels) {
                    return fail(reader.line(), "channel number out of range");
                }
                if (envelopes[index]) return fail(reader.line(), "channel " + words[1] + " is given twice");
                pending = index;
            } else if (head == "{") {
                if (pending >= 0 && words.size() >= 2 && words[1] == "Envelope") {
                    Envelope envelope;
                    if (auto error = ReadEnvelope(reader, envelope)) return fail(error->line, error->what);
                    envelopes[static_cast<std::size_t>(pending)] = std::move(envelope);
                    pending = -1;
                } else if (auto error = SkipBlock(reader)) {
                    return fail(error->line, error->what);
                }
            } else if (head == "}") {
                return fail(reader.line(), "a block closes that was never opened");
            }
            // Other lines belong to later versions of the format and are passed over.
        }
    } catch (const std::bad_alloc&) {
        sink.Message(motion_text::kNoTableMemory);
        return std::nullopt;
    }
    if (!channels) return fail(reader.line(), motion_text::kNoNumChannels);
    if (pending >= 0) return fail(reader.line(), "channel " + std::to_string(pending) + " has no envelope");

    // The motion runs to the last key of the longest channel, in whole frames. Its entries are
    // sampled when the scene asks for them.
    double frames = 0.0;
    for (const auto& envelope : envelopes) {
        if (envelope && !envelope->keys.empty()) frames = std::max(frames, std::round(envelope->keys.back().time * fps));
    }
    if (frames > std::numeric_limits<std::int32_t>::max() - 1) return fail(reader.line(), "the motion lasts too long");
    const auto last_frame = static_cast<std::int32_t>(frames);
    if (envelopes.size() > static_cast<std::size_t>(kMotionChannels)) envelopes.resize(kMotionChannels);
    state.LastMotionFrame = last_frame;
    state.no_info_channels = *channels;
    return MotionTable::FromEnvelopes(std::move(envelopes), last_frame, fps);
}

}  // namespace vexo
