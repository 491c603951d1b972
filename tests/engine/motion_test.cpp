#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "engine/motion/motion.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::RecordingSink;

constexpr const char* kThreeKeys =
    "LWMO\n1\n9\n3\n"
    "0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n"
    "1 0 2 90 0 0 1 1 1\n10 1 0 0 0\n"
    "3 0 0 180 0 0 1 1 1\n30 1 0 0 0\n";

using testing::ReadText;

TEST(MotionReader, FillsOneEntryPerFrameByAccumulation) {
    auto r = ReadText(kThreeKeys);
    ASSERT_TRUE(r->table) << r->sink.messages.at(0);
    EXPECT_TRUE(r->sink.messages.empty());
    EXPECT_TRUE(r->sink.debug_lines.empty());  // "LWMO" then a newline prints nothing
    ASSERT_EQ(r->table->size(), 31u);
    EXPECT_EQ(r->state.LastMotionFrame, 30);
    EXPECT_EQ(r->state.no_info_channels, 9u);
    // Repeated addition of the segment step, carried across the key at frame 10.
    double x = 0.0, heading = 0.0;
    for (int f = 1; f <= 30; ++f) {
        x += f <= 10 ? (1.0 - 0.0) / 10.0 : (3.0 - 1.0) / 20.0;
        heading += f <= 10 ? 90.0 / 10.0 : 90.0 / 20.0;
        EXPECT_EQ((*r->table)[f].value[0], x) << "frame " << f;
        EXPECT_EQ((*r->table)[f].value[3], heading) << "frame " << f;
    }
    EXPECT_NEAR((*r->table)[10].value[0], 1.0, 1e-12);
    EXPECT_NEAR((*r->table)[30].value[3], 180.0, 1e-12);
    EXPECT_EQ((*r->table)[30].value[6], 1.0);
}

TEST(MotionReader, EntriesInAnyOrderAreTheEntriesInOrder) {
    auto r = ReadText(kThreeKeys);
    ASSERT_TRUE(r->table);
    std::vector<MotionFrame> in_order;
    MotionCursor walk(*r->table);
    for (std::size_t j = 0; j < r->table->size(); ++j) in_order.push_back(walk.At(j));
    MotionCursor jumps(*r->table);
    for (std::size_t j : {30, 5, 10, 11, 0, 29, 29, 12}) {
        EXPECT_EQ(jumps.At(j).value, in_order[j].value) << j;
        EXPECT_EQ((*r->table)[j].value, in_order[j].value) << j;
    }
    EXPECT_EQ(r->table->front().value, in_order[0].value);
}

