// The size a scene will have, found before it is written, against the files then written: to the
// byte for the LightWave scenes and the point caches, within a stated margin for glTF.
#include "engine/generation/scene_estimate.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "engine/writers/point_cache.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::TempDir;

struct FormatCase {
    SceneFormat format;
    const char* ending;
};
constexpr FormatCase kFormats[] = {{SceneFormat::Lwsc1, ".lws"}, {SceneFormat::Lwsc3, ".lws"},
                                   {SceneFormat::Gltf, ".gltf"}, {SceneFormat::Glb, ".glb"},
                                   {SceneFormat::Pc2, ".pc2"},   {SceneFormat::Mdd, ".mdd"}};

Settings CaseSettings(const testing::TextCase& c, const TempDir& dir, const char* ending) {
    Settings s = DefaultSettings();
    SetPathText(s.parent_motion, (DataDir() / "emitter_v1.mot").string());
    SetPathText(s.particle_object, (DataDir() / "simple_cube.lwo").string());
    std::string target = "scene";
    for (const std::string& line : c.lines) {
        if (line.starts_with("particle_object=")) {
            SetPathText(s.particle_object, (DataDir() / line.substr(16)).string());
        } else if (line.starts_with("target_scene=")) {
            target = line.substr(13);
        } else {
            EXPECT_TRUE(AssignSetting(s, line).ok) << line;
        }
    }
    std::filesystem::create_directories(dir.path(target).parent_path());
    SetPathText(s.target_scene, dir.str(target + ending));
    return s;
}

// The key count lines of a version 1 scene, added up.
std::uint64_t Version1Keys(const std::string& scene) {
    std::istringstream in(scene);
    std::uint64_t keys = 0;
    for (std::string line; std::getline(in, line);) {
        if (line != "ObjectMotion (unnamed)") continue;
        std::getline(in, line);  // channels
        std::getline(in, line);
        keys += std::stoull(line);
    }
    return keys;
}

TEST(SceneEstimate, MatchesTheWrittenFiles) {
    for (const auto& c : testing::ReadCases("estimate_cases.txt")) {
        for (const FormatCase& f : kFormats) {
            SCOPED_TRACE(c.name + " " + f.ending + " " + std::to_string(static_cast<int>(f.format)));
            TempDir dir;
            const Settings s = CaseSettings(c, dir, f.ending);
            const GenerateOptions options{.format = f.format};
            EngineState state;
            testing::RecordingSink sink;
            testing::ScriptedHook hook;
            const EstimateResult e = EstimateScene(s, state, sink, hook, options);
            ASSERT_TRUE(e.estimate.has_value());
            // Every object is made once while measuring (a point cache needs no object made).
            EXPECT_EQ(hook.seen.size(), IsPointCache(f.format) ? 0u : e.estimate->objects);
            const SceneReport written = CreateScene(s, state, sink, hook, options);
            ASSERT_EQ(written.outcome, WriteOutcome::Complete);
            const std::string target = PathText(s.target_scene);
            std::uint64_t size = std::filesystem::file_size(target);
            if (IsPointCache(f.format)) size += std::filesystem::file_size(CompanionPath(target, f.format));
            EXPECT_EQ(e.estimate->objects, static_cast<std::uint32_t>(s.num_particles));
            if (f.format == SceneFormat::Gltf || f.format == SceneFormat::Glb) {
                // Close: within 3 % and 512 bytes of the written size.
                EXPECT_FALSE(e.estimate->exact);
                const double margin = 0.03 * static_cast<double>(size) + 512.0;
                EXPECT_NEAR(static_cast<double>(e.estimate->bytes), static_cast<double>(size), margin);
            } else {
                EXPECT_TRUE(e.estimate->exact);
                EXPECT_EQ(e.estimate->bytes, size);
            }
            if (f.format == SceneFormat::Lwsc1) {
                const std::string scene = testing::ReadFile(target);
                EXPECT_EQ(e.estimate->keys, Version1Keys(scene));
                // What the progress shows as written: the end of every object block.
                std::vector<std::uint64_t> ends;
                for (auto i = scene.find("ShadowOptions 2\n\n"); i != std::string::npos;
                     i = scene.find("ShadowOptions 2\n\n", i + 1))
                    ends.push_back(i + 17);
                EXPECT_EQ(e.estimate->BytesAfter(0), std::min(scene.find("LoadObject"), scene.size()));
                for (std::uint32_t p = 0; p < ends.size(); ++p)
                    EXPECT_EQ(e.estimate->BytesAfter(p + 1), ends[p]);
            }
            if (IsPointCache(f.format)) {
                EXPECT_EQ(e.estimate->keys, std::uint64_t(s.num_particles) * (s.last_frame + 1));
            }
        }
    }
}

