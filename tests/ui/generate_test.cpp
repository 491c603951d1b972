// The Generate command: the progress window, Abort and Ctrl-C, the overwrite question, and the
// messages for everything that can go wrong.
#include <sstream>

#include "cli/cli_app.hpp"
#include "prefs/settings_text.hpp"
#include "tests/ui/ui_test_support.hpp"
#include "ui/option_windows.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(Generate, ScenarioTest,
                         ::testing::Values("abort_close_ctrlc", "no_input_while_generating",
                                           "what_goes_wrong", "overwrite", "no_progress_window",
                                           "long_object", "generate", "scene_size"),
                         ScriptName);

class GenerateTest : public UiTest {};

TEST_F(GenerateTest, NoMemoryForTheParticlesIsSaid) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed throwing new instead of throwing";
#endif
    Script("no_memory");
}

TEST_F(GenerateTest, AGlbTargetIsWrittenAsGltf) {
    Script("glb");
    EXPECT_EQ(ReadFile(dir.path("s.glb")).substr(0, 4), "glTF");
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("s.glb")));
}

TEST_F(GenerateTest, APointCacheTargetWritesTheCacheAndItsObject) {
    Script("point_cache");
    EXPECT_TRUE(ReadFile(dir.path("c.pc2")).starts_with(std::string("POINTCACHE2\0", 12)));
    EXPECT_TRUE(ReadFile(dir.path("c.obj")).starts_with("# Vexo 1.1: 3 copies of the particle object"));
    EXPECT_EQ(ReadFile(dir.path("m.mdd")).substr(0, 8), std::string("\0\0\0\x1f\0\0\0\x18", 8));
    EXPECT_EQ(ReadFile(dir.path("m.lwo")).substr(8, 4), "LWO2");
}

// The progress window's texts and the title of a finished Generate, word for word.
TEST(GenerateTexts, ProgressAndFinishedTitle) {
    EXPECT_EQ(ProgressObjects(0, 20, true), "measuring object 1 of 20");
    EXPECT_EQ(ProgressObjects(19, 20, false), "object 20 of 20");
    EXPECT_EQ(ProgressObjects(20, 20, false), "object 20 of 20");
    EXPECT_EQ(ProgressBytes(73, 1931), "73 bytes of 1.9 KB written");
    EXPECT_EQ(ProgressBytes(1250000000, 3999999999), "1.2 GB of 4.0 GB written");
    EXPECT_EQ(FinishedTitle(20, false, "s.lws", 999), "Vexo: wrote 20 objects to s.lws, 999 bytes");
    EXPECT_EQ(FinishedTitle(1, true, "c.pc2 and c.obj", 13047),
              "Vexo: wrote 1 particles to c.pc2 and c.obj, 13.0 KB");
}

// Every setting is entered through the windows; the scene must be byte for byte what the
// batch tool writes from the same settings in a fresh run.
TEST_F(GenerateTest, EverySettingThroughTheWindowsMatchesTheBatchTool) {
    Script("every_setting");
    std::vector<std::string> args = {"vexo-cli"};
    std::istringstream lines(FormatSettings(current_prefs));
    for (std::string line; std::getline(lines, line);) {
        args.insert(
            args.end(),
            {"--set", line.rfind("target_scene=", 0) == 0 ? "target_scene=" + dir.str("cli.lws") : line});
    }
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    cli::CliStreams streams{out, err, false, {}, {}, {}};
    EngineState fresh;
    ASSERT_EQ(cli::RunCli(static_cast<int>(argv.size()), argv.data(), streams, fresh), 0) << err.str();
    EXPECT_EQ(ReadFile(dir.path("cli.lws")), ReadFile(dir.path("s.lws")));
}

}  // namespace
}  // namespace vexo::uitest
