// Animated scene files as the parent motion: world transforms turned into the nine channels
// (tests/data/world_channels_cases.txt), node hierarchies sampled, the choice of the node, every
// message, and which reader the content chooses.
#include "engine/motion/scene_motion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "engine/motion/motion_file.hpp"
#include "engine/motion/world_channels.hpp"
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

TEST(WorldChannels, NeighboursNeverJumpAWholeTurn) {
    // heading, pitch, bank as read, then as made continuous
    const double in[5][3] = {
        {170, 10, -179}, {-170, 350, 179}, {-10, -350, 90}, {170, 10, 540}, {-179, 10, 1}};
    const double want[5][3] = {
        {170, 10, -179}, {190, -10, -181}, {350, 10, -270}, {530, 10, -180}, {541, 10, -359}};
    std::vector<MotionFrame> table(5);
    for (int j = 0; j < 5; ++j) table[j].value = {0, 0, 0, in[j][0], in[j][1], in[j][2], 1, 1, 1};
    MakeAnglesContinuous(table);
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(table[j].value,
                  (std::array<double, 9>{0, 0, 0, want[j][0], want[j][1], want[j][2], 1, 1, 1}));
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
    // scene_one_key.gltf: "Emitter" has a single key, at 0.5 s: at (1, 2, 3), turned a quarter about
    // y. Its parent "Carrier" slides from x 0 to 2 over 0 s to 1 s, so the single key is sampled
    // before, at and after its time, and holds throughout.
    const auto one = Read((DataDir() / "scene_one_key.gltf#Emitter").string(), sink);
    ASSERT_TRUE(one) << (sink.messages.empty() ? "" : sink.messages.back());
    ASSERT_EQ(one->size(), 25u);
    for (std::size_t j = 0; j < one->size(); ++j) {
        ExpectChannels((*one)[j], {1 + 2 * static_cast<double>(j) / 24, 2, -3, -90, 0, 0, 1, 1, 1}, 1e-5,
                       "one key " + std::to_string(j));
    }
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
        {"scene_noise.txt", (DataDir() / "scene_noise.txt").string() + ":\nNot a LWMO file"},
        {"scene_missing.glb", "Could not open motion file\n\n" + (DataDir() / "scene_missing.glb").string() +
                                  "\n\nNo such file or directory"},
        {"regressions",
         "Could not open motion file\n\n" + (DataDir() / "regressions").string() + "\n\nIs a directory"},
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
    // Binary and text glTF named as motion or as another format, and a motion file named as glb.
    const struct {
        const char *source, *copy, *node;
        std::size_t frames;
    } cases[] = {
        {"scene_spin.glb", "spin.glb", "#Emitter", 49},  {"scene_spin.glb", "spin.mot", "#Emitter", 49},
        {"scene_spin.glb", "spin.dae", "#Emitter", 49},  {"scene_spin.glb", "odd#name.glb", "#Emitter", 49},
        {"scene_spin.gltf", "text.mot", "#Emitter", 49}, {"emitter_v1.mot", "motion.glb", "", 31}};
    for (const auto& c : cases) {
        std::filesystem::copy_file(DataDir() / c.source, dir.path(c.copy));
        RecordingSink sink;
        const auto table = Read(dir.str(c.copy) + c.node, sink);
        ASSERT_TRUE(table) << c.copy << ": " << (sink.messages.empty() ? "" : sink.messages[0]);
        EXPECT_EQ(table->size(), c.frames) << c.copy;
    }
    EXPECT_EQ(SplitMotionPath(dir.str("odd#name.glb")).node, "");
    EXPECT_EQ(SplitMotionPath(dir.str("odd#name.glb#A#B")).node, "A#B");
    EXPECT_EQ(SplitMotionPath(dir.str("none.glb#A")).file, dir.str("none.glb#A"));
}

}  // namespace
}  // namespace vexo
