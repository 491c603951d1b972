// The preview's numbers against the keys of a written scene, and the interpolation between keys.
#include "preview/stream.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_format.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::preview {
namespace {

using vexo::testing::ReadFile;
using vexo::testing::TempDir;

constexpr const char* kMotion =
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 0 30 0 0 1 1 1\n12 1 0 0 0\n-2 1 3 90 0 0 1 1 1\n40 1 "
    "0 0 0\n";

// One key line of a written scene: the nine numbers as text, and the frame.
struct TextKey {
    std::array<std::string, 9> values;
    std::int32_t frame;
};

// The key lines of every object block, read back from the scene's text.
std::vector<std::vector<TextKey>> ReadSceneKeys(const std::string& text) {
    std::vector<std::vector<TextKey>> objects;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("ObjectMotion", 0) != 0) continue;
        std::string channels, count;
        std::getline(in, channels);
        std::getline(in, count);
        objects.emplace_back();
        for (int k = std::stoi(count); k > 0 && std::getline(in, line); --k) {
            std::istringstream words(line);
            TextKey key;
            for (std::string& v : key.values) words >> v;
            words >> key.frame;
            objects.back().push_back(key);
        }
    }
    return objects;
}

std::string Fixed(double v) {
    std::string s;
    AppendFixed(s, v);
    return s;
}

struct Case {
    const char* name;
    bool linear;
    EndBehavior end;
    std::int32_t step;
    std::int32_t first = 1;  // 0 gives two keys at frame 0, of which the later counts
};

class PreviewAgainstScene : public ::testing::TestWithParam<Case> {};

