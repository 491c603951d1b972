// Animated scene files as the parent motion: world transforms turned into the nine channels
// (tests/data/world_channels_cases.txt), node hierarchies sampled, the choice of the node, every
// message, and Vexo's own glTF read back as the keys of its version 1 scene.
#include "engine/motion/scene_motion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/motion/world_channels.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::RecordingSink;
using testing::TempDir;

// The nine channels within `tolerance`, angles up to whole turns.
void ExpectChannels(const MotionFrame& got, const std::array<double, 9>& want, double tolerance,
                    const std::string& where) {
    for (int c = 0; c < 9; ++c) {
        const double gap =
            c >= 3 && c <= 5 ? std::remainder(got.value[c] - want[c], 360.0) : got.value[c] - want[c];
        EXPECT_NEAR(gap, 0.0, tolerance) << where << " channel " << c;
    }
}

TEST(WorldChannels, EveryCaseGivesItsChannels) {
    std::istringstream cases(testing::ReadFile(DataDir() / "world_channels_cases.txt"));
    int count = 0;
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::array<double, 19> v{};
        for (double& x : v) words >> x;
        ASSERT_FALSE(words.fail()) << line;
        const Quaternion rotation{v[3], v[4], v[5], v[6]};
        std::array<double, 9> want;
        std::copy(v.begin() + 10, v.end(), want.begin());
        ExpectChannels(ChannelsOfWorld(Compose({v[0], v[1], v[2]}, rotation, {v[7], v[8], v[9]}), rotation),
                       want, 1e-9, line);
        ++count;
    }
    EXPECT_EQ(count, 16);
}

TEST(WorldChannels, InvertTheGltfWritersRotation) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> turn(-179.9, 180.0), tilt(-89.0, 89.0);
    for (int i = 0; i < 2000; ++i) {
        const std::array<double, 3> want{turn(gen), tilt(gen), turn(gen)};
        const auto hpb = HeadingPitchBank(RotationMatrix(GltfRotation(want[0], want[1], want[2])));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(hpb[k], want[k], 1e-8) << i << " " << k;
    }
}

TEST(WorldChannels, NeighboursNeverJumpAWholeTurn) {
    const double headings[] = {170, -170, -10, 170, -179}, want_h[] = {170, 190, 350, 530, 541};
    const double pitches[] = {10, 350, -350, 10, 10}, want_p[] = {10, -10, 10, 10, 10};
    const double banks[] = {-179, 179, 90, 540, 1}, want_b[] = {-179, -181, -270, -180, -359};
    std::vector<MotionFrame> table(5);
    for (int j = 0; j < 5; ++j) table[j].value = {0, 0, 0, headings[j], pitches[j], banks[j], 1, 1, 1};
    MakeAnglesContinuous(table);
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(table[j].value, (std::array<double, 9>{0, 0, 0, want_h[j], want_p[j], want_b[j], 1, 1, 1}))
            << j;
    }
}

std::optional<MotionTable> Read(const std::string& path, RecordingSink& sink, double fps = 24.0) {
    EngineState state;
    Settings s = DefaultSettings();
    SetPathText(s.parent_motion, path);
    auto table = GetMotionFile(s, sink, state, fps);
    if (table) {
        EXPECT_EQ(state.LastMotionFrame + 1, static_cast<std::int32_t>(table->size()));
        EXPECT_EQ(state.no_info_channels, 9u);
    }
    return table;
}

