#include <gtest/gtest.h>

#include <random>

#include "engine/simulation/random.hpp"

namespace vexo {
namespace {

TEST(Random, FirstResultsOfAProgramRunAndJumps) {
    Random random;
    for (std::uint32_t value : {1103527590u, 377401576u, 662824084u, 1147902782u, 2035015475u, 368800900u}) {
        EXPECT_EQ(random.rand(), value);
    }
    std::mt19937 gen(5);
    for (int round = 0; round < 50; ++round) {
        const std::uint32_t start = gen();
        const std::uint64_t steps = gen() % 3000;
        Random stepped;
        stepped.set_state(start);
        for (std::uint64_t i = 0; i < steps; ++i) stepped.rand();
        EXPECT_EQ(Random::Advance(start, steps), stepped.state());
        EXPECT_EQ(Random::NextValue(start), (stepped.set_state(start), stepped.rand()));
    }
    // Far jumps compose: 2^40 steps in one go equals two jumps of 2^39.
    EXPECT_EQ(Random::Advance(1, 1ull << 40), Random::Advance(Random::Advance(1, 1ull << 39), 1ull << 39));
}

TEST(Random, ReturnsTheStateModulo2147483647) {
    // Find the state whose successor is exactly 2^31 - 1 (and 2^32 - 1): rand() must return 0
    // and 1 there, not the raw state.
    std::uint32_t inverse = Random::kMultiplier;  // Newton's iteration for the inverse mod 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - Random::kMultiplier * inverse;
    ASSERT_EQ(inverse * Random::kMultiplier, 1u);
    Random random;
    random.set_state((0x7FFFFFFFu - Random::kIncrement) * inverse);
    EXPECT_EQ(random.rand(), 0u);
    random.set_state((0xFFFFFFFFu - Random::kIncrement) * inverse);
    EXPECT_EQ(random.rand(), 1u);
}

}  // namespace
}  // namespace vexo