// Every key of every object of the written scene is what the preview gives at that frame, to
// the last written digit, and a particle is visible in the preview exactly when its key has a
// scale other than 0.
TEST_P(PreviewAgainstScene, EveryKeyOfTheSceneIsWhatThePreviewShows) {
    const Case c = GetParam();
    TempDir dir;
    Settings s = vexo::testing::SceneSettings(dir, kMotion);
    s.num_particles = 14;
    s.particles_per_frame = 2;
    s.first_frame = c.first;
    s.last_frame = 48;
    s.frame_step = c.step;
    s.velocity = 0.4;
    s.velocity_variation = 30;
    s.heading_spread = 360;
    s.pitch_angle = 50;
    s.pitch_spread = 30;
    s.gravity = 3;
    s.ground_bounce = kFlagTicked;
    s.elasticity = 0.6;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 9;
    s.end_behavior = static_cast<std::int32_t>(c.end);
    s.use_creation_delay = kFlagTicked;
    s.creation_delay = 2;
    s.particle_grow = kFlagTicked;
    s.start_size = 0.5;
    s.end_size = 1.5;
    s.linear_path = c.linear ? 1 : 0;

    // Both start from the same engine state: a generation already run in this program.
    EngineState state;
    vexo::testing::RecordingSink sink;
    vexo::testing::ScriptedHook hook;
    CreateScene(s, state, sink, hook);
    EngineState for_preview = state;
    ASSERT_EQ(CreateScene(s, state, sink, hook).outcome, WriteOutcome::Complete);
    Stream stream;
    const StreamResult result = ComputeStream(s, for_preview, hook, stream);
    ASSERT_EQ(result.report.outcome, WriteOutcome::Complete);
    EXPECT_EQ(for_preview.random.state(), state.random.state()) << "the preview ran a different generation";

    // The parent's path: the motion's sample at every frame, held after its last key (frame 40).
    const auto motion = vexo::testing::ReadText(kMotion);
    ASSERT_EQ(stream.path.size(), static_cast<std::size_t>(s.last_frame - s.first_frame + 1));
    for (std::size_t k = 0; k < stream.path.size(); ++k) {
        const auto& m = (*motion->table)[std::min<std::size_t>(k, 40 - s.first_frame)].value;
        EXPECT_EQ(stream.path[k], (Vec3{m[0], m[1], m[2]})) << "frame " << s.first_frame + k;
    }

    const auto scene = ReadSceneKeys(ReadFile(dir.path("scene.lws")));
    ASSERT_EQ(scene.size(), 14u);
    ASSERT_EQ(stream.objects.size(), 14u);
    std::size_t compared = 0, hidden = 0;
    for (std::size_t i = 0; i < scene.size(); ++i) {
        std::map<std::int32_t, TextKey> by_frame;  // of two keys on one frame the later counts
        for (const TextKey& key : scene[i]) by_frame[key.frame] = key;
        for (const auto& [frame, key] : by_frame) {
            if (frame < s.first_frame) continue;
            const auto values = ValuesAt(stream.objects[i], frame);
            for (std::size_t v = 0; v < 9; ++v) {
                ASSERT_EQ(Fixed(values[v]), key.values[v])
                    << "object " << i << " frame " << frame << " value " << v;
            }
            const bool shown_in_scene = key.values[6] != "0.000000";
            bool shown_in_preview = false;
            for (const ParticleAt& p : ParticlesAt(stream, frame)) shown_in_preview |= p.object == i;
            EXPECT_EQ(shown_in_preview, shown_in_scene) << "object " << i << " frame " << frame;
            hidden += shown_in_scene ? 0 : 1;
            ++compared;
        }
    }
    EXPECT_GT(compared, 14u * 3);
    EXPECT_GT(hidden, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    PathModesAndEndings, PreviewAgainstScene,
    ::testing::Values(Case{"LinearRecycle", true, EndBehavior::Recycle, 1},
                      Case{"LinearStop", true, EndBehavior::Stop, 1},
                      Case{"LinearDestroy", true, EndBehavior::Destroy, 1},
                      Case{"NonLinearRecycle", false, EndBehavior::Recycle, 1},
                      Case{"NonLinearStop", false, EndBehavior::Stop, 1},
                      Case{"NonLinearDestroyEveryThirdFrameFromZero", false, EndBehavior::Destroy, 3, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

SceneKey Key(std::int32_t frame, double x, double scale) {
    return SceneKey{{x, 2 * x, -x, 10 * x, 0, 0, scale, scale, scale}, frame};
}

// Linear in frame between keys, the first key before them and the last after them.
TEST(PreviewValues, InterpolateLinearlyInFrameBetweenKeys) {
    const ObjectKeys keys = {Key(10, 0, 0), Key(14, 4, 1), Key(24, -1, 2)};
    struct {
        double frame, x, scale;
    } const expected[] = {{0, 0, 0},  {10, 0, 0},     {11, 1, 0.25}, {13, 3, 0.75},
                          {14, 4, 1}, {19, 1.5, 1.5}, {24, -1, 2},   {100, -1, 2}};
    for (const auto& e : expected) {
        const auto v = ValuesAt(keys, e.frame);
        EXPECT_DOUBLE_EQ(v[0], e.x) << "frame " << e.frame;
        EXPECT_DOUBLE_EQ(v[1], 2 * e.x) << "frame " << e.frame;
        EXPECT_DOUBLE_EQ(v[3], 10 * e.x) << "frame " << e.frame;
        EXPECT_DOUBLE_EQ(v[6], e.scale) << "frame " << e.frame;
    }
    EXPECT_EQ(ValuesAt({}, 5), (std::array<double, 9>{}));
}

// The bounds hold the visible stretches only: a hidden key far away (a particle's leftover
// position before it is born) does not stretch the picture.
TEST(PreviewValues, BoundsCoverWhatIsVisibleInTheRange) {
    Stream stream;
    stream.first_frame = 1;
    stream.last_frame = 20;
    stream.objects = {{Key(0, 500, 0), Key(1, 3, 0), Key(2, 4, 1), Key(6, 8, 1), Key(7, -300, 0)},
                      {Key(25, 99, 1)}};  // shown only after the range, held before it
    stream.path = {{0, 0, 0}, {1, 0, 0}};
    ComputeBounds(stream);
    ASSERT_FALSE(stream.bounds.empty);
    EXPECT_EQ(stream.bounds.min, (Vec3{0, 0, -99}));
    EXPECT_EQ(stream.bounds.max, (Vec3{99, 198, 0}));
    EXPECT_DOUBLE_EQ(stream.largest_size, 1);
    EXPECT_EQ(ParticlesAt(stream, 1).size(), 1u);  // the held key of the second object
    EXPECT_EQ(ParticlesAt(stream, 3).size(), 2u);
    EXPECT_EQ(EmitterAt(stream, 2), (Vec3{1, 0, 0}));
    EXPECT_EQ(EmitterAt(stream, 50), (Vec3{1, 0, 0}));
}

// An unreadable motion or a refused range gives the engine's message and no stream.
TEST(PreviewValues, FailuresGiveTheEnginesMessages) {
    TempDir dir;
    Settings s = vexo::testing::SceneSettings(dir, kMotion);
    s.num_particles = 2;
    SetPathText(s.parent_motion, dir.str("missing.mot"));
    vexo::testing::ScriptedHook hook;
    EngineState state;
    Stream stream;
    StreamResult r = ComputeStream(s, state, hook, stream);
    EXPECT_EQ(r.report.result, SceneResult::MotionFileError);
    EXPECT_EQ(r.messages, std::vector<std::string>{motion_text::kCannotOpen});
    s = vexo::testing::SceneSettings(dir, kMotion);
    s.frame_step = 0;
    r = ComputeStream(s, state, hook, stream);
    EXPECT_EQ(r.report.outcome, WriteOutcome::Refused);
    EXPECT_EQ(r.messages, std::vector<std::string>{scene_text::kZeroFrameStep});
    EXPECT_TRUE(stream.objects.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path("scene.lws")));
}

}  // namespace
}  // namespace vexo::preview
