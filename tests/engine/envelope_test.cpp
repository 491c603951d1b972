#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine/motion/envelope.hpp"
#include "engine/motion/motion.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::RecordingSink;

EnvelopeKey Key(double value, double time, SpanType shape, std::array<double, 6> p = {}) {
    EnvelopeKey k;
    k.value = value;
    k.time = time;
    k.shape = shape;
    k.p = p;
    return k;
}

// Channel 0 of a scene saved by LightWave: TCB keys with T = C = B = 0.
Envelope LightWaveChannel() {
    Envelope e;
    e.keys = {Key(0, 0, SpanType::TCB, {0, 0, 0, 0, 2.0682507681379905, 0}),
              Key(2.0691125392913814, 0.66666666666666663, SpanType::TCB,
                  {0, 0, 0, -1.1874328851699831, -1.1874328851699831, 0}),
              Key(-2.3748657703399658, 1.3333333333333333, SpanType::TCB, {0, 0, 0, -4.4421274232050125, 0, 0})};
    return e;
}

TEST(Envelope, TcbTestVectorsFromALightWaveScene) {
    const Envelope e = LightWaveChannel();
    const std::pair<int, double> expected[] = {{0, 0.0},       {5, 0.669929},  {10, 1.441624}, {15, 2.009786},
                                               {20, 2.069113}, {30, 0.254192}, {40, -2.374866}, {50, -2.374866}};
    for (const auto& [frame, value] : expected) EXPECT_NEAR(Evaluate(e, frame / 30.0), value, 5e-7) << "frame " << frame;
}

Envelope LinearRamp(Behavior behavior, double t0 = 0.0) {
    Envelope e;
    e.keys = {Key(0, t0, SpanType::Linear), Key(10, t0 + 1, SpanType::Linear)};
    e.pre = e.post = behavior;
    return e;
}

TEST(Envelope, BehavioursOutsideTheKeys) {
    struct Case {
        Behavior behavior;
        double after[3];   // at 1.25, 1.75, 2.25
        double before[2];  // at -0.25, -1.25
    };
    const Case cases[] = {
        {Behavior::Repeat, {2.5, 7.5, 2.5}, {7.5, 7.5}},
        {Behavior::Oscillate, {7.5, 2.5, 2.5}, {2.5, 7.5}},
        {Behavior::OffsetRepeat, {12.5, 17.5, 22.5}, {-2.5, -12.5}},
        {Behavior::Linear, {12.5, 17.5, 22.5}, {-2.5, -12.5}},
        {Behavior::Constant, {10, 10, 10}, {0, 0}},
        {Behavior::Reset, {0, 0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        const Envelope e = LinearRamp(c.behavior);
        const double after[] = {1.25, 1.75, 2.25}, before[] = {-0.25, -1.25};
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(Evaluate(e, after[i]), c.after[i], 1e-12) << static_cast<int>(c.behavior);
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(Evaluate(e, before[i]), c.before[i], 1e-12) << static_cast<int>(c.behavior);
    }
}

TEST(Envelope, RepeatAndOscillateWithKeysThatDoNotStartAtZero) {
    // The period counts from the first key, and Oscillate mirrors about the keys' middle.
    EXPECT_NEAR(Evaluate(LinearRamp(Behavior::Repeat, 3.0), 4.25), 2.5, 1e-12);
    EXPECT_NEAR(Evaluate(LinearRamp(Behavior::Repeat, 3.0), 2.75), 7.5, 1e-12);
    EXPECT_NEAR(Evaluate(LinearRamp(Behavior::Oscillate, 3.0), 4.25), 7.5, 1e-12);
    EXPECT_NEAR(Evaluate(LinearRamp(Behavior::Oscillate, 3.0), 5.25), 2.5, 1e-12);
    EXPECT_NEAR(Evaluate(LinearRamp(Behavior::OffsetRepeat, 3.0), 5.25), 22.5, 1e-12);
}

TEST(Envelope, EverySpanType) {
    auto span = [](SpanType shape, std::array<double, 6> p0, std::array<double, 6> p1) {
        Envelope e;
        e.keys = {Key(1, 0, shape, p0), Key(3, 2, shape, p1)};
        return e;
    };
    // Linear and stepped.
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::Linear, {}, {}), 0.5), 1.5);
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::Stepped, {}, {}), 1.99), 1.0);
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::Stepped, {}, {}), 2.0), 3.0);
    // Hermite: out tangent p5 of the first key, in tangent p4 of the second, at u = 1/4.
    const double u = 0.25, h1 = 2 * u * u * u - 3 * u * u + 1, h2 = -2 * u * u * u + 3 * u * u,
                 h3 = u * u * u - 2 * u * u + u, h4 = u * u * u - u * u;
    const double hermite = h1 * 1 + h2 * 3 + h3 * 5 + h4 * (-4);
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::Hermite, {0, 0, 0, 0, 5, 0}, {0, 0, 0, -4, 0, 0}), 0.5), hermite);
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::Bezier1D, {0, 0, 0, 0, 5, 0}, {0, 0, 0, -4, 0, 0}), 0.5), hermite);
    // TCB without neighbours, T = C = B = 0: both tangents are the span's difference, 2.
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::TCB, {}, {}), 0.5), h1 * 1 + h2 * 3 + h3 * 2 + h4 * 2);
    // Tension 1 flattens both tangents.
    EXPECT_DOUBLE_EQ(Evaluate(span(SpanType::TCB, {1, 0, 0}, {1, 0, 0}), 0.5), h1 * 1 + h2 * 3);
    // 2-D Bezier with handles a third of the way along the line: the curve is the line.
    const Envelope bezier = span(SpanType::Bezier2D, {0, 0, 2.0 / 3, 2.0 / 3, 0, 0}, {-2.0 / 3, -2.0 / 3, 0, 0, 0, 0});
    for (double t : {0.1, 0.5, 1.3, 1.9}) EXPECT_NEAR(Evaluate(bezier, t), 1 + t, 2e-4);
    // After a key of another shape, the first handle is a third of the span with its out tangent.
    const Envelope mixed = [] {
        Envelope e;
        e.keys = {Key(1, 0, SpanType::Hermite, {0, 0, 0, 0, 2, 0}), Key(3, 2, SpanType::Bezier2D, {-2.0 / 3, -2.0 / 3})};
        return e;
    }();
    EXPECT_NEAR(Evaluate(mixed, 1.0), 2.0, 2e-4);
}

