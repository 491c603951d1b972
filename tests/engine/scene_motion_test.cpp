// Animated scene files as the parent motion: the conversion of a world transform into the nine
// channels, the sampling of node hierarchies, the choice of the node, every message, and Vexo's
// own glTF read back as the keys of its version 1 scene.
#include "engine/motion/scene_motion.hpp"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

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

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

// The difference of two angles in degrees, up to whole turns.
double AngleGap(double a, double b) {
    return std::remainder(a - b, 360.0);
}

std::array<std::array<double, 3>, 3> AboutAxis(int axis, double degrees) {
    const double c = std::cos(degrees * std::numbers::pi / 180),
                 s = std::sin(degrees * std::numbers::pi / 180);
    if (axis == 0) return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
    if (axis == 1) return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
    return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

TEST(WorldChannels, SingleTurnsInGltfAxesGiveTheirAngles) {
    // glTF turns about +y by a become heading -a (z is mirrored), about +x pitch -a, about +z bank a.
    const struct {
        int axis;
        double degrees;
        std::array<double, 3> hpb;
    } cases[] = {{1, 90, {-90, 0, 0}}, {1, -30, {30, 0, 0}}, {0, 30, {0, -30, 0}},
                 {0, -45, {0, 45, 0}}, {2, 20, {0, 0, 20}},  {2, -170, {0, 0, -170}}};
    for (const auto& c : cases) {
        const auto hpb = HeadingPitchBank(AboutAxis(c.axis, c.degrees));
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(hpb[k], c.hpb[k], 1e-12) << c.axis << " " << c.degrees << " " << k;
    }
}

TEST(WorldChannels, InvertTheGltfWritersRotation) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> turn(-179.9, 180.0), tilt(-89.0, 89.0);
    for (int i = 0; i < 2000; ++i) {
        const double h = turn(gen), p = tilt(gen), b = turn(gen);
        const auto hpb = HeadingPitchBank(RotationMatrix(GltfRotation(h, p, b)));
        EXPECT_NEAR(hpb[0], h, 1e-8);
        EXPECT_NEAR(hpb[1], p, 1e-8);
        EXPECT_NEAR(hpb[2], b, 1e-8);
    }
}

TEST(WorldChannels, GimbalLockPutsTheWholeTurnIntoHeading) {
    for (const double p : {90.0, -90.0}) {
        for (const auto& [h, b] : {std::pair{30.0, 10.0}, {-120.0, 75.0}, {179.0, -179.0}}) {
            const auto hpb = HeadingPitchBank(RotationMatrix(GltfRotation(h, p, b)));
            EXPECT_EQ(hpb[1], p);
            EXPECT_EQ(hpb[2], 0.0);
            // Pitch +90 keeps only H - B, pitch -90 only H + B.
            EXPECT_NEAR(AngleGap(hpb[0], p > 0 ? h - b : h + b), 0.0, 1e-6) << h << " " << b;
            const auto q = GltfRotation(hpb[0], hpb[1], hpb[2]), want = GltfRotation(h, p, b);
            const double dot = q[0] * want[0] + q[1] * want[1] + q[2] * want[2] + q[3] * want[3];
            EXPECT_NEAR(std::abs(dot), 1.0, 1e-12);  // the same rotation
        }
    }
}

TEST(WorldChannels, PositionScaleMirrorAndHiddenObjects) {
    const Quaternion quarter_about_z{0, 0, std::sin(std::numbers::pi / 4), std::cos(std::numbers::pi / 4)};
    // Scale acts first: a long x axis turned a quarter about z points along y.
    const Transform t = Compose({1, 2, 3}, quarter_about_z, {2, 1, 1});
    EXPECT_NEAR(t.m[1][0], 2.0, 1e-15);
    EXPECT_NEAR(t.m[0][1], -1.0, 1e-15);
    const struct {
        std::array<double, 3> scale;
        std::array<double, 9> want;
    } cases[] = {
        {{2, 3, 0.5}, {1, 2, -3, 0, 0, 90, 2, 3, 0.5}},
        {{-2, 3, 0.5}, {1, 2, -3, 0, 0, 90, -2, 3, 0.5}},  // mirrored: the mirror goes into the x scale
        {{0, 0, 0}, {1, 2, -3, 0, 0, 90, 0, 0, 0}},        // hidden: rotation from the quaternion
        {{1, 0, 1}, {1, 2, -3, 0, 0, 90, 1, 0, 1}},
    };
    for (const auto& c : cases) {
        const MotionFrame f = ChannelsOfWorld(Compose({1, 2, 3}, quarter_about_z, c.scale), quarter_about_z);
        for (int k = 0; k < 9; ++k) {
            const double gap = k >= 3 && k <= 5 ? AngleGap(f.value[k], c.want[k]) : f.value[k] - c.want[k];
            EXPECT_NEAR(gap, 0.0, 1e-12) << c.scale[0] << " channel " << k;
        }
    }
}

