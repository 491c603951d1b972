#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "engine/motion/motion.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadText;
using testing::RecordingSink;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

// Every motion file in tests/data/motion_cases.txt (version 1 and 3 files, good and bad, every
// span type, behaviour and bound), each read in a fresh program run: what the reader reported,
// word for word, what it published, and every value of its table in "%a".
TEST(MotionReader, EveryCaseMatchesItsGolden) {
    const std::string all = testing::ReadFile(testing::DataDir() / "motion_cases.txt");
    ASSERT_EQ(all.rfind("=== ", 0), 0u);
    std::string out;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t text = all.find('\n', at) + 1;
        std::size_t next = all.find("\n=== ", text - 1);
        next = next == std::string::npos ? all.size() : next + 1;
        out += all.substr(at, text - at);
        const auto r = ReadText(all.substr(text, next - text));
        for (const std::string& line : r->sink.debug_lines) out += "debug: " + Escaped(line) + "\n";
        for (const std::string& message : r->sink.messages) out += "message: " + Escaped(message) + "\n";
        out += "last frame " + std::to_string(r->state.LastMotionFrame) + ", channels " +
               std::to_string(r->state.no_info_channels) + "\n";
        if (r->table) {
            char number[32];
            for (const MotionFrame& entry : *r->table) {
                for (double v : entry.value) {
                    std::snprintf(number, sizeof number, " %a", v);
                    out += number;
                }
                out += '\n';
            }
        }
        at = next;
    }
    EXPECT_TRUE(testing::MatchesGolden(out, "motion_tables.txt"));
}

// Cut anywhere, a file is refused with one message, or read into a whole table.
TEST(MotionReader, EveryTruncationOfAValidFileIsRefusedCleanly) {
    for (const char* name : {"emitter_v1.mot", "emitter_v3.mot"}) {
        const std::string text = testing::ReadFile(testing::DataDir() / name);
        for (std::size_t length = 0; length + 1 < text.size(); ++length) {
            const auto r = ReadText(text.substr(0, length));
            if (r->table) {
                EXPECT_EQ(r->table->size(), static_cast<std::size_t>(r->state.LastMotionFrame) + 1);
            } else {
                EXPECT_EQ(r->sink.messages.size(), 1u) << name << " cut at " << length;
            }
        }
    }
}

TEST(MotionReader, KeyMemoryMessageCarriesTheByteCount) {
    EXPECT_EQ(motion_text::NoKeyMemory(960), "Could not allocate 960 bytes of \nmotion data RAM");
    EXPECT_EQ(sizeof(MotionKey), 96u);
}

TEST(MotionReader, MissingFileIsReported) {
    Settings s = DefaultSettings();
    SetPathText(s.parent_motion, "/nonexistent/motion.mot");
    RecordingSink sink;
    EngineState state;
    EXPECT_FALSE(GetMotionFile(s, sink, state));
    EXPECT_EQ(sink.messages, std::vector<std::string>{"Could not open motion file"});
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