// Keys at uneven times, so that both tangents scale by their neighbours' spacing. Each case sets
// one of tension, continuity or bias on one key; the values come from the tangent table of the
// format notes: key 0 has only an outgoing tangent without a previous key, key 3 only an incoming
// one without a next key, keys 1 and 2 both, with neighbours.
TEST(Envelope, EachTcbTermOfBothTangents) {
    struct Case {
        int key, term;
        double value;
        double at[3];  // at t = 0.5, 2, 3.5
    };
    const Case cases[] = {
        {0, 0, 0.5, {1.0833333333333333, 1.3333333333333333, 2.625}},
        {0, 1, -0.4, {1.3083333333333333, 1.3333333333333333, 2.625}},
        {0, 2, 0.2, {1.1583333333333332, 1.3333333333333333, 2.625}},
        {1, 0, 0.5, {1.2291666666666667, 1.2916666666666667, 2.625}},
        {1, 1, -0.4, {1.1583333333333334, 1.2333333333333334, 2.625}},
        {1, 2, 0.2, {1.1833333333333333, 1.3833333333333333, 2.625}},
        {2, 0, 0.5, {1.2083333333333333, 1.4583333333333333, 2.5625}},
        {2, 1, -0.4, {1.2083333333333333, 1.5, 2.7083333333333335}},
        {2, 2, 0.2, {1.2083333333333333, 1.4166666666666665, 2.5833333333333335}},
        {3, 0, 0.5, {1.2083333333333333, 1.3333333333333333, 2.875}},
        {3, 1, -0.4, {1.2083333333333333, 1.3333333333333333, 2.4249999999999998}},
        {3, 2, 0.2, {1.2083333333333333, 1.3333333333333333, 2.5249999999999999}},
    };
    for (const Case& c : cases) {
        Envelope e;
        e.keys = {Key(0, 0, SpanType::TCB), Key(2, 1, SpanType::TCB), Key(1, 3, SpanType::TCB), Key(5, 4, SpanType::TCB)};
        e.keys[c.key].p[c.term] = c.value;
        const double t[] = {0.5, 2, 3.5};
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(Evaluate(e, t[i]), c.at[i], 1e-13) << "key " << c.key << " term " << c.term << " t " << t[i];
        }
    }
}

TEST(Envelope, DegenerateEnvelopes) {
    EXPECT_EQ(Evaluate(Envelope{}, 3.0), 0.0);
    Envelope one;
    one.keys = {Key(4.5, 1.0, SpanType::TCB)};
    one.pre = one.post = Behavior::Reset;
    EXPECT_EQ(Evaluate(one, -7.0), 4.5);
    Envelope same_time;
    same_time.keys = {Key(1, 1, SpanType::Linear), Key(2, 1, SpanType::Linear)};
    same_time.post = Behavior::Repeat;
    EXPECT_TRUE(std::isfinite(Evaluate(same_time, 5.0)));
}

using testing::ReadText;

