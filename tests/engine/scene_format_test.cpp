#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "engine/writers/scene_format.hpp"

namespace vexo {
namespace {

std::string Printf(double v) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", v);
    return buffer;
}

std::string Fixed(double v) {
    std::string out;
    AppendFixed(out, v);
    return out;
}

TEST(FixedFormat, MatchesPrintfOnSpecialAndHalfwayValues) {
    using limits = std::numeric_limits<double>;
    const double specials[] = {0.0, -0.0, 1.0, -1.0, 0.5, 0.0000005, 0.0000015, 0.0000025, -0.0000005, 1.0000005,
                               2.5e-7, 123456.7890125, 1e15 + 0.5, 9007199254740993.0, 1e300,
                               -1.7976931348623157e308, limits::denorm_min(), limits::infinity(), -limits::infinity(),
                               limits::quiet_NaN(), -limits::quiet_NaN()};
    for (double v : specials) EXPECT_EQ(Fixed(v), Printf(v)) << std::bit_cast<std::uint64_t>(v);
    EXPECT_EQ(Fixed(-1.7976931348623157e308).size(), 317u);  // the longest "%f" text
}

// Values of every kind: random bit patterns (all magnitudes, subnormals, negative zero,
// infinities and NaNs among them), scene-sized numbers, and exact halfway cases.
TEST(FixedFormat, MatchesPrintfOnRandomValues) {
    std::mt19937_64 gen(1206);
    std::uniform_real_distribution<double> scene(-1000.0, 1000.0);
    std::uniform_int_distribution<int> exponent(-30, 60);
    for (int i = 0; i < 100000; ++i) {
        const double values[] = {
            std::bit_cast<double>(gen()),
            scene(gen),
            // k + 0.5 millionths, exactly representable when scaled by a power of two.
            std::ldexp(static_cast<double>(gen() % (1ull << 40)) * 2 + 1, -21),
            std::ldexp(static_cast<double>(gen() % 1000000), exponent(gen)),
        };
        for (double v : values) ASSERT_EQ(Fixed(v), Printf(v)) << std::bit_cast<std::uint64_t>(v);
    }
}

TEST(SceneText, HeaderObjectAndKeyLine) {
    Settings s = DefaultSettings();
    std::string out;
    AppendSceneHeader(out, s);
    EXPECT_EQ(out, "LWSC\n1\n\nFirstFrame 1\nLastFrame 30\nFrameStep 1\nFramesPerSecond 24.000000\n\n");
    out.clear();
    AppendObjectStart(out, "Objects/drop.lwo", 9, 31);
    EXPECT_EQ(out, "LoadObject Objects/drop.lwo\nShowObject 7 7\nObjectMotion (unnamed)\n  9\n  31\n");
    out.clear();
    Particle p;
    p.x = 1.5;
    p.y = -2.25;
    p.z = 1e-7;
    p.heading = 191.8976593017578;
    p.scale_x = p.scale_y = p.scale_z = 1.0;
    AppendKeyLine(out, p, -3);
    EXPECT_EQ(out,
              "  1.500000 -2.250000 0.000000 191.897659 0.000000 0.000000 1.000000 1.000000 1.000000 -3 1 0.0 "
              "0.0 0.0\n");
    out.clear();
    AppendObjectEnd(out);
    EXPECT_EQ(out, "EndBehavior 1\nShadowOptions 2\n\n");
}

}  // namespace
}  // namespace vexo
