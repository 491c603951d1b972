// The text of version 3 scenes. (The version 1 text is held by the golden scenes of the whole engine.)
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "engine/generation/scene_key.hpp"
#include "engine/writers/scene_formats.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

// Every channel in its place and unit (heading, pitch and bank distinct, in radians), linear keys at
// frame / fps, the count of the rising keys (the later key on a frame wins, an earlier frame goes),
// Constant before the first and after the last key; the header at 24 and 30 frames per second.
TEST(SceneText, Version3ObjectsWordForWord) {
    Settings s = DefaultSettings();
    s.first_frame = -2;
    s.frame_step = 3;
    std::string out;
    AppendLwsc3Header(out, s);
    AppendLwsc3Object(out, "p.lwo",
                      {{{1, 2, 3, 30, 20, 10, 0.5, 0.25, 2}, 12},
                       {{9, 9, 9, 9, 9, 9, 9, 9, 9}, 18},
                       {{-1, 0, 4.5, 90, -45, 180, 1, 1, 1}, 18},
                       {{7, 7, 7, 7, 7, 7, 7, 7, 7}, 15}});
    AppendLwsc3Header(out, s, 30);
    AppendLwsc3Object(out, "q.lwo", {{{0, 0, 0, 0, 0, 0, 0, 0, 0}, 3}}, 30);
    EXPECT_TRUE(testing::MatchesGolden(out, "lwsc3_object.lws"));
}

// The guard for values a scene cannot hold, in every channel: NaN of either sign and infinities
// mark the block at the first such key; the largest value a format holds passes, the next one
// beyond it does not. A NaN key at frame 9 follows every case: only the first bad frame counts.
TEST(BlockBuilder, KeysTheSceneCannotHoldMarkTheBlock) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kDouble = std::numeric_limits<double>::max();
    constexpr double kFloat = std::numeric_limits<float>::max();
    const struct {
        const char* what;
        double limit;
        int channel;  // x y z heading pitch bank, scale x y z
        double value;
        std::int32_t bad;
    } cases[] = {
        {"NaN in x", kDouble, 0, kNan, 7},
        {"negative NaN in bank", kDouble, 5, -kNan, 7},
        {"NaN in scale z, glTF", kFloat, 8, kNan, 7},
        {"NaN in pitch, glTF", kFloat, 4, kNan, 7},
        {"infinity in heading", kDouble, 3, kInf, 7},
        {"minus infinity in y, glTF", kFloat, 1, -kInf, 7},
        {"the largest double in z", kDouble, 2, -kDouble, 9},
        {"the largest float in scale x, glTF", kFloat, 6, kFloat, 9},
        {"just beyond a float in scale y, glTF", kFloat, 7, std::nextafter(kFloat, kInf), 7},
    };
    double Particle::*const channels[] = {&Particle::x,       &Particle::y,       &Particle::z,
                                          &Particle::heading, &Particle::pitch,   &Particle::bank,
                                          &Particle::scale_x, &Particle::scale_y, &Particle::scale_z};
    for (const auto& c : cases) {
        for (const BlockForm form : {BlockForm::Keys, BlockForm::Lwsc1, BlockForm::Gltf}) {
            Block block;
            const BlockStyle style{form, "p.lwo", 9, c.limit, 30, {}};
            BlockBuilder builder(block, style);
            builder.Start();
            Particle fine, odd, nan;
            builder.Add(fine, 3);
            odd.*channels[c.channel] = c.value;
            builder.Add(odd, 7);
            nan.x = kNan;
            builder.Add(nan, 9);
            builder.Finish();
            EXPECT_EQ(block.bad_frame, std::optional<std::int32_t>(c.bad)) << c.what;
        }
    }
}

}  // namespace
}  // namespace vexo
