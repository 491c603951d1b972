// The preview's numbers against the keys of a written scene, and the interpolation between keys.
#include "preview/stream.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_format.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/mesh_geometry.hpp"
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

// With an emitter and a collision mesh the stream carries both and the parent's whole pose along
// the path (that the views hold the meshes: views_test.cpp).
TEST(PreviewMeshes, TheStreamCarriesTheMeshesAndTheParentsPose) {
    TempDir dir;
    Settings s = SceneSettings(
        dir, "LWMO\n1\n9\n2\n0 1 0 0 0 0 1 1 1\n0 1 0 0 0\n4 3 -2 90 30 10 2 1 3\n20 1 0 0 0\n");
    for (const char* a : {"num_particles=4", "particles_per_frame=1", "last_frame=20", "emit_from=vertices"})
        ASSERT_TRUE(AssignSetting(s, a).ok) << a;
    ASSERT_TRUE(SetPathText(s.emitter_object, (DataDir() / "wedge.obj").string()));
    ASSERT_TRUE(SetPathText(s.collision_object, (DataDir() / "tilted_plane.obj").string()));
    EngineState state;
    ScriptedHook hook;
    Stream stream;
    ASSERT_EQ(ComputeStream(s, state, hook, stream).report.outcome, WriteOutcome::Complete);
    ASSERT_TRUE(stream.emitter_mesh && stream.collision_mesh);
    const auto motion = ReadText(ReadFile(dir.path("motion.mot")));
    for (std::int32_t f = 1; f <= 20; ++f) {
        const auto& m = (*motion->table)[static_cast<std::size_t>(f - 1)].value;
        const EmitterPose pose = EmitterPoseAt(stream, f);
        EXPECT_EQ((std::array<double, 9>{pose.position.x, pose.position.y, pose.position.z, pose.heading,
                                         pose.pitch, pose.bank, pose.scale.x, pose.scale.y, pose.scale.z}),
                  m)
            << "frame " << f;
    }
}

// The L prism's outline, worked by hand: seen from the front (along +z, or from an eye far in
// front) the L of the cap that faces the camera; posed, what the mesh shows to the view taken
// back through the pose; flattened by a size of 0, nothing.
TEST(PreviewMeshes, OutlinesAreBordersBetweenFacesTowardsAndAway) {
    const auto mesh = std::make_shared<TriangleMesh>(LoadMesh(DataDir() / "ell.obj"));
    const MeshOutline outline(mesh);
    using Segments = std::set<std::array<double, 6>>;
    // Rounded to 1e-9 (and -0 to 0), each segment from its lesser end.
    auto add = [](Segments& out, Vector3 a, Vector3 b) {
        for (Vector3* p : {&a, &b})
            *p = {std::round(p->x * 1e9) / 1e9 + 0.0, std::round(p->y * 1e9) / 1e9 + 0.0,
                  std::round(p->z * 1e9) / 1e9 + 0.0};
        if (std::tie(b.x, b.y, b.z) < std::tie(a.x, a.y, a.z)) std::swap(a, b);
        out.insert({a.x, a.y, a.z, b.x, b.y, b.z});
    };
    auto segments = [&](const MeshOutline::Viewer& viewer, const EmitterPose& pose) {
        Segments out;
        for (const auto& [a, b] : outline.Segments(viewer, pose)) add(out, a, b);
        return out;
    };
    const Segments front{{0, 0, -1, 2, 0, -1}, {2, 0, -1, 2, 1, -1}, {1, 1, -1, 2, 1, -1},
                         {1, 1, -1, 1, 2, -1}, {0, 2, -1, 1, 2, -1}, {0, 0, -1, 0, 2, -1}};
    EXPECT_EQ(segments({{0, 0, 1}, false, {}}, {}), front);
    EXPECT_EQ(segments({{0, 0, 1}, true, {0.5, 0.5, -1000}}, {}), front);  // an eye far in front
    // Posed and seen along d, or from an eye: the outline of the mesh as it stands, seen along d
    // (or from the eye) taken back through the pose (M^-1), then placed by the pose; a mirroring
    // size changes nothing.
    const Vector3 d{0.3, -0.5, 1}, eye{-4, 9, -7};
    const EmitterPose pose{{1, 2, 3}, 30, 20, 10, {2, 0.5, -1.5}};
    const Matrix3 m = PoseMatrix(pose.heading, pose.pitch, pose.bank, pose.scale);
    for (const bool perspective : {false, true}) {
        Segments expected;
        for (const auto& s : segments({Solve(m, d), perspective, Solve(m, eye - pose.position)}, {})) {
            add(expected, Apply(m, {s[0], s[1], s[2]}) + pose.position,
                Apply(m, {s[3], s[4], s[5]}) + pose.position);
        }
        EXPECT_EQ(segments({d, perspective, eye}, pose), expected);
        EXPECT_GT(expected.size(), 6u);
    }
    EXPECT_TRUE(outline.Segments({{0, 0, 1}, false, {}}, {{}, 0, 0, 0, {1, 0, 1}}).empty());
}

}  // namespace
}  // namespace vexo::preview
