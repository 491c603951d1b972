// Motion files read as text: every case of tests/data/motion_cases.txt against its golden, and the
// reader's behaviour on files cut anywhere.
#include "engine/motion/motion.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::RecordingSink;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

// Every motion of tests/data/motion_cases.txt, read in a fresh state at 24 frames per second or at
// the rate its title ends with ("at 30 fps"): messages word for word, what was published, every
// value in "%a". A cursor read backwards must give the entries read in order.
TEST(MotionReader, EveryCaseMatchesItsGolden) {
    const std::string all = testing::ReadFile(testing::DataDir() / "motion_cases.txt");
    ASSERT_EQ(all.rfind("=== ", 0), 0u);
    std::string out;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t text = all.find('\n', at) + 1;
        std::size_t next = all.find("\n=== ", text - 1);
        next = next == std::string::npos ? all.size() : next + 1;
        const std::string title = all.substr(at, text - at - 1);
        const double fps = title.ends_with(" fps") ? std::stod(title.substr(title.rfind(" at ") + 4)) : 24.0;
        std::istringstream in(all.substr(text, next - text));
        RecordingSink sink;
        EngineState state;
        const std::optional<MotionTable> table = ReadMotion(in, sink, state, fps);
        out += title + "\n";
        for (const std::string& line : sink.debug_lines) out += "debug: " + Escaped(line) + "\n";
        for (const std::string& message : sink.messages) out += "message: " + Escaped(message) + "\n";
        out += "last frame " + std::to_string(state.LastMotionFrame) + ", channels " +
               std::to_string(state.no_info_channels) + "\n";
        if (table) {
            char number[32];
            MotionCursor backwards(*table);
            for (std::size_t i = 0; i < table->size(); ++i) {
                for (double v : (*table)[i].value) {
                    std::snprintf(number, sizeof number, " %a", v);
                    out += number;
                }
                out += '\n';
                const std::size_t j = table->size() - 1 - i;
                EXPECT_EQ(backwards.At(j).value, (*table)[j].value) << title << " entry " << j;
            }
            EXPECT_EQ(table->front().value, (*table)[0].value) << title;
        }
        at = next;
    }
    EXPECT_TRUE(testing::MatchesGolden(out, "motion_tables.txt"));
}

// Cut anywhere, a file is refused with one message, or read into a whole table.
TEST(MotionReader, EveryTruncationOfBothSamplesIsRefusedCleanly) {
    for (const char* name : {"emitter_v1.mot", "emitter_v3.mot"}) {
        const std::string text = testing::ReadFile(testing::DataDir() / name);
        for (std::size_t length = 0; length + 1 < text.size(); ++length) {
            const auto r = testing::ReadText(text.substr(0, length));
            if (r->table) {
                EXPECT_EQ(r->table->size(), static_cast<std::size_t>(r->state.LastMotionFrame) + 1);
            } else {
                EXPECT_EQ(r->sink.messages.size(), 1u) << name << " cut at " << length;
                EXPECT_EQ(r->state.LastMotionFrame, 0) << "a failed read publishes nothing";
            }
        }
    }
}

TEST(MotionReader, MessagesNameTheFileAndItsLine) {
    // A key longer than any number a file can hold is one malformed word, not a megabyte of memory.
    const auto r = testing::ReadText("LWMO\n3\nNumChannels 9\nChannel 0\n{ Envelope\n  1\n  Key " +
                                     std::string(1 << 20, '1') + " 0 3 0 0 0 0 0 0\n}\n");
    EXPECT_EQ(r->sink.messages, std::vector<std::string>{"Motion file line 7:\nmalformed key"});
    RecordingSink sink;
    EngineState state;
    std::istringstream in("LWMO\n1\n9\n0\n");
    EXPECT_FALSE(ReadMotion(in, "fall.mot", sink, state));
    EXPECT_EQ(sink.messages, std::vector<std::string>{"fall.mot line 4:\nthe motion holds no keys"});
    EXPECT_EQ(motion_text::NoKeyMemory(960), "Could not allocate 960 bytes of \nmotion data RAM");
}

TEST(MotionHelpers, StringcmpAndGetString) {
    EXPECT_EQ(stringcmp("LWMO", "LWMO", 4), 1);
    EXPECT_EQ(stringcmp("LWMX", "LWMO", 4), 0);
    EXPECT_EQ(stringcmp("a", "b", 0), 1);
    EXPECT_EQ(stringcmp("a", "b", -1), 1);
    RecordingSink sink;
    std::istringstream in("ab\tcd");
    char buffer[4];
    EXPECT_EQ(GetStringFromASCII(in, buffer, 4, sink), 2);
    EXPECT_EQ(sink.debug_lines, std::vector<std::string>{"temp = \t -- end of string\n"});
    EXPECT_EQ(in.get(), 'c');  // the tab was consumed
}

}  // namespace
}  // namespace vexo