// scene_spin.gltf: "Spinner" (at (0, 1, 0), scale 2) turns twice about y from 0 s to 2 s, a quarter
// turn per key; under it "Emitter" slides from x 1 at 0.5 s to x 3 at 1 s, and "Still" stands at z 5.
TEST(SceneMotion, WorldMotionIncludesTheParentsAnimation) {
    RecordingSink sink;
    // The emitter's own keys cover 0.5 s to 1 s, but the parent's run from 0 s to 2 s: 49 frames.
    for (const std::string node : {"Emitter", "Still"}) {
        const auto table = Read((DataDir() / ("scene_spin.gltf#" + node)).string(), sink);
        ASSERT_TRUE(table) << (sink.messages.empty() ? "" : sink.messages.back());
        ASSERT_EQ(table->size(), 49u);
        for (std::size_t j = 0; j < table->size(); ++j) {
            const double seconds = static_cast<double>(j) / 24, turn = seconds * 2 * std::numbers::pi;
            const double along = node == "Still" ? 0 : std::clamp(1 + (seconds - 0.5) * 4, 1.0, 3.0);
            const double across = node == "Still" ? 5 : 0;
            // glTF: a turn about +y maps (a, 0, c) to (a cos + c sin, 0, -a sin + c cos).
            const double x = 2 * (along * std::cos(turn) + across * std::sin(turn));
            const double z = 2 * (-along * std::sin(turn) + across * std::cos(turn));
            ExpectChannels((*table)[j], {x, 1, -z, -seconds * 360, 0, 0, 2, 2, 2}, 1e-5,
                           node + std::to_string(j));
            if (j > 0) {  // a continuous heading, never jumping a whole turn
                EXPECT_NEAR((*table)[j].value[3] - (*table)[j - 1].value[3], -15.0, 1e-4) << j;
            }
        }
    }
    // At 30 frames per second the same two seconds are 61 frames, a half turn at frame 15.
    const auto at30 = Read((DataDir() / "scene_spin.gltf#Emitter").string(), sink, 30.0);
    ASSERT_TRUE(at30);
    EXPECT_EQ(at30->size(), 61u);
    EXPECT_NEAR((*at30)[15].value[3], -180.0, 1e-4);
    // scene_flip.gltf turns from 20 degrees about y at 0.5 s to 40 at 1.5 s, the second quaternion
    // negated: entry 12 is 1 s, half way along the shorter arc.
    const auto flip = Read((DataDir() / "scene_flip.gltf").string(), sink);
    ASSERT_TRUE(flip);
    ASSERT_EQ(flip->size(), 25u);
    EXPECT_NEAR((*flip)[12].value[3], -30.0, 1e-4);
    // scene_hidden.gltf: "Hidden", scaled to 0 and turned 45 degrees about x, under "Turn", turned a
    // quarter about y: the rotation of its chain, parent first, gives heading -90 and pitch -45.
    const auto hidden = Read((DataDir() / "scene_hidden.gltf").string(), sink);
    ASSERT_TRUE(hidden);
    ExpectChannels(hidden->front(), {0, 0, 0, -90, -45, 0, 0, 0, 0}, 1e-4, "hidden");
}

TEST(SceneMotion, RefusesWhatIsNoSingleAnimatedNode) {
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"scene_spin.gltf",
         "The scene file holds several animated nodes:\nSpinner, Emitter\nName one as FILE#NODE"},
        {"scene_spin.gltf#Nobody",
         "The scene file has no node named \"Nobody\".\nAnimated nodes: Spinner, Emitter"},
        {"scene_static.gltf", "The scene file holds no animated node"},
        {"scene_static.gltf#Cube", "Nothing animates the node \"Cube\".\nAnimated nodes: none"},
        {"scene_many.gltf",
         "The scene file holds several animated nodes:\nn0, n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, "
         "n11, n12, n13, n14, n15, n16, n17, n18, n19 and 3 more\nName one as FILE#NODE"},
        {"scene_nan.gltf", "The scene file's motion holds\na number that is not finite"},
        {"scene_long.gltf", "The scene file's motion lasts too long"},
        {"scene_noise.txt", "Not a LWMO file"},
        {"scene_missing.glb", "Could not open motion file"},
        {"motion_no_keys.mot",
         (DataDir() / "motion_no_keys.mot").string() + " line 4:\nthe motion holds no keys"},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EXPECT_FALSE(Read((DataDir() / c.path).string(), sink));
        EXPECT_EQ(sink.messages, std::vector<std::string>{c.message}) << c.path;
    }
    RecordingSink sink;
    EXPECT_FALSE(Read((DataDir() / "scene_broken.glb").string(), sink));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].rfind(motion_text::CannotReadScene(""), 0), 0u) << sink.messages[0];
    EXPECT_EQ(AnimatedNodes((DataDir() / "scene_spin.gltf").string()),
              (std::vector<std::string>{"Spinner", "Emitter"}));
    EXPECT_FALSE(AnimatedNodes((DataDir() / "scene_noise.txt").string()));
}

