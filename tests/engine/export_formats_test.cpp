// Version 3 scenes and glTF files: their keys against the version 1 scene of the same settings,
// and checks by independent readers: the Khronos glTF validator and the Open Asset Import Library.
#include <gtest/gtest.h>

#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/writers/scene_formats.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::PassesValidator;
using testing::Run;
using testing::TempDir;

// The Open Asset Import Library's XML dump of a file, under a memory limit and a timeout.
std::string AssimpDump(const std::string& file, const TempDir& dir) {
    const std::string xml = dir.str("dump.xml");
    std::remove(xml.c_str());
    std::string output;
    const int status = Run("ulimit -v 4000000; timeout 120 assimp dump '" + file + "' '" + xml + "'", &output);
    EXPECT_EQ(status, 0) << output;
    return ReadFile(xml);
}

// The text after `key="` up to the next quote, searching from `from`.
std::string Attribute(const std::string& text, const std::string& key, std::size_t from, std::size_t* at) {
    const std::size_t start = text.find(key + "=\"", from);
    if (start == std::string::npos) return {};
    const std::size_t begin = start + key.size() + 2;
    *at = begin;
    return text.substr(begin, text.find('"', begin) - begin);
}

// Per animated node of an assimp dump: its position, rotation and scaling key counts.
std::map<std::string, std::array<int, 3>> AnimatedNodes(const std::string& xml) {
    std::map<std::string, std::array<int, 3>> nodes;
    for (std::size_t at = xml.find("<NodeAnim node="); at != std::string::npos; at = xml.find("<NodeAnim node=", at)) {
        std::size_t cursor = at;
        const std::string name = Attribute(xml, "node", at, &cursor);
        const std::size_t end = xml.find("</NodeAnim>", cursor);
        std::array<int, 3> counts{0, 0, 0};
        const char* lists[] = {"<PositionKeyList", "<RotationKeyList", "<ScalingKeyList"};
        for (int i = 0; i < 3; ++i) {
            const std::size_t list = xml.find(lists[i], at);
            std::size_t ignored = 0;
            if (list < end) counts[i] = std::stoi(Attribute(xml, "num", list, &ignored));
        }
        nodes[name] = counts;
        at = end;
    }
    return nodes;
}

// The keys of every object of a version 1 scene, as printed.
std::vector<ObjectKeys> KeysOfVersion1(const std::string& scene) {
    std::vector<ObjectKeys> objects;
    std::istringstream in(scene);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("LoadObject ", 0) == 0) objects.emplace_back();
        if (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line.find('.') != std::string::npos) {
            std::istringstream fields(line);
            SceneKey key{};
            for (double& v : key.value) fields >> v;
            fields >> key.frame;
            objects.back().push_back(key);
        }
    }
    return objects;
}

Settings Base(const TempDir& dir, std::int16_t linear) {
    Settings s = testing::SceneSettings(
        dir, "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n");
    SetPathText(s.particle_object, (testing::DataDir() / "simple_cube.lwo").string());
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
    s.radial_creation = kFlagTicked;  // headings of all sizes
    s.particle_grow = kFlagTicked;
    s.start_size = 0.5;
    s.end_size = 2;
    s.first_frame = 0;
    s.last_frame = 24;
    s.linear_path = linear;
    return s;
}

std::string Generate(Settings s, const TempDir& dir, const std::string& name, SceneFormat format,
                     RecordingSink* sink = nullptr, PassHook* hook = nullptr) {
    SetPathText(s.target_scene, dir.str(name));
    EngineState state;  // a fresh program run for every file
    RecordingSink own_sink;
    ScriptedHook go_on;
    const SceneReport report =
        CreateScene(s, state, sink != nullptr ? *sink : own_sink, hook != nullptr ? *hook : go_on, {GenerationPath::Scheduled, 2, format});
    EXPECT_TRUE(report.outcome == WriteOutcome::Complete || report.outcome == WriteOutcome::Interrupted);
    return dir.str(name);
}

TEST(GltfRotation, MatchesTheWorkedExamples) {
    const auto q = GltfRotation(90, 0, 0);
    EXPECT_NEAR(q[0], 0, 1e-12);
    EXPECT_NEAR(q[1], -0.7071067811865476, 1e-12);
    EXPECT_NEAR(q[2], 0, 1e-12);
    EXPECT_NEAR(q[3], 0.7071067811865476, 1e-12);
    const auto r = GltfRotation(30, 20, 10);
    EXPECT_NEAR(r[0], -0.189308, 5e-7);
    EXPECT_NEAR(r[1], -0.239298, 5e-7);
    EXPECT_NEAR(r[2], 0.038135, 5e-7);
    EXPECT_NEAR(r[3], 0.951549, 5e-7);
}

// Every channel in its place and unit (heading, pitch and bank distinct), linear keys, the key
// count, and Constant before the first and after the last key.
TEST(Version3Scene, OneObjectWordForWord) {
    std::string out;
    AppendLwsc3Object(out, "p.lwo", {{{1, 2, 3, 30, 20, 10, 0.5, 0.25, 2}, 12}, {{9, 9, 9, 9, 9, 9, 9, 9, 9}, 18},
                                     {{-1, 0, 4.5, 90, -45, 180, 1, 1, 1}, 18}});
    EXPECT_TRUE(testing::MatchesGolden(out, "lwsc3_object.lws"));
}