TEST(WorldChannels, NeighboursNeverJumpAWholeTurn) {
    std::vector<MotionFrame> table(5);
    const double headings[] = {170, -170, -10, 170, -179};
    const double banks[] = {-179, 179, 90, 540, 1};
    for (int j = 0; j < 5; ++j) {
        table[j].value[3] = headings[j];
        table[j].value[5] = banks[j];
    }
    MakeAnglesContinuous(table);
    const double want_h[] = {170, 190, 350, 530, 541}, want_b[] = {-179, -181, -270, -180, -359};
    for (int j = 0; j < 5; ++j) {
        EXPECT_DOUBLE_EQ(table[j].value[3], want_h[j]) << j;
        EXPECT_DOUBLE_EQ(table[j].value[5], want_b[j]) << j;
    }
}

// A glTF scene built by hand: nodes with a parent, static TRS, and optional LINEAR keys.
struct TestNode {
    std::string name;
    int parent = -1;
    std::vector<float> times;                        // seconds; empty: not animated
    std::vector<std::array<float, 3>> translations;  // one per time
    std::vector<std::array<float, 4>> rotations;     // one per time, x y z w
    std::vector<std::array<float, 3>> scales;        // one per time
    std::array<double, 3> translation{0, 0, 0};      // the static transform
    std::array<double, 4> rotation{0, 0, 0, 1};
};

TestNode Named(const std::string& name, int parent = -1) {
    TestNode node;
    node.name = name;
    node.parent = parent;
    return node;
}

void WriteGltf(const std::string& path, const std::vector<TestNode>& nodes) {
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.buffers.emplace_back();
    auto& data = model.buffers[0].data;
    auto add = [&](const float* values, std::size_t count, int type, int width) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        const auto* bytes = reinterpret_cast<const unsigned char*>(values);
        data.insert(data.end(), bytes, bytes + count * width * sizeof(float));
        view.byteLength = data.size() - view.byteOffset;
        model.bufferViews.push_back(view);
        tinygltf::Accessor accessor;
        accessor.bufferView = static_cast<int>(model.bufferViews.size() - 1);
        accessor.count = count;
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.type = type;
        if (type == TINYGLTF_TYPE_SCALAR) {
            accessor.minValues = {values[0]};
            accessor.maxValues = {values[count - 1]};
        }
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    };
    tinygltf::Animation animation;
    tinygltf::Scene scene;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const TestNode& node = nodes[n];
        tinygltf::Node out;
        out.name = node.name;
        out.translation = {node.translation.begin(), node.translation.end()};
        out.rotation = {node.rotation.begin(), node.rotation.end()};
        model.nodes.push_back(out);
        if (node.parent < 0) scene.nodes.push_back(static_cast<int>(n));
        if (node.times.empty()) continue;
        const int input = add(node.times.data(), node.times.size(), TINYGLTF_TYPE_SCALAR, 1);
        const std::pair<const char*, int> outputs[] = {
            {"translation", add(node.translations[0].data(), node.times.size(), TINYGLTF_TYPE_VEC3, 3)},
            {"rotation", add(node.rotations[0].data(), node.times.size(), TINYGLTF_TYPE_VEC4, 4)},
            {"scale", add(node.scales[0].data(), node.times.size(), TINYGLTF_TYPE_VEC3, 3)}};
        for (const auto& [path, output] : outputs) {
            animation.samplers.push_back({});
            animation.samplers.back().input = input;
            animation.samplers.back().output = output;
            animation.samplers.back().interpolation = "LINEAR";
            animation.channels.push_back({});
            animation.channels.back().sampler = static_cast<int>(animation.samplers.size() - 1);
            animation.channels.back().target_node = static_cast<int>(n);
            animation.channels.back().target_path = path;
        }
    }
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        if (nodes[n].parent >= 0)
            model.nodes[static_cast<std::size_t>(nodes[n].parent)].children.push_back(static_cast<int>(n));
    }
    if (!animation.channels.empty()) model.animations.push_back(animation);
    model.scenes.push_back(scene);
    model.defaultScene = 0;
    tinygltf::TinyGLTF writer;
    ASSERT_TRUE(writer.WriteGltfSceneToFile(&model, path, true, true, true, path.ends_with(".glb")));
}

