// Whole version 3 and glTF scenes: golden bytes, independent readers (the Khronos validator, tinygltf,
// the Open Asset Import Library, Vexo's own scene reader) against the version 1 keys, and what stops and
// failed writes leave.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/motion/motion.hpp"
#include "engine/motion/motion_file.hpp"
#include "engine/writers/scene_formats.hpp"
#include "prefs/settings_text.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::ReadFile;
using testing::TempDir;

// tests/data/export_settings.txt: radial emission, so that every particle turns; growth from
// nothing, a lifespan, a bounce.
Settings Base(const TempDir& dir, bool linear) {
    Settings s = testing::SceneSettings(dir,
                                        "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n"
                                        "10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n");
    std::istringstream lines(ReadFile(DataDir() / "export_settings.txt"));
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(AssignSetting(s, line).ok) << line;
    SetPathText(s.particle_object, (DataDir() / "simple_cube.lwo").string());
    s.linear_path = linear ? 1 : 0;
    return s;
}

SceneReport Generate(Settings s, const std::string& path, double fps,
                     PassHook&& hook = testing::ScriptedHook()) {
    SetPathText(s.target_scene, path);
    EngineState state;  // a fresh program run for every file
    testing::RecordingSink sink;
    return CreateScene(s, state, sink, hook,
                       {GenerationPath::Scheduled, 2, FormatForTarget(path, SceneFormat::Lwsc3), fps});
}

tinygltf::Model Load(const std::string& path) {
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    EXPECT_TRUE(ReadFile(path).starts_with("glTF") ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                                                   : loader.LoadASCIIFromFile(&model, &error, &warning, path))
        << error;
    return model;
}

// The rising keys of every object, as the version 1 scene writes them.
struct RisingKeysOf : KeyReceiver {
    void Motion(const MotionTable&, const EngineState&) override {}
    void Object(std::uint32_t, ObjectKeys& keys) override { objects.push_back(RisingKeys(keys)); }
    std::vector<ObjectKeys> objects;
};

// The position and scale key counts of all animated nodes as the Open Asset Import Library reads them.
std::vector<std::size_t> AssimpKeyCounts(const std::string& file, const TempDir& dir) {
    std::string output;
    const std::string xml = dir.str("dump.xml");
    EXPECT_EQ(
        testing::Run("ulimit -v 4000000; timeout 120 assimp dump '" + file + "' '" + xml + "'", &output), 0)
        << output;
    const std::string dump = ReadFile(xml);
    std::vector<std::size_t> counts;
    for (const std::string_view list : {"<PositionKeyList num=\"", "<ScalingKeyList num=\""}) {
        for (auto at = dump.find(list); at != std::string::npos; at = dump.find(list, at + 1)) {
            counts.push_back(std::stoul(dump.substr(at + list.size(), 12)));
        }
    }
    std::sort(counts.begin(), counts.end());
    return counts;
}