double SignedVolume(const Mesh& mesh) {
    double volume = 0;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const float* a = &mesh.positions[3 * mesh.indices[i]];
        const float* b = &mesh.positions[3 * mesh.indices[i + 1]];
        const float* c = &mesh.positions[3 * mesh.indices[i + 2]];
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
    }
    return volume;
}

TEST(ObjectMesh, TheParticleObjectWithMirroredZAndOutwardFaces) {
    const auto mesh = LoadObjectMesh((testing::DataDir() / "simple_cube.lwo").string());
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->indices.size(), 36u);
    // The file's points run from z = -1.2 to 0.9; mirrored they run from -0.9 to 1.2.
    float lo = 1e9f, hi = -1e9f;
    for (std::size_t i = 2; i < mesh->positions.size(); i += 3) {
        lo = std::min(lo, mesh->positions[i]);
        hi = std::max(hi, mesh->positions[i]);
    }
    EXPECT_NEAR(lo, -0.9, 1e-6);
    EXPECT_NEAR(hi, 1.2, 1e-6);
    EXPECT_NEAR(SignedVolume(*mesh), 2.7 * 1.9 * 2.1, 1e-4);  // positive: faces turn outwards
    EXPECT_NEAR(SignedVolume(UnitCube()), 1.0, 1e-12);
    EXPECT_FALSE(LoadObjectMesh("/nonexistent/object.lwo"));
    EXPECT_FALSE(LoadObjectMesh(""));
}

class ExportTest : public ::testing::TestWithParam<std::int16_t> {
protected:
    TempDir dir;
};

TEST_P(ExportTest, Version3SceneHoldsTheSameKeys) {
    const Settings s = Base(dir, GetParam());
    const auto v1 = KeysOfVersion1(ReadFile(Generate(s, dir, "v1.lws", SceneFormat::Lwsc1)));
    const std::string v3_path = Generate(s, dir, "v3.lws", SceneFormat::Lwsc3);
    // Every byte, against a golden file (written with the data folder as "DATA").
    std::string v3 = ReadFile(v3_path);
    const std::string data = testing::DataDir().string();
    for (std::size_t at = v3.find(data); at != std::string::npos; at = v3.find(data)) v3.replace(at, data.size(), "DATA");
    EXPECT_TRUE(testing::MatchesGolden(v3, GetParam() != 0 ? "v3_linear.lws" : "v3_nonlinear.lws"));

    // The Open Asset Import Library reads it: one animated node per particle, the right key counts.
    const auto nodes = AnimatedNodes(AssimpDump(v3_path, dir));
    ASSERT_EQ(nodes.size(), v1.size());
    std::size_t o = 0;
    for (const auto& [name, counts] : nodes) {
        EXPECT_NE(name.find("Pivot:"), std::string::npos);
        const auto expected = static_cast<int>(RisingKeys(v1[o++]).size());
        EXPECT_EQ(counts[0], expected) << name;
        EXPECT_EQ(counts[2], expected) << name;
    }
}