// A parent spinning twice about y over two seconds, and under it a child sliding along x.
std::vector<TestNode> SpinningParent() {
    TestNode parent = Named("Spinner");
    for (int k = 0; k <= 8; ++k) {
        parent.times.push_back(0.25f * static_cast<float>(k));
        const double half = k * std::numbers::pi / 4;  // a quarter turn per key
        parent.translations.push_back({0, 1, 0});
        parent.rotations.push_back(
            {0, static_cast<float>(std::sin(half)), 0, static_cast<float>(std::cos(half))});
        parent.scales.push_back({2, 2, 2});
    }
    TestNode child = Named("Emitter", 0);
    child.times = {0.5f, 1.0f};
    child.translations = {{1, 0, 0}, {3, 0, 0}};
    child.rotations = {{0, 0, 0, 1}, {0, 0, 0, 1}};
    child.scales = {{1, 1, 1}, {1, 1, 1}};
    TestNode still = Named("Still", 0);
    still.translation = {0, 0, 5};
    return {parent, child, still};
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

TEST(SceneMotion, WorldMotionIncludesTheParentsAnimation) {
    TempDir dir;
    WriteGltf(dir.str("spin.gltf"), SpinningParent());
    RecordingSink sink;
    // The child at 1 s is at 3 along x in a parent turned a full turn: world (6, 1, 0) at scale 2.
    // Its own keys cover 0.5 s to 1 s, but the parent's run from 0 s to 2 s: 49 frames.
    for (const std::string node : {"Emitter", "Still"}) {
        const auto table = Read(dir.str("spin.gltf#" + node), sink);
        ASSERT_TRUE(table) << (sink.messages.empty() ? "" : sink.messages.back());
        ASSERT_EQ(table->size(), 49u);
        for (std::size_t j = 0; j < table->size(); ++j) {
            const double seconds = static_cast<double>(j) / 24, turn = seconds * 2 * std::numbers::pi;
            const double along = node == "Still" ? 0 : std::clamp(1 + (seconds - 0.5) * 4, 1.0, 3.0);
            const double across = node == "Still" ? 5 : 0;
            // glTF: parent rotation about +y maps (a, 0, c) to (a cos + c sin, 0, -a sin + c cos).
            const double x = 2 * (along * std::cos(turn) + across * std::sin(turn));
            const double z = 2 * (-along * std::sin(turn) + across * std::cos(turn));
            const double want[] = {x, 1, -z, -seconds * 360, 0, 0, 2, 2, 2};
            for (int c = 0; c < 9; ++c)
                EXPECT_NEAR((*table)[j].value[c], want[c], 1e-5) << node << " " << j << " " << c;
        }
    }
    // At 30 frames per second the same two seconds are 61 frames.
    const auto at30 = Read(dir.str("spin.gltf#Emitter"), sink, 30.0);
    ASSERT_TRUE(at30);
    EXPECT_EQ(at30->size(), 61u);
    EXPECT_NEAR((*at30)[15].value[3], -180.0, 1e-4);
}

TEST(SceneMotion, RefusesWhatIsNoSingleAnimatedNode) {
    TempDir dir;
    WriteGltf(dir.str("spin.glb"), SpinningParent());
    WriteGltf(dir.str("static.gltf"), {Named("Cube")});
    testing::WriteFile(dir.path("broken.glb"), "glTF but not really");
    testing::WriteFile(dir.path("noise.txt"), "\nnot a motion\n");
    std::vector<TestNode> many;
    for (int n = 0; n < 23; ++n)
        many.push_back(SpinningParent()[0]), many.back().name = "n" + std::to_string(n);
    WriteGltf(dir.str("many.glb"), many);
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {"spin.glb", "The scene file holds several animated nodes:\nSpinner, Emitter\nName one as FILE#NODE"},
        {"spin.glb#Nobody", "The scene file has no node named \"Nobody\".\nAnimated nodes: Spinner, Emitter"},
        {"static.gltf", "The scene file holds no animated node"},
        {"static.gltf#Cube", "Nothing animates the node \"Cube\".\nAnimated nodes: none"},
        {"many.glb",
         "The scene file holds several animated nodes:\nn0, n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, "
         "n11, n12, n13, n14, n15, n16, n17, n18, n19 and 3 more\nName one as FILE#NODE"},
        {"noise.txt", "Not a LWMO file"},
        {"missing.glb", "Could not open motion file"},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EXPECT_FALSE(Read(dir.str(c.path), sink));
        EXPECT_EQ(sink.messages, std::vector<std::string>{c.message}) << c.path;
    }
    RecordingSink sink;
    EXPECT_FALSE(Read(dir.str("broken.glb"), sink));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].rfind(motion_text::CannotReadScene(""), 0), 0u) << sink.messages[0];
    EXPECT_EQ(AnimatedNodes(dir.str("spin.glb")), (std::vector<std::string>{"Spinner", "Emitter"}));
    EXPECT_FALSE(AnimatedNodes(dir.str("noise.txt")));
}