TEST(MotionReader, SingleKeyAndAdjacentKeys) {
    auto single = ReadText("LWMO\n1\n9\n1\n1 2 3 4 5 6 7 8 9\n0 1 0 0 0\n");
    ASSERT_TRUE(single->table);
    EXPECT_EQ(single->state.LastMotionFrame, 0);
    ASSERT_EQ(single->table->size(), 1u);
    EXPECT_EQ(single->table->front().value, (std::array<double, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

    auto adjacent = ReadText("LWMO 1 9 2  0 0 0 0 0 0 0 0 0 0 0 0 0 0  0.5 1 1 1 1 1 1 1 1 1 0 0 0 0");
    ASSERT_TRUE(adjacent->table);
    ASSERT_EQ(adjacent->table->size(), 2u);
    EXPECT_EQ((*adjacent->table)[1].value[0], 0.5);
    EXPECT_TRUE(adjacent->sink.debug_lines.empty());  // four characters read: the blank is not reached
}

TEST(MotionReader, DeclaredChannelCountIsKeptButNineValuesAreRead) {
    auto r = ReadText("LWMO\n1\n12\n1\n1 2 3 4 5 6 7 8 9\n0 1 0.5 -0.5 0\n");
    ASSERT_TRUE(r->table);
    EXPECT_EQ(r->state.no_info_channels, 12u);
}

TEST(MotionReader, MagicWordRules) {
    auto empty_line = ReadText("\nLWMO 1 9 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_FALSE(empty_line->table);
    EXPECT_EQ(empty_line->sink.debug_lines, std::vector<std::string>{"temp = \n -- end of string\n"});
    EXPECT_EQ(empty_line->sink.messages, std::vector<std::string>{"Not a LWMO file"});

    auto other = ReadText("LWSC\n1\n");
    EXPECT_EQ(other->sink.messages, std::vector<std::string>{"Not a LWMO file"});
    EXPECT_TRUE(other->sink.debug_lines.empty());

    auto short_file = ReadText("LW");
    EXPECT_EQ(short_file->sink.messages, std::vector<std::string>{"Not a LWMO file"});

    // A longer word passes the magic test; its rest is then read as the version and fails.
    auto longer = ReadText("LWMOX\n1\n9\n1\n0 0 0 0 0 0 0 0 0\n0 0 0 0 0\n");
    EXPECT_FALSE(longer->table);
    EXPECT_EQ(longer->sink.messages,
              std::vector<std::string>{"Motion file line 1:\nthe version is missing or malformed"});
}

TEST(MotionReader, RefusesFilesWithoutUsableKeys) {
    const std::pair<const char*, const char*> cases[] = {
        {"LWMO\n1\n9\n0\n", "Motion file line 4:\nthe motion holds no keys"},
        {"LWMO\n1\n9\n", "Motion file line 3:\nthe key count is missing or malformed"},
        {"LWMO\n1\n", "Motion file line 2:\nthe channel count is missing or malformed"},
        {"LWMO\n1\n9\n-1\n", "Motion file line 4:\nthe key count is missing or malformed"},
        {"LWMO\n1\n9\n1\n1 0 0 0 0 0 1 1 1\n5 1 0 0 0\n",
         "Motion file line 6:\nthe first key is at frame 5; it must be at frame 0"},
        {"LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n0 0 0 0 0 0 1 1 1\n10 1 0 0 0\n0 0 0 0 0 0 1 1 1\n10 1 0 0 0\n",
         "Motion file line 10:\nkey 2 is at frame 10, not after the frame 10 before it"},
        {"LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n0 0 0 0 0 0 1 1 1\n4294967295 1 0 0 0\n",
         "Motion file line 8:\nkey 1 is at frame 4294967295, not after the frame 0 before it"},
        {"LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n0 0 0 0 0 0 1 1\n",
         "Motion file line 7:\nkey 1 is truncated or holds a malformed number"},
        {"LWMO\n1\n9\n1\n0 0 0 zero 0 0 1 1 1\n0 1 0 0 0\n",
         "Motion file line 5:\nkey 0 is truncated or holds a malformed number"},
        {"LWMO\n1\n9\n1\n0 0 0 1.5.2 0 0 1 1 1\n0 1 0 0 0\n",
         "Motion file line 5:\nkey 0 is truncated or holds a malformed number"},
        {"LWMO\n1\n9\n1\n0 0 0 nan 0 0 1 1 1\n0 1 0 0 0\n",
         "Motion file line 5:\nkey 0 is truncated or holds a malformed number"},
        {"LWMO\n1\n9\n1\n0 0 0 1e999 0 0 1 1 1\n0 1 0 0 0\n",
         "Motion file line 5:\nkey 0 is truncated or holds a malformed number"},
        {"LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0.5 1 0 0 0\n",
         "Motion file line 6:\nkey 0 is truncated or holds a malformed number"},
    };
    for (const auto& [text, message] : cases) {
        auto r = ReadText(text);
        EXPECT_FALSE(r->table) << text;
        EXPECT_EQ(r->sink.messages, std::vector<std::string>{message}) << text;
        EXPECT_EQ(r->state.LastMotionFrame, 0) << "a failed read publishes nothing";
    }
}

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
            for (std::size_t i = 0; i < r->table->size(); ++i) {
                for (double v : (*r->table)[i].value) {
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
TEST(MotionReader, EveryTruncationOfBothSamplesIsRefusedCleanly) {
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

TEST(MotionReader, EveryTruncationOfAValidFileIsRefusedCleanly) {
    const std::string text = kThreeKeys;
    for (std::size_t length = 0; length + 1 < text.size(); ++length) {
        auto r = ReadText(text.substr(0, length));
        if (r->table) {
            // Cutting only the final newline or trailing digits of the last number can still
            // leave a complete file; its table must then be whole.
            EXPECT_EQ(r->table->size(), static_cast<std::size_t>(r->state.LastMotionFrame) + 1);
        } else {
            EXPECT_EQ(r->sink.messages.size(), 1u) << "length " << length;
        }
    }
}

TEST(MotionReader, AHugeClaimedKeyCountCostsOnlyTheKeysPresent) {
    auto r = ReadText("LWMO\n1\n9\n4000000000\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n");
    EXPECT_FALSE(r->table);
    EXPECT_EQ(r->sink.messages,
              std::vector<std::string>{"Motion file line 6:\nkey 1 is truncated or holds a malformed number"});
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

TEST(MotionReader, ReadsTheBundledSample) {
    Settings s = DefaultSettings();
    SetPathText(s.parent_motion, (testing::DataDir() / "emitter_v1.mot").string());
    RecordingSink sink;
    EngineState state;
    const auto table = GetMotionFile(s, sink, state);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->size(), 31u);
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
