// The text of version 3 scenes. (The version 1 text is held by the golden scenes of the whole engine.)
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vexo