TEST(SceneMotion, ContentDecidesTheReaderAndHashesNameNodes) {
    TempDir dir;
    WriteGltf(dir.str("spin.glb"), SpinningParent());
    std::filesystem::copy_file(dir.path("spin.glb"), dir.path("spin.mot"));      // a scene named as motion
    std::filesystem::copy_file(dir.path("spin.glb"), dir.path("spin.dae"));      // named as another format
    std::filesystem::copy_file(dir.path("spin.glb"), dir.path("odd#name.glb"));  // a hash in the file name
    std::filesystem::copy_file(testing::DataDir() / "emitter_v1.mot",
                               dir.path("motion.glb"));  // motion as glb
    for (const std::string path : {"spin.mot#Emitter", "spin.dae#Emitter", "odd#name.glb#Emitter"}) {
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
    auto generate = [&](const std::string& name, SceneFormat format) {
        SetPathText(s.target_scene, dir.str(name));
        EngineState state;
        RecordingSink sink;
        ScriptedHook go_on;
        GenerateOptions options;
        options.format = format;
        options.fps = fps;
        EXPECT_EQ(CreateScene(s, state, sink, go_on, options).outcome, WriteOutcome::Complete);
    };
    generate("v1.lws", SceneFormat::Lwsc1);
    const std::string scene = std::string("scene") + extension;
    generate(scene, std::string(extension) == ".glb" ? SceneFormat::Glb : SceneFormat::Gltf);

    // The version 1 keys per object; of two keys on one frame the later counts, as in glTF.
    std::vector<std::map<int, std::array<double, 9>>> objects;
    std::istringstream v1(ReadFile(dir.path("v1.lws")));
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
        for (const auto& [frame, key] : objects[n]) {
            const MotionFrame& entry = (*table)[static_cast<std::size_t>(frame)];
            // A hidden key takes the rotation of the birth after it in glTF (no turn while it grows).
            const bool hidden = key[6] == 0.0 && key[7] == 0.0 && key[8] == 0.0;
            for (int c = 0; c < 9; ++c) {
                const bool angle = c >= 3 && c <= 5;
                if (angle && hidden) continue;
                const double gap = angle ? AngleGap(entry.value[c], key[c]) : entry.value[c] - key[c];
                EXPECT_NEAR(gap, 0.0, angle ? 1e-4 : 1e-5) << n << " frame " << frame << " channel " << c;
            }
        }
    }
}

std::string RoundTripName(const ::testing::TestParamInfo<RoundTrip::ParamType>& info) {
    return std::string(std::get<0>(info.param) != 0 ? "Linear" : "NonLinear") +
           (std::string(std::get<1>(info.param)) == ".glb" ? "Glb" : "Gltf") +
           std::to_string(static_cast<int>(std::get<2>(info.param))) + "fps";
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         ::testing::Values(std::tuple{std::int16_t{0}, ".glb", 24.0},
                                           std::tuple{std::int16_t{1}, ".gltf", 24.0},
                                           std::tuple{std::int16_t{0}, ".gltf", 30.0}),
                         RoundTripName);

}  // namespace
}  // namespace vexo
