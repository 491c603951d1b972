#include <gtest/gtest.h>

#include <cmath>

#include "engine/motion/envelope.hpp"
#include "engine/motion/motion.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadText;

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

}  // namespace
}  // namespace vexo