TEST_P(ExportTest, GltfAndGlbPassTheValidatorAndCarryTheKeys) {
    const Settings s = Base(dir, GetParam());
    const auto v1 = KeysOfVersion1(ReadFile(Generate(s, dir, "v1.lws", SceneFormat::Lwsc1)));
    for (const SceneFormat format : {SceneFormat::Gltf, SceneFormat::Glb}) {
        const std::string name = format == SceneFormat::Glb ? "p.glb" : "p.gltf";
        RecordingSink sink;
        const std::string path = Generate(s, dir, name, format, &sink);
        EXPECT_TRUE(sink.messages.empty());  // the particle object was read
        EXPECT_TRUE(PassesValidator(path));
        if (format == SceneFormat::Glb) {
            EXPECT_EQ(ReadFile(path).substr(0, 4), "glTF");
        }

        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        const bool loaded = format == SceneFormat::Glb ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                                                       : loader.LoadASCIIFromFile(&model, &error, &warning, path);
        ASSERT_TRUE(loaded) << error;
        ASSERT_EQ(model.nodes.size(), v1.size());
        ASSERT_EQ(model.meshes.size(), 1u);
        ASSERT_EQ(model.animations.size(), 1u);
        EXPECT_EQ(model.animations[0].channels.size(), 3 * v1.size());
        EXPECT_EQ(model.nodes[5].name, "particle_0005");
        EXPECT_EQ(model.accessors[model.meshes[0].primitives[0].attributes["POSITION"]].count, 24u);

        // Every track of every node: the version 1 keys at frame / 24, LINEAR, z mirrored, the
        // heading as a turn about y (pitch and bank are 0 for particles), the scale as it is.
        for (const tinygltf::AnimationChannel& channel : model.animations[0].channels) {
            const ObjectKeys rising = RisingKeys(v1[static_cast<std::size_t>(channel.target_node)]);
            const tinygltf::AnimationSampler& sampler = model.animations[0].samplers[channel.sampler];
            EXPECT_EQ(sampler.interpolation, "LINEAR");
            const tinygltf::Accessor& input = model.accessors[sampler.input];
            const tinygltf::Accessor& output = model.accessors[sampler.output];
            ASSERT_EQ(input.count, rising.size());
            ASSERT_EQ(output.count, rising.size());
            auto data = [&](const tinygltf::Accessor& a) {
                const tinygltf::BufferView& view = model.bufferViews[a.bufferView];
                return reinterpret_cast<const float*>(model.buffers[view.buffer].data.data() + view.byteOffset + a.byteOffset);
            };
            const float* times = data(input);
            const float* values = data(output);
            const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(channel.target_node)];
            for (std::size_t k = 0; k < rising.size(); ++k) {
                EXPECT_FLOAT_EQ(times[k], static_cast<float>(rising[k].frame / 24.0));
                const auto& v = rising[k].value;
                // A hidden key just before a visible one carries the visible key's rotation.
                auto hidden = [&](std::size_t key) {
                    const auto& w = rising[key].value;
                    return w[6] == 0 && w[7] == 0 && w[8] == 0;
                };
                const double heading = hidden(k) && k + 1 < rising.size() && !hidden(k + 1) ? rising[k + 1].value[3] : v[3];
                const double half = heading * std::numbers::pi / 360;
                std::vector<double> expected, at_rest;
                if (channel.target_path == "translation") {
                    expected = {v[0], v[1], -v[2]};
                    at_rest = node.translation;
                } else if (channel.target_path == "rotation") {
                    expected = {0, -std::sin(half), 0, std::cos(half)};
                    at_rest = node.rotation;
                } else {
                    ASSERT_EQ(channel.target_path, "scale");
                    expected = {v[6], v[7], v[8]};
                    at_rest = node.scale;
                }
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    const double got = values[expected.size() * k + i];
                    EXPECT_NEAR(got, expected[i], 2e-5 * std::max(1.0, std::fabs(got))) << channel.target_path;
                    if (k == 0) {
                        // The node rests at its first key.
                        EXPECT_EQ(static_cast<float>(at_rest.at(i)), static_cast<float>(got)) << channel.target_path;
                    }
                }
            }
            EXPECT_EQ(input.minValues.at(0), times[0]);
            EXPECT_EQ(input.maxValues.at(0), times[rising.size() - 1]);
        }

        // And the Open Asset Import Library reads one animated node per particle.
        const auto nodes = AnimatedNodes(AssimpDump(path, dir));
        ASSERT_EQ(nodes.size(), v1.size());
        for (std::size_t o = 0; o < v1.size(); ++o) {
            char name[32];
            std::snprintf(name, sizeof name, "particle_%04zu", o);
            const auto expected = static_cast<int>(RisingKeys(v1[o]).size());
            EXPECT_EQ(nodes.at(name), (std::array<int, 3>{expected, expected, expected})) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PathModes, ExportTest, ::testing::Values(std::int16_t{0}, std::int16_t{1}),
                         [](const auto& info) { return info.param != 0 ? std::string("Linear") : std::string("NonLinear"); });

TEST(GltfExport, AnUnreadableObjectBecomesAUnitCubeWithAWarning) {
    TempDir dir;
    Settings s = Base(dir, 1);
    SetPathText(s.particle_object, dir.str("missing.lwo"));
    RecordingSink sink;
    const std::string path = Generate(s, dir, "cube.glb", SceneFormat::Glb, &sink);
    EXPECT_EQ(sink.messages, std::vector<std::string>{
                                 "Could not read the particle object.\n\nThe glTF scene shows a unit cube\nfor every particle."});
    EXPECT_TRUE(PassesValidator(path));
}

TEST(GltfExport, ABreakWritesTheCompleteParticles) {
    TempDir dir;
    const Settings s = Base(dir, 0);
    ScriptedHook stop(4, PassAction::Break);
    const std::string path = Generate(s, dir, "part.gltf", SceneFormat::Gltf, nullptr, &stop);
    EXPECT_TRUE(PassesValidator(path));
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    ASSERT_TRUE(loader.LoadASCIIFromFile(&model, &error, &warning, path)) << error;
    EXPECT_EQ(model.nodes.size(), 4u);
}

TEST(GltfExport, TargetNamesChooseTheFormat) {
    EXPECT_EQ(FormatForTarget("out/scene.GLB", SceneFormat::Lwsc1), SceneFormat::Glb);
    EXPECT_EQ(FormatForTarget("scene.gltf", SceneFormat::Lwsc1), SceneFormat::Gltf);
    EXPECT_EQ(FormatForTarget("scene.lws", SceneFormat::Lwsc3), SceneFormat::Lwsc3);
    EXPECT_EQ(FormatForTarget("glb", SceneFormat::Lwsc1), SceneFormat::Lwsc1);
}

}  // namespace
}  // namespace vexo