// The estimate runs on a copy of the engine state: the scene written after it is the scene a
// program start writes, which is the scene that was measured.
TEST(SceneEstimate, LeavesTheEngineStateAlone) {
    TempDir dir;
    const auto cases = testing::ReadCases("estimate_cases.txt");
    const Settings s = CaseSettings(cases[2], dir, ".lws");
    testing::RecordingSink sink;
    testing::ScriptedHook hook;
    EngineState fresh;
    ASSERT_EQ(CreateScene(s, fresh, sink, hook).outcome, WriteOutcome::Complete);
    const std::string first = testing::ReadFile(PathText(s.target_scene));
    EngineState state;
    ASSERT_TRUE(EstimateScene(s, state, sink, hook).estimate);
    ASSERT_EQ(CreateScene(s, state, sink, hook).outcome, WriteOutcome::Complete);
    EXPECT_EQ(testing::ReadFile(PathText(s.target_scene)), first);
}

// Settings the generation refuses give no estimate and the generation's own message; an abort
// from the hook stops the measuring.
TEST(SceneEstimate, RefusalsAndStops) {
    TempDir dir;
    Settings s = CaseSettings({"", {}}, dir, ".lws");
    const std::string missing =
        "Could not open motion file\n\n" + dir.str("none.mot") + "\n\nNo such file or directory";
    const std::tuple<std::string, SceneFormat, std::string> cases[] = {
        {"frame_step=0", SceneFormat::Lwsc1, scene_text::kZeroFrameStep},
        {"frame_step=0", SceneFormat::Pc2, scene_text::kZeroFrameStep},
        {"parent_motion=" + dir.str("none.mot"), SceneFormat::Lwsc1, missing},
        {"parent_motion=" + dir.str("none.mot"), SceneFormat::Mdd, missing},
    };
    for (const auto& [assignment, format, message] : cases) {
        Settings changed = s;
        ASSERT_TRUE(AssignSetting(changed, assignment).ok);
        testing::RecordingSink sink;
        testing::ScriptedHook hook;
        const EstimateResult e = EstimateScene(changed, EngineState{}, sink, hook, {.format = format});
        EXPECT_FALSE(e.estimate) << assignment;
        ASSERT_FALSE(sink.messages.empty()) << assignment;
        EXPECT_EQ(sink.messages[0], message) << assignment;
    }
    testing::RecordingSink sink;
    testing::ScriptedHook abort_at_2(2, PassAction::Abort);
    const Settings seven = CaseSettings(testing::ReadCases("estimate_cases.txt")[2], dir, ".lws");
    const EstimateResult e = EstimateScene(seven, EngineState{}, sink, abort_at_2);
    EXPECT_FALSE(e.estimate);
    EXPECT_EQ(e.report.outcome, WriteOutcome::Aborted);
    EXPECT_FALSE(std::filesystem::exists(PathText(s.target_scene)));
}

TEST(SceneEstimate, ByteCountsForPeople) {
    const std::tuple<std::uint64_t, std::string, std::string> cases[] = {
        {0, "0 bytes", "0 bytes"},
        {999, "999 bytes", "999 bytes"},
        {1000, "1000 bytes (1.0 KB)", "1.0 KB"},
        {1049, "1049 bytes (1.0 KB)", "1.0 KB"},
        {999949, "999949 bytes (999.9 KB)", "999.9 KB"},
        {999950, "999950 bytes (1.0 MB)", "1.0 MB"},
        {1234567890, "1234567890 bytes (1.2 GB)", "1.2 GB"},
        {18446744073709551615u, "18446744073709551615 bytes (18.4 EB)", "18.4 EB"},
    };
    for (const auto& [bytes, long_form, short_form] : cases) {
        EXPECT_EQ(ByteCount(bytes), long_form);
        EXPECT_EQ(ShortByteCount(bytes), short_form);
    }
    EXPECT_EQ(
        scene_text::NoRoom(1234567, 10, true),
        "Cannot create the scene:\nThe scene needs 1234567 bytes (1.2 MB),\nbut its file system has 10 bytes "
        "free.\n\nNothing was written.");
    EXPECT_EQ(scene_text::NoRoom(1234567, 2000000, false, 2400000),
              "Cannot create the scene:\nThe scene needs about 1234567 bytes (1.2 MB),\n2400000 bytes (2.4 "
              "MB) while it is written,\nbut its file system has 2000000 bytes (2.0 MB) free.\n\nNothing "
              "was written.");
    EXPECT_EQ(
        scene_text::LargeSceneQuestion(2000000000, 5000000000, false),
        "The scene needs about 2000000000 bytes (2.0 GB).\nIts file system has 5000000000 bytes (5.0 GB) "
        "free.\n\nWrite it?");
    EXPECT_EQ(scene_text::LargeSceneQuestion(2000000000, std::nullopt, true),
              "The scene needs 2000000000 bytes (2.0 GB).\n\nWrite it?");
}

// A point cache's progress is its share of the frames written.
TEST(SceneEstimate, BytesAfterWithoutObjectEnds) {
    SceneEstimate e;
    e.objects = 4;
    e.bytes = 1000;
    e.header = 100;
    for (const auto& [pass, bytes] : {std::pair{0u, 100u}, {1u, 325u}, {4u, 1000u}, {9u, 1000u}})
        EXPECT_EQ(e.BytesAfter(pass), bytes) << pass;
}

}  // namespace
}  // namespace vexo
