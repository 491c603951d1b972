// The streaming glTF writer: its tracks, its bytes against the files the in-memory writer made
// (tests/data/golden/gltf_*), and what it leaves behind when it stops or fails.
#include "engine/writers/gltf_scene.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiny_gltf.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include "engine/create_scene.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::PassesValidator;
using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

SceneKey Key(std::int32_t frame, double heading, double scale) {
    return SceneKey{{1, 2, 3, heading, 0, 0, scale, scale, scale}, frame};
}

std::array<float, 4> Quaternion(double heading) {
    const auto q = GltfRotation(heading, 0, 0);
    return {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
            static_cast<float>(q[3])};
}

TEST(GltfTracks, AHiddenKeyJustBeforeAVisibleOneTakesItsRotation) {
    const ObjectKeys keys = {Key(-1, 5, 1),   Key(0, 10, 0),  Key(1, 20, 0),  Key(1, 30, 0),  Key(2, 90, 1),
                             Key(3, 90, 1.5), Key(4, 200, 0), Key(5, 300, 0), Key(6, 45, 0.5)};
    const GltfTracks tracks = MakeGltfTracks(keys);
    EXPECT_EQ(tracks.frames, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    const double headings[] = {10, 90, 90, 90, 200, 45, 45};
    ASSERT_EQ(tracks.rotations.size(), 28u);
    for (std::size_t k = 0; k < 7; ++k) {
        const auto q = Quaternion(headings[k]);
        EXPECT_EQ(std::vector<float>(tracks.rotations.begin() + 4 * k, tracks.rotations.begin() + 4 * k + 4),
                  std::vector<float>(q.begin(), q.end()))
            << "key " << k;
    }
    EXPECT_EQ(std::vector<float>(tracks.translations.begin(), tracks.translations.begin() + 3),
              (std::vector<float>{1, 2, -3}));
    EXPECT_EQ(std::vector<float>(tracks.scales.end() - 3, tracks.scales.end()),
              (std::vector<float>{0.5, 0.5, 0.5}));
    EXPECT_FLOAT_EQ(KeyTime(36), 1.5f);
}

// The settings the golden files were written with: radial emission, so every particle turns,
// growth, a lifespan, Destroy in non-linear and Recycle in linear path mode.
Settings GoldenSettings(const TempDir& dir, bool linear) {
    Settings s = testing::SceneSettings(dir,
                                        "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 "
                                        "1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n");
    SetPathText(s.particle_object, (DataDir() / "simple_cube.lwo").string());
    s.num_particles = 12;
    s.particles_per_frame = 2;
    s.velocity = 0.4;
    s.velocity_variation = 20;
    s.pitch_angle = 60;
    s.pitch_spread = 20;
    s.heading_spread = 360;
    s.gravity = 0.5;
    s.ground_bounce = kFlagTicked;
    s.elasticity = 0.5;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 9;
    s.particle_grow = kFlagTicked;
    s.start_size = 0.2;
    s.end_size = 1.5;
    s.last_frame = 40;
    s.radial_creation = kFlagTicked;
    s.linear_path = linear ? 1 : 0;
    s.end_behavior = static_cast<std::int32_t>(linear ? EndBehavior::Recycle : EndBehavior::Destroy);
    return s;
}

tinygltf::Model Load(const std::string& bytes, bool binary) {
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    const bool loaded =
        binary ? loader.LoadBinaryFromMemory(&model, &error, &warning,
                                             reinterpret_cast<const unsigned char*>(bytes.data()),
                                             static_cast<unsigned>(bytes.size()))
               : loader.LoadASCIIFromString(&model, &error, &warning, bytes.data(),
                                            static_cast<unsigned>(bytes.size()), "");
    EXPECT_TRUE(loaded) << error;
    return model;
}

struct GoldenCase {
    const char* file;
    bool linear;
    SceneFormat format;
};

class GltfGolden : public ::testing::TestWithParam<GoldenCase> {};

// Everything as the in-memory writer wrote it, but for the rotation of each hidden key just
// before a visible one, which is now the visible key's rotation.
TEST_P(GltfGolden, MatchesTheInMemoryWriterButForThePreBirthRotation) {
    const GoldenCase c = GetParam();
    const bool binary = c.format == SceneFormat::Glb;
    TempDir dir;
    Settings s = GoldenSettings(dir, c.linear);
    SetPathText(s.target_scene, dir.str(c.file));
    EngineState state;
    RecordingSink sink;
    ScriptedHook hook;
    ASSERT_EQ(CreateScene(s, state, sink, hook, {GenerationPath::Scheduled, 2, c.format}).outcome,
              WriteOutcome::Complete);
    const std::string actual = ReadFile(dir.path(c.file));
    const std::filesystem::path golden_path = DataDir() / "golden" / c.file;
    const tinygltf::Model now = Load(actual, binary);
    const tinygltf::Model old = Load(ReadFile(golden_path), binary);

    std::vector<unsigned char> expected = old.buffers.at(0).data;
    ASSERT_EQ(now.animations.size(), 1u);
    ASSERT_EQ(now.animations[0].channels.size(), 3 * old.nodes.size());
    int turned = 0;
    for (std::size_t n = 0; n < old.nodes.size(); ++n) {
        const auto& samplers = old.animations[0].samplers;
        const tinygltf::Accessor& rotation = old.accessors[samplers[3 * n + 1].output];
        const tinygltf::Accessor& scale = old.accessors[samplers[3 * n + 2].output];
        unsigned char* r =
            expected.data() + old.bufferViews[rotation.bufferView].byteOffset + rotation.byteOffset;
        const auto* sc = reinterpret_cast<const float*>(
            old.buffers[0].data.data() + old.bufferViews[scale.bufferView].byteOffset + scale.byteOffset);
        std::vector<double> first_rotation = old.nodes[n].rotation;
        for (std::size_t k = 0; k + 1 < rotation.count; ++k) {
            const bool hidden = sc[3 * k] == 0 && sc[3 * k + 1] == 0 && sc[3 * k + 2] == 0;
            const bool next_hidden = sc[3 * k + 3] == 0 && sc[3 * k + 4] == 0 && sc[3 * k + 5] == 0;
            if (!hidden || next_hidden) continue;
            if (std::memcmp(r + 16 * k, r + 16 * k + 16, 16) != 0) ++turned;
            std::memcpy(r + 16 * k, r + 16 * k + 16, 16);
            if (k == 0) {
                float q[4];
                std::memcpy(q, r, 16);
                first_rotation.assign(q, q + 4);
            }
        }
        // Node transforms are written as the shortest text of their floats.
        const auto as_floats = [](const std::vector<double>& values) {
            return std::vector<float>(values.begin(), values.end());
        };
        EXPECT_EQ(now.nodes[n].name, old.nodes[n].name);
        EXPECT_EQ(as_floats(now.nodes[n].translation), as_floats(old.nodes[n].translation));
        EXPECT_EQ(as_floats(now.nodes[n].scale), as_floats(old.nodes[n].scale));
        EXPECT_EQ(as_floats(now.nodes[n].rotation), as_floats(first_rotation)) << "node " << n;
    }
    EXPECT_GT(turned, 0) << "the scene must hold particles that turn at birth";
    const bool same = now.buffers.at(0).data == expected;
    EXPECT_TRUE(same) << "actual file written beside the golden one";
    if (!same) testing::WriteFile(golden_path.string() + ".actual", actual);

    ASSERT_EQ(now.accessors.size(), old.accessors.size());
    for (std::size_t a = 0; a < old.accessors.size(); ++a) {
        const auto& x = now.accessors[a];
        const auto& y = old.accessors[a];
        EXPECT_EQ(
            std::tie(x.bufferView, x.byteOffset, x.componentType, x.count, x.type, x.minValues, x.maxValues),
            std::tie(y.bufferView, y.byteOffset, y.componentType, y.count, y.type, y.minValues, y.maxValues))
            << "accessor " << a;
    }
    ASSERT_EQ(now.bufferViews.size(), old.bufferViews.size());
    for (std::size_t v = 0; v < old.bufferViews.size(); ++v) {
        const auto& x = now.bufferViews[v];
        const auto& y = old.bufferViews[v];
        EXPECT_EQ(std::tie(x.byteOffset, x.byteLength, x.target),
                  std::tie(y.byteOffset, y.byteLength, y.target));
    }
    for (std::size_t i = 0; i < old.animations[0].channels.size(); ++i) {
        const auto& x = now.animations[0].channels[i];
        const auto& y = old.animations[0].channels[i];
        EXPECT_EQ(std::tie(x.sampler, x.target_node, x.target_path),
                  std::tie(y.sampler, y.target_node, y.target_path));
        const auto& sx = now.animations[0].samplers[i];
        const auto& sy = old.animations[0].samplers[i];
        EXPECT_EQ(std::tie(sx.input, sx.output, sx.interpolation),
                  std::tie(sy.input, sy.output, sy.interpolation));
    }
    EXPECT_EQ(now.meshes.at(0).primitives.at(0).attributes, old.meshes.at(0).primitives.at(0).attributes);
    EXPECT_TRUE(PassesValidator(dir.str(c.file)));
}

INSTANTIATE_TEST_SUITE_P(Files, GltfGolden,
                         ::testing::Values(GoldenCase{"gltf_nonlinear.glb", false, SceneFormat::Glb},
                                           GoldenCase{"gltf_nonlinear.gltf", false, SceneFormat::Gltf},
                                           GoldenCase{"gltf_linear.glb", true, SceneFormat::Glb},
                                           GoldenCase{"gltf_linear.gltf", true, SceneFormat::Gltf}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& ch : name) {
                                 if (ch == '.') ch = '_';
                             }
                             return name;
                         });

