#include <gtest/gtest.h>

#include "engine/simulation/random.hpp"

namespace vexo {
namespace {

TEST(Random, FirstSixResultsOfAProgramRun) {
    Random random;
    const std::uint32_t expected[] = {1103527590u, 377401576u, 662824084u, 1147902782u, 2035015475u, 368800900u};
    for (std::uint32_t value : expected) EXPECT_EQ(random.rand(), value);
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
