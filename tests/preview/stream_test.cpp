// The preview's numbers against the keys of a written scene, and the interpolation between keys.
#include "preview/stream.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_format.hpp"
#include "prefs/settings_text.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::preview {
namespace {

using namespace vexo::testing;

constexpr const char* kMotion =
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 0 30 0 0 1 1 1\n12 1 0 0 0\n-2 1 3 90 0 0 1 1 1\n40 1 "
    "0 0 0\n";

// Every object block of a written scene: its key lines as "v0 ... v8 frame " by frame, of two
// keys on one frame the later.
std::vector<std::map<std::int32_t, std::string>> SceneKeys(const std::string& text) {
    std::vector<std::map<std::int32_t, std::string>> objects;
    std::istringstream in(text);
    for (std::string line, channels, count; std::getline(in, line);) {
        if (!line.starts_with("ObjectMotion")) continue;
        std::getline(in, channels);
        std::getline(in, count);
        objects.emplace_back();
        for (int k = std::stoi(count); k > 0 && std::getline(in, line); --k) {
            std::istringstream words(line);
            std::string key, word;
            for (int w = 0; w < 10 && words >> word; ++w) key += word + " ";
            objects.back()[std::stoi(word)] = key;
        }
    }
    return objects;
}

class PreviewAgainstScene : public ::testing::TestWithParam<const char*> {};

// Every key of every object of the written scene is what the preview gives at that frame, to
// the last written digit, and a particle is visible in the preview exactly when its key has a
// scale other than 0. A case is its name, then the settings that make it.
TEST_P(PreviewAgainstScene, EveryKeyOfTheSceneIsWhatThePreviewShows) {
    TempDir dir;
    Settings s = SceneSettings(dir, kMotion);
    std::istringstream words(
        std::string(GetParam()) +
        " num_particles=14 particles_per_frame=2 last_frame=48 velocity=0.4 velocity_variation=30"
        " heading_spread=360 pitch_angle=50 pitch_spread=30 gravity=3 ground_bounce=on"
        " elasticity=0.6 limited_lifespan=on lifespan=9 use_creation_delay=on creation_delay=2"
        " particle_grow=on start_size=0.5 end_size=1.5");
    std::string a;
    for (words >> a; words >> a;) ASSERT_TRUE(AssignSetting(s, a).ok) << a;

    // Both start from the same engine state: a generation already run in this program.
    EngineState state;
    RecordingSink sink;
    ScriptedHook hook;
    CreateScene(s, state, sink, hook);
    EngineState for_preview = state;
    ASSERT_EQ(CreateScene(s, state, sink, hook).outcome, WriteOutcome::Complete);
    Stream stream;
    ASSERT_EQ(ComputeStream(s, for_preview, hook, stream).report.outcome, WriteOutcome::Complete);
    EXPECT_EQ(for_preview.random.state(), state.random.state()) << "the preview ran a different generation";

    // The parent's path: the motion's sample at every frame, held after its last key (frame 40).
    const auto motion = ReadText(kMotion);
    ASSERT_EQ(stream.path.size(), static_cast<std::size_t>(s.last_frame - s.first_frame + 1));
    for (std::size_t k = 0; k < stream.path.size(); ++k) {
        const auto& m = (*motion->table)[std::min<std::size_t>(k, 40 - s.first_frame)].value;
        EXPECT_EQ(stream.path[k], (Vec3{m[0], m[1], m[2]})) << "frame " << s.first_frame + k;
    }

    const auto scene = SceneKeys(ReadFile(dir.path("scene.lws")));
    ASSERT_EQ(scene.size(), 14u);
    ASSERT_EQ(stream.objects.size(), 14u);
    std::size_t compared = 0, hidden = 0;
    for (std::size_t i = 0; i < scene.size(); ++i) {
        for (const auto& [frame, key] : scene[i]) {
            if (frame < s.first_frame) continue;
            const auto values = ValuesAt(stream.objects[i], frame);
            std::string shown;
            for (double v : values) AppendFixed(shown, v), shown += ' ';
            ASSERT_EQ(shown + std::to_string(frame) + " ", key) << "object " << i;
            bool in_preview = false;
            for (const ParticleAt& p : ParticlesAt(stream, frame)) in_preview |= p.object == i;
            EXPECT_EQ(in_preview, values[6] != 0) << "object " << i << " frame " << frame;
            hidden += values[6] == 0 ? 1 : 0;
            ++compared;
        }
    }
    EXPECT_GT(compared, 14u * 3);
    EXPECT_GT(hidden, 0u);
}

INSTANTIATE_TEST_SUITE_P(PathModesAndEndings, PreviewAgainstScene,
                         ::testing::Values("LinearRecycle linear_path=on end_behavior=recycle",
                                           "LinearStop linear_path=on end_behavior=stop",
                                           "LinearDestroy linear_path=on end_behavior=destroy",
                                           "NonLinearRecycle linear_path=off end_behavior=recycle",
                                           "NonLinearStop linear_path=off end_behavior=stop",
                                           "NonLinearDestroyEveryThirdFrameFromZero linear_path=off "
                                           "end_behavior=destroy frame_step=3 first_frame=0"),
                         [](const auto& info) {
                             return std::string(info.param, std::strchr(info.param, ' '));
                         });

SceneKey Key(std::int32_t frame, double x, double scale) {
    return SceneKey{{x, 2 * x, -x, 10 * x, 0, 0, scale, scale, scale}, frame};
}

// Linear in frame between keys, the first key before them and the last after them.
TEST(PreviewValues, InterpolateLinearlyInFrameBetweenKeys) {
    const ObjectKeys keys = {Key(10, 0, 0), Key(14, 4, 1), Key(24, -1, 2)};
    const double expected[][3] = {{0, 0, 0},  {10, 0, 0},     {11, 1, 0.25}, {13, 3, 0.75},
                                  {14, 4, 1}, {19, 1.5, 1.5}, {24, -1, 2},   {100, -1, 2}};
    for (const auto& [frame, x, scale] : expected) {
        const auto v = ValuesAt(keys, frame);
        EXPECT_EQ((std::array<double, 4>{v[0], v[1], v[3], v[6]}),
                  (std::array<double, 4>{x, 2 * x, 10 * x, scale}))
            << "frame " << frame;
    }
    EXPECT_EQ(ValuesAt({}, 5), (std::array<double, 9>{}));
}

}  // namespace
}  // namespace vexo::preview