TEST(SceneMotion, ContentDecidesTheReaderAndHashesNameNodes) {
    TempDir dir;
    std::filesystem::copy_file(DataDir() / "scene_spin.glb",
                               dir.path("spin.glb"));                  // scene_spin.gltf as binary
    for (const char* copy : {"spin.mot", "spin.dae", "odd#name.glb"})  // named as motion, as another format
        std::filesystem::copy_file(dir.path("spin.glb"), dir.path(copy));
    std::filesystem::copy_file(DataDir() / "scene_spin.gltf", dir.path("text.mot"));
    std::filesystem::copy_file(DataDir() / "emitter_v1.mot", dir.path("motion.glb"));  // motion as glb
    for (const std::string path : {"spin.glb#Emitter", "spin.mot#Emitter", "spin.dae#Emitter",
                                   "odd#name.glb#Emitter", "text.mot#Emitter"}) {
        RecordingSink sink;
        const auto table = Read(dir.str(path), sink);
        ASSERT_TRUE(table) << path << ": " << (sink.messages.empty() ? "" : sink.messages[0]);
        EXPECT_EQ(table->size(), 49u) << path;
    }
    RecordingSink sink;
    const auto table = Read(dir.str("motion.glb"), sink);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->size(), 31u);
    EXPECT_EQ(SplitMotionPath(dir.str("odd#name.glb")).node, "");
    EXPECT_EQ(SplitMotionPath(dir.str("odd#name.glb#A#B")).node, "A#B");
    EXPECT_EQ(SplitMotionPath(dir.str("none.glb#A")).file, dir.str("none.glb#A"));
}

// Vexo's own glTF read back: every particle node gives the keys of the version 1 scene.
class RoundTrip : public ::testing::TestWithParam<std::tuple<std::int16_t, const char*, double>> {};

TEST_P(RoundTrip, EveryParticleNodeGivesTheVersion1Keys) {
    const auto [linear, extension, fps] = GetParam();
    TempDir dir;
    Settings s = testing::SceneSettings(dir,
                                        "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 "
                                        "1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n");
    s.num_particles = 6;
    s.particles_per_frame = 1;
    s.velocity = 0.4;
    s.velocity_variation = 30;
    s.heading_spread = 270;
    s.pitch_angle = 40;
    s.gravity = 6;
    s.ground_bounce = kFlagTicked;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 9;
    s.radial_creation = kFlagTicked;
    s.first_frame = 1;
    s.last_frame = 24;
    s.linear_path = linear;
    const std::string scene = std::string("scene") + extension;
    for (const auto& [name, format] :
         {std::pair{std::string("v1.lws"), SceneFormat::Lwsc1},
          {scene, scene.ends_with(".glb") ? SceneFormat::Glb : SceneFormat::Gltf}}) {
        SetPathText(s.target_scene, dir.str(name));
        EngineState state;
        RecordingSink sink;
        testing::ScriptedHook go_on;
        GenerateOptions options;
        options.format = format;
        options.fps = fps;
        ASSERT_EQ(CreateScene(s, state, sink, go_on, options).outcome, WriteOutcome::Complete);
    }
    // The version 1 keys per object; of two keys on one frame the later counts, as in glTF.
    std::vector<std::map<int, std::array<double, 9>>> objects;
    std::istringstream v1(testing::ReadFile(dir.path("v1.lws")));
    for (std::string line; std::getline(v1, line);) {
        if (line.rfind("LoadObject ", 0) == 0) objects.emplace_back();
        if (line.size() < 3 || line[0] != ' ' || line.find('.') == std::string::npos) continue;
        std::istringstream fields(line);
        std::array<double, 9> key{};
        int frame = 0;
        for (double& v : key) fields >> v;
        fields >> frame;
        objects.back()[frame] = key;
    }
    ASSERT_EQ(objects.size(), 6u);
    for (std::size_t n = 0; n < objects.size(); ++n) {
        RecordingSink sink;
        const auto table = Read(dir.str(scene + "#particle_000" + std::to_string(n)), sink, fps);
        ASSERT_TRUE(table) << n;
        ASSERT_EQ(objects[n].begin()->first, 0);  // entry 0 is the first key's frame
        ASSERT_EQ(table->size(), static_cast<std::size_t>(objects[n].rbegin()->first) + 1);
        for (auto [frame, key] : objects[n]) {
            MotionFrame entry = (*table)[static_cast<std::size_t>(frame)];
            // A hidden key takes the rotation of the birth after it in glTF (no turn while it grows).
            if (key[6] == 0.0 && key[7] == 0.0 && key[8] == 0.0) std::copy(&key[3], &key[6], &entry.value[3]);
            ExpectChannels(entry, key, 1e-4, std::to_string(n) + " frame " + std::to_string(frame));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         ::testing::Values(std::tuple{std::int16_t{0}, ".glb", 24.0},
                                           std::tuple{std::int16_t{1}, ".gltf", 24.0},
                                           std::tuple{std::int16_t{0}, ".gltf", 30.0}));

}  // namespace
}  // namespace vexo
