// Envelopes evaluated at worked-out times (tests/data/envelope_cases.txt), and the version 3
// sample read as the motion of the version 1 sample.
#include "engine/motion/envelope.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/motion/motion.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

TEST(Envelope, EveryCaseGivesItsWorkedValues) {
    std::istringstream cases(testing::ReadFile(testing::DataDir() / "envelope_cases.txt"));
    Envelope envelope;
    int line_number = 0, checks = 0;
    for (std::string line; std::getline(cases, line);) {
        ++line_number;
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "E") {
            int pre = 0, post = 0;
            words >> pre >> post;
            envelope = Envelope{{}, static_cast<Behavior>(pre), static_cast<Behavior>(post)};
        } else if (tag == "K") {
            EnvelopeKey key;
            int shape = 0;
            words >> key.value >> key.time >> shape;
            key.shape = static_cast<SpanType>(shape);
            for (double& p : key.p) words >> p;  // parameters left out are 0
            envelope.keys.push_back(key);
        } else if (tag == "T") {
            double time = 0, want = 0, tolerance = 1e-12;
            words >> time >> want >> tolerance;
            EXPECT_NEAR(Evaluate(envelope, time), want, tolerance)
                << "envelope_cases.txt line " << line_number;
            ++checks;
        }
    }
    EXPECT_EQ(checks, 77);
}

TEST(MotionV3, SameMotionAsTheVersionOneSample) {
    const auto v1 = testing::ReadText(testing::ReadFile(testing::DataDir() / "emitter_v1.mot"));
    const auto v3 = testing::ReadText(testing::ReadFile(testing::DataDir() / "emitter_v3.mot"));
    ASSERT_TRUE(v1->table);
    ASSERT_TRUE(v3->table) << v3->sink.messages.at(0);
    EXPECT_EQ(v3->state.LastMotionFrame, 30);
    EXPECT_EQ(v3->state.no_info_channels, 9u);
    ASSERT_EQ(v1->table->size(), v3->table->size());
    for (std::size_t j = 0; j < v1->table->size(); ++j) {
        for (int c = 0; c < 9; ++c) {
            EXPECT_NEAR((*v1->table)[j].value[c], (*v3->table)[j].value[c], 1e-3)
                << "frame " << j << " channel " << c;
        }
    }
    EXPECT_NEAR((*v3->table)[10].value[3], 90.0, 1e-3);  // 1.5708 radians in degrees
}

}  // namespace
}  // namespace vexo
