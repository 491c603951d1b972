#include "engine/simulation/random.hpp"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TEST(Random, FirstResultsOfAProgramRunAndJumps) {
    Random random;
    for (std::uint32_t value : {1103527590u, 377401576u, 662824084u, 1147902782u, 2035015475u, 368800900u}) {
        EXPECT_EQ(random.rand(), value);
    }
    EXPECT_EQ(Random::NextValue(Random::kStartState), 1103527590u);
    Random stepped;
    for (std::uint64_t steps = 0; steps < 70; ++steps, stepped.rand()) {
        EXPECT_EQ(Random::Advance(Random::kStartState, steps), stepped.state()) << steps;
    }
    // Far jumps compose: 2^40 steps in one go equals two jumps of 2^39.
    EXPECT_EQ(Random::Advance(1, 1ull << 40), Random::Advance(Random::Advance(1, 1ull << 39), 1ull << 39));
}

// At the states whose successors are 2^31 - 1 and 2^32 - 1, rand() returns 0 and 1, not the raw
// state.
TEST(Random, ReturnsTheStateModulo2147483647) {
    std::uint32_t inverse = Random::kMultiplier;  // Newton's iteration for the inverse mod 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - Random::kMultiplier * inverse;
    Random random;
    random.set_state((0x7FFFFFFFu - Random::kIncrement) * inverse);
    EXPECT_EQ(random.rand(), 0u);
    random.set_state((0xFFFFFFFFu - Random::kIncrement) * inverse);
    EXPECT_EQ(random.rand(), 1u);
}

}  // namespace
}  // namespace vexo