std::set<std::string> FilesIn(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Stops and failures leave exactly what the text formats leave, and never a temporary file. A
// file size limit fails the writes as a full disk does: while the tracks are spooled (100 KB),
// or only while the target is put together (3 MB, more than any spool holds).
TEST(GltfStops, BreakAbortAndFailedWritesLeaveNoStrayFiles) {
    const struct {
        PassAction action;
        rlim_t limit;
        WriteOutcome outcome;
        std::size_t nodes;  // in the target, when one is kept
    } cases[] = {
        {PassAction::Break, RLIM_INFINITY, WriteOutcome::Interrupted, 7},
        {PassAction::Abort, RLIM_INFINITY, WriteOutcome::Aborted, 0},
        {PassAction::Continue, 100000, WriteOutcome::WriteFailed, 0},
        {PassAction::Continue, 3000000, WriteOutcome::WriteFailed, 0},
    };
    for (const auto& c : cases) {
        for (const SceneFormat format : {SceneFormat::Glb, SceneFormat::Gltf}) {
            TempDir dir;
            Settings s = GoldenSettings(dir, false);
            s.num_particles = 3000;
            s.particles_per_frame = 60;
            const std::string target = format == SceneFormat::Glb ? "scene.glb" : "scene.gltf";
            SetPathText(s.target_scene, dir.str(target));
            EngineState state;
            RecordingSink sink;
            ScriptedHook hook(7, c.action);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limited{c.limit, old.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limited);
            const SceneReport report =
                CreateScene(s, state, sink, hook, {GenerationPath::Scheduled, 2, format});
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, old_handler);

            SCOPED_TRACE(target + " limit " + std::to_string(c.limit));
            EXPECT_EQ(report.outcome, c.outcome);
            if (c.outcome == WriteOutcome::WriteFailed) {
                EXPECT_EQ(report.error, "File too large");
            }
            const std::set<std::string> kept = c.nodes > 0 ? std::set<std::string>{"motion.mot", target}
                                                           : std::set<std::string>{"motion.mot"};
            EXPECT_EQ(FilesIn(dir), kept);
            if (c.nodes > 0) {
                EXPECT_EQ(Load(ReadFile(dir.path(target)), format == SceneFormat::Glb).nodes.size(), c.nodes);
                EXPECT_TRUE(PassesValidator(dir.str(target)));
            }
        }
    }
}

}  // namespace
}  // namespace vexo