TEST(MotionV3, SameMotionAsTheVersionOneSample) {
    const auto v1 = ReadText(testing::ReadFile(testing::DataDir() / "emitter_v1.mot"));
    const auto v3 = ReadText(testing::ReadFile(testing::DataDir() / "emitter_v3.mot"));
    ASSERT_TRUE(v1->table);
    ASSERT_TRUE(v3->table) << v3->sink.messages.at(0);
    EXPECT_EQ(v3->state.LastMotionFrame, 30);
    EXPECT_EQ(v3->state.no_info_channels, 9u);
    ASSERT_EQ(v1->table->size(), v3->table->size());
    for (std::size_t j = 0; j < v1->table->size(); ++j) {
        for (int c = 0; c < 9; ++c) {
            EXPECT_NEAR((*v1->table)[j].value[c], (*v3->table)[j].value[c], 1e-3) << "frame " << j << " channel " << c;
        }
    }
    EXPECT_NEAR((*v3->table)[10].value[3], 90.0, 1e-3);  // 1.5708 radians in degrees
}

constexpr const char* kHeader = "LWMO\n3\n\nNumChannels 9\n";

std::string Channel(int i, const std::string& keys, int count, const std::string& behaviours = "1 1") {
    return "Channel " + std::to_string(i) + "\n{ Envelope\n  " + std::to_string(count) + "\n" + keys +
           "  Behaviors " + behaviours + "\n}\n";
}

TEST(MotionV3, MissingChannelsLateKeysAndUnknownBlocks) {
    const std::string text = std::string(kHeader) + "{ Plugin ChannelHandler 1 Noise\n  { Nested\n  }\n}\n" +
                             Channel(0, "  Key 2 0.5 3 0 0 0 0 0 0\n  { Extra\n    1 2 3\n  }\n  Key 4 1 3 0 0 0 0 0 0\n", 2) +
                             "Unknown line 1 2 3\n" + Channel(3, "  Key 3.14159265358979 0 3 0 0 0 0 0 0\n", 1);
    const auto r = ReadText(text);
    ASSERT_TRUE(r->table) << r->sink.messages.at(0);
    ASSERT_EQ(r->table->size(), 25u);  // 1 s at 24 frames per second
    EXPECT_EQ((*r->table)[0].value[0], 2.0);  // the Constant pre-behaviour holds the late first key
    EXPECT_EQ((*r->table)[11].value[0], 2.0);
    EXPECT_NEAR((*r->table)[18].value[0], 3.0, 1e-12);
    EXPECT_NEAR((*r->table)[24].value[3], 180.0, 1e-9);
    EXPECT_EQ((*r->table)[5].value[1], 0.0);  // missing position: 0
    EXPECT_EQ((*r->table)[5].value[7], 1.0);  // missing scale: 1
}

TEST(MotionV3, RefusesMalformedFiles) {
    const std::pair<std::string, std::string> cases[] = {
        {"LWMO\n3\n\n", "The motion file has\nno NumChannels line"},
        {"LWMO\n3\nNumChannels x\n", "Motion file line 3:\nmalformed NumChannels"},
        {"LWMO\n3\nChannel 0\n", "Motion file line 3:\na channel comes before NumChannels"},
        {std::string(kHeader) + "Channel 9\n", "Motion file line 5:\nchannel number out of range"},
        {std::string(kHeader) + "Channel 0\nChannel 1\n", "Motion file line 6:\nchannel 0 has no envelope"},
        {std::string(kHeader) + "Channel 0\n", "Motion file line 5:\nchannel 0 has no envelope"},
        {std::string(kHeader) + Channel(0, "  Key 1 0 3 0 0 0 0 0 0\n", 1) + Channel(0, "  Key 1 0 3 0 0 0 0 0 0\n", 1),
         "Motion file line 11:\nchannel 0 is given twice"},
        {std::string(kHeader) + Channel(0, "  Key 1 zero 3 0 0 0 0 0 0\n", 1), "Motion file line 8:\nmalformed key"},
        {std::string(kHeader) + Channel(0, "  Key 1 0 3 0 0 0 0 0\n", 1), "Motion file line 8:\nmalformed key"},
        {std::string(kHeader) + Channel(0, "  Key 1 0 9 0 0 0 0 0 0\n", 1), "Motion file line 8:\nunknown span type 9"},
        {std::string(kHeader) + Channel(0, "  Key 1 1 3 0 0 0 0 0 0\n  Key 1 0 3 0 0 0 0 0 0\n", 2),
         "Motion file line 9:\nkeys are not in time order"},
        {std::string(kHeader) + Channel(0, "  Key 1 0 3 0 0 0 0 0 0\n", 2),
         "Motion file line 10:\nan envelope declares 2 keys but holds 1"},
        {std::string(kHeader) + Channel(0, "  Key 1 0 3 0 0 0 0 0 0\n", 1, "1 7"), "Motion file line 9:\nmalformed behaviours"},
        {std::string(kHeader) + "Channel 0\n{ Envelope\n  1\n  Key 1 0 3 0 0 0 0 0 0\n",
         "Motion file line 8:\nan envelope is not closed"},
        {std::string(kHeader) + "{ Plugin\n", "Motion file line 5:\na block is not closed"},
        {std::string(kHeader) + "}\n", "Motion file line 5:\na block closes that was never opened"},
        {std::string(kHeader) + Channel(0, "  Key 1 1e12 3 0 0 0 0 0 0\n", 1), "Motion file line 10:\nthe motion lasts too long"},
    };
    for (const auto& [text, message] : cases) {
        const auto r = ReadText(text);
        EXPECT_FALSE(r->table) << text;
        EXPECT_EQ(r->sink.messages, std::vector<std::string>{message}) << text;
    }
}