// Every byte against the golden files, in both path modes (non-linear at 25 frames per second).
TEST(Export, Version3AndGltfHoldTheVersion1Keys) {
    for (const bool linear : {true, false}) {
        TempDir dir;
        const Settings s = Base(dir, linear);
        const double fps = linear ? 24 : 25;
        RisingKeysOf v1;
        EngineState state;
        testing::ScriptedHook hook;
        testing::RecordingSink sink;
        CollectSceneKeys(s, state, sink, hook, v1, {GenerationPath::Scheduled, 2, SceneFormat::Lwsc1, fps});
        std::vector<std::size_t> counts;
        for (const ObjectKeys& keys : v1.objects) counts.insert(counts.end(), 2, keys.size());
        std::sort(counts.begin(), counts.end());
        const std::string mode = linear ? "linear" : "nonlinear";
        for (const std::string& name :
             {"v3_" + mode + ".lws", "gltf_" + mode + ".gltf", "gltf_" + mode + ".glb"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Generate(s, dir.str(name), fps).outcome, WriteOutcome::Complete);
            std::string bytes = ReadFile(dir.path(name));
            const std::string data = DataDir().string();  // "DATA" in the golden file
            for (auto at = bytes.find(data); at != std::string::npos; at = bytes.find(data))
                bytes.replace(at, data.size(), "DATA");
            EXPECT_TRUE(testing::MatchesGolden(bytes, name));
            EXPECT_EQ(AssimpKeyCounts(dir.str(name), dir), counts);
            if (name.ends_with(".lws")) continue;
            EXPECT_TRUE(testing::PassesValidator(dir.str(name)));
            const tinygltf::Model model = Load(dir.str(name));  // and tinygltf reads it
            EXPECT_EQ(model.animations.at(0).channels.size(), 3 * v1.objects.size());
            // And Vexo reads its own glTF back: every particle node gives the version 1 keys.
            for (std::size_t n = 0; n < v1.objects.size(); ++n) {
                Settings read = s;
                SetPathText(read.parent_motion, dir.str(name + "#particle_000" + std::to_string(n)));
                const auto table = GetMotionFile(read, sink, state, fps);
                ASSERT_TRUE(table) << n;
                const std::int32_t first = v1.objects[n].front().frame;  // entry 0 is the first key's frame
                ASSERT_EQ(table->size(), static_cast<std::size_t>(v1.objects[n].back().frame - first) + 1);
                for (const SceneKey& key : v1.objects[n]) {
                    MotionFrame got = (*table)[static_cast<std::size_t>(key.frame - first)];
                    // A hidden key takes the rotation of the birth after it in glTF (no turn while it grows).
                    if (key.value[6] == 0 && key.value[7] == 0 && key.value[8] == 0)
                        std::copy(&key.value[3], &key.value[6], &got.value[3]);
                    for (int c = 0; c < 9; ++c) {
                        const double gap = got.value[c] - key.value[c];
                        EXPECT_NEAR(c >= 3 && c <= 5 ? std::remainder(gap, 360.0) : gap, 0, 1e-4)
                            << n << " " << c;
                    }
                }
            }
        }
    }
}

// A break keeps the complete particles; an abort, or a file size limit (which fails the writes as a
// full disk does) while the tracks are spooled (100 KB) or only while the target is put together
// (3 MB, more than any spool holds), keeps nothing. No temporary file is ever left.
TEST(Export, StopsAndFailedWritesLeaveNoStrayFiles) {
    const struct {
        PassAction action;
        rlim_t limit;
        WriteOutcome outcome;
    } cases[] = {{PassAction::Break, RLIM_INFINITY, WriteOutcome::Interrupted},
                 {PassAction::Abort, RLIM_INFINITY, WriteOutcome::Aborted},
                 {PassAction::Continue, 100000, WriteOutcome::WriteFailed},
                 {PassAction::Continue, 3000000, WriteOutcome::WriteFailed}};
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        for (const std::string target : {"scene.GLB", "scene.gltf"}) {  // in any case, a name asks for glTF
            SCOPED_TRACE(target + " limit " + std::to_string(c.limit));
            TempDir dir;
            Settings s = Base(dir, false);
            s.num_particles = 3000;
            s.particles_per_frame = 60;
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const rlimit limited{c.limit, old.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limited);
            const SceneReport report = Generate(s, dir.str(target), 24, testing::ScriptedHook(7, c.action));
            setrlimit(RLIMIT_FSIZE, &old);
            EXPECT_EQ(report.outcome, c.outcome);
            EXPECT_TRUE(c.outcome != WriteOutcome::WriteFailed || report.error == "File too large")
                << report.error;
            const bool kept = c.action == PassAction::Break;
            EXPECT_EQ(dir.Listing(), (kept ? std::vector<std::string>{"motion.mot", target}
                                           : std::vector<std::string>{"motion.mot"}));
            if (!kept) continue;
            EXPECT_TRUE(testing::PassesValidator(dir.str(target)));
            EXPECT_EQ(Load(dir.str(target)).nodes.size(), 7u);
        }
    }
    std::signal(SIGXFSZ, old_handler);
}

}  // namespace
}  // namespace vexo