// What the header and the keys may hold, which channels are angles, and how long the table is
// when the last key falls between two frames. Each key value is pi, so a channel read as an
// angle shows 180 degrees.
TEST(MotionV3, BoundsAnglesAndLength) {
    auto file = [](const std::string& channels, const std::string& shape, const std::string& time) {
        std::string text = "LWMO\n3\n\nNumChannels " + channels + "\n";
        for (int c = 0; c < 9; ++c) {
            text += Channel(c, "  Key 3.14159265358979 " + time + " " + shape + " 0 0 0 0 0 0\n", 1);
        }
        return text;
    };
    struct Case {
        std::string text;
        std::size_t entries;  // 0: refused with `message`
        std::string message;
    };
    const Case cases[] = {
        {file("9", "3", "0"), 1, ""},
        {file("0", "3", "0"), 0, "Motion file line 4:\nmalformed NumChannels"},
        {file("1000", "3", "0"), 1, ""},
        {file("1001", "3", "0"), 0, "Motion file line 4:\nmalformed NumChannels"},
        {file("9", "0", "0"), 1, ""},
        {file("9", "5", "0"), 1, ""},
        {file("9", "-1", "0"), 0, "Motion file line 8:\nunknown span type -1"},
        {file("9", "6", "0"), 0, "Motion file line 8:\nunknown span type 6"},
        {file("9", "3", "0.5"), 13, ""},    // 12 frames
        {file("9", "3", "0.52"), 13, ""},   // 12.48 frames
        {file("9", "3", "0.53"), 14, ""},   // 12.72 frames
    };
    for (const Case& c : cases) {
        const auto r = ReadText(c.text);
        if (c.entries == 0) {
            EXPECT_FALSE(r->table) << c.text;
            EXPECT_EQ(r->sink.messages, std::vector<std::string>{c.message});
            continue;
        }
        ASSERT_TRUE(r->table) << r->sink.messages.at(0);
        EXPECT_EQ(r->table->size(), c.entries);
        EXPECT_EQ(r->state.LastMotionFrame, static_cast<std::int32_t>(c.entries - 1));
        const auto& last = r->table->back().value;
        for (int ch = 0; ch < 9; ++ch) {
            EXPECT_NEAR(last[ch], ch >= 3 && ch <= 5 ? 180.0 : 3.14159265358979, 1e-9) << "channel " << ch;
        }
    }
}

// Only version 3 takes the envelope grammar; every other version is read as version 1.
TEST(MotionV3, OnlyVersionThreeIsReadAsEnvelopes) {
    for (const char* version : {"0", "1", "2", "3", "4", "30"}) {
        const bool three = std::string(version) == "3";
        const auto v1 = ReadText(std::string("LWMO\n") + version + "\n9\n1\n1 2 3 4 5 6 7 8 9\n0 1 0 0 0\n");
        EXPECT_EQ(v1->table.has_value(), !three) << version;
        const auto v3 = ReadText(std::string("LWMO\n") + version + "\n\nNumChannels 1\n" +
                                 Channel(0, "  Key 1 0 3 0 0 0 0 0 0\n", 1));
        EXPECT_EQ(v3->table.has_value(), three) << version;
    }
}

TEST(MotionV3, EveryTruncationIsHandled) {
    const std::string text = testing::ReadFile(testing::DataDir() / "emitter_v3.mot");
    for (std::size_t length = 0; length < text.size(); ++length) {
        const auto r = ReadText(text.substr(0, length));
        if (r->table) {
            EXPECT_EQ(r->table->size(), static_cast<std::size_t>(r->state.LastMotionFrame) + 1);
        } else {
            EXPECT_EQ(r->sink.messages.size(), 1u) << length;
        }
    }
}

}  // namespace
}  // namespace vexo
