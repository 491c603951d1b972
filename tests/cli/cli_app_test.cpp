#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "cli/break_signal.hpp"
#include "cli/cli_app.hpp"
#include "engine/create_scene.hpp"
#include "engine/settings/settings.hpp"
#include "prefs/prefs_file.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::cli {
namespace {

using vexo::testing::ReadFile;
using vexo::testing::TempDir;
using vexo::testing::WriteFile;

constexpr const char* kMotion =
    "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n2 1 0 45 0 0 1 1 1\n30 1 0 0 0\n";

struct CliResult {
    int code = -1;
    std::string out, err;
};

struct CliFixture : ::testing::Test {
    void SetUp() override { WriteFile(dir.path("m.mot"), kMotion); }

    CliResult Run(std::vector<std::string> args, std::function<void(std::uint32_t)> on_pass = {},
                  bool terminal = false) {
        args.insert(args.begin(), "vexo-cli");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        CliStreams streams{out, err, terminal, std::move(on_pass)};
        CliResult r;
        r.code = RunCli(static_cast<int>(argv.size()), argv.data(), streams, state);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::vector<std::string> SceneArgs(int particles) {
        return {"--object", "drop.lwo", "--motion", dir.str("m.mot"), "--scene", dir.str("s.lws"),
                "--set", "num_particles=" + std::to_string(particles), "--set", "particles_per_frame=1",
                "--set", "velocity=0.5"};
    }

    TempDir dir;
    EngineState state;
};

TEST_F(CliFixture, GeneratesTheSameSceneAsTheEngine) {
    const CliResult r = Run(SceneArgs(4));
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "vexo-cli: wrote 4 objects to " + dir.str("s.lws") + "\n");
    EXPECT_EQ(r.out, "");

    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "drop.lwo");
    SetPathText(s.parent_motion, dir.str("m.mot"));
    SetPathText(s.target_scene, dir.str("e.lws"));
    s.num_particles = 4;
    s.particles_per_frame = 1;
    s.velocity = 0.5;
    EngineState fresh;
    vexo::testing::RecordingSink sink;
    vexo::testing::ScriptedHook hook;
    CreateScene(s, fresh, sink, hook);
    EXPECT_EQ(ReadFile(dir.path("s.lws")), ReadFile(dir.path("e.lws")));
}

// On a terminal the bar is cleared before anything else is printed, and it shows the objects
// written so far: never 100% before the last one is written. --quiet prints nothing at all.
TEST_F(CliFixture, ProgressBarQuietAndSummary) {
    const std::string empty_bar = "\r[" + std::string(40, ' ') + "] 0%  object 0 of ";
    const std::string cleared = "\x1b[K\r\x1b[K";
    CliResult r = Run(SceneArgs(1), {}, true);
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.err, empty_bar + "1" + cleared + "vexo-cli: wrote 1 objects to " + dir.str("s.lws") + "\n");
    r = Run(SceneArgs(3), [](std::uint32_t pass) { if (pass == 1) std::raise(SIGINT); }, true);
    EXPECT_EQ(r.code, kExitInterrupted);
    EXPECT_EQ(r.err, empty_bar + "3" + cleared + "vexo-cli: interrupted: " + dir.str("s.lws") + " holds 1 of 3 objects\n");
    for (bool terminal : {false, true}) {
        auto args = SceneArgs(2);
        args.push_back("--quiet");
        r = Run(args, {}, terminal);
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_EQ(r.err + r.out, "");
    }
}

// The first Ctrl-C asks for a stop at the next object; the handler then steps aside, so a
// second one ends a long pass at once.
TEST(BreakSignal, TheSecondCtrlCEndsTheProgram) {
    InstallBreakHandler();
    EXPECT_FALSE(BreakRequested());
    struct sigaction action {};
    sigaction(SIGINT, nullptr, &action);
    EXPECT_NE(action.sa_handler, SIG_DFL);
    std::raise(SIGINT);
    EXPECT_TRUE(BreakRequested());
    sigaction(SIGINT, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
    InstallBreakHandler();
    EXPECT_FALSE(BreakRequested());
    RemoveBreakHandler();
}

TEST_F(CliFixture, TooManyParticlesNamesTheCount) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed throwing new instead of throwing";
#endif
    const CliResult r = Run(SceneArgs(2147483647));
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, "vexo-cli: could not create scene: not enough memory for 2147483647 particles\n");
}

TEST_F(CliFixture, PreferencesFileThenOverridesInOrder) {
    auto args = SceneArgs(3);
    args.insert(args.end(), {"--set", "gravity=9.81", "--set", "linear_path=0", "--write-prefs",
                             dir.str("p.prefs")});
    CliResult r = Run(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws")));  // writing prefs does not generate
    Settings loaded = DefaultSettings();
    ASSERT_EQ(LoadPrefsFile(dir.str("p.prefs"), loaded), PrefsLoadResult::Loaded);
    EXPECT_EQ(loaded.gravity, 9.81);
    EXPECT_EQ(loaded.linear_path, 0);
    EXPECT_EQ(loaded.num_particles, 3);

    r = Run({dir.str("p.prefs"), "--set", "num_particles=7", "--print-prefs"});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_NE(r.out.find("num_particles=7\n"), std::string::npos);
    EXPECT_NE(r.out.find("gravity=9.81\n"), std::string::npos);
    EXPECT_NE(r.out.find("linear_path=off\n"), std::string::npos);
    EXPECT_NE(r.out.find("parent_motion=" + dir.str("m.mot") + "\n"), std::string::npos);

    r = Run({dir.str("p.prefs")});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path("s.lws")));
}

TEST_F(CliFixture, BadSettingsAreRefusedBeforeAnythingIsWritten) {
    auto args = SceneArgs(3);
    args.insert(args.end(), {"--set", "num_particles=-3"});
    CliResult r = Run(args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: num_particles=-3: Cannot have a negative number of particles\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws")));

    args = SceneArgs(3);
    args.insert(args.end(), {"--set", "frame_step=0"});
    r = Run(args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: Cannot create a scene with a frame step of 0. Please enter 1 or more.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws")));

    r = Run({"--set", "velocity=fast"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: velocity=fast: This is not a number.\n");

    r = Run({"--bogus"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos);

    r = Run({"--set", "num_particles=1"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: no target scene: give --scene PATH or set target_scene\n");
}

TEST_F(CliFixture, CorrectedAnglesAreReported) {
    const CliResult r = Run({"--set", "heading_spread=9999", "--set", "heading_angle=-999", "--print-prefs"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.err,
              "vexo-cli: note: heading_spread=9999 stored as 279\n"
              "vexo-cli: note: heading_angle=-999 stored as -279\n");
    EXPECT_NE(r.out.find("heading_spread=279\n"), std::string::npos);
}

TEST_F(CliFixture, PreferencesFileProblems) {
    CliResult r = Run({dir.str("none.prefs"), "--print-prefs"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: cannot open preferences file " + dir.str("none.prefs") +
                         ": No such file or directory\n");
    WriteFile(dir.path("scene.prefs"), "LWSC\n1\n");
    r = Run({dir.str("scene.prefs"), "--print-prefs"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: " + dir.str("scene.prefs") + ": This is not a VEXO preferences file\n");
    r = Run({"--write-prefs", dir.str("missing/p.prefs")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, "vexo-cli: cannot write preferences file " + dir.str("missing/p.prefs") +
                         ": No such file or directory\n");
}

TEST_F(CliFixture, MotionFileErrorsShowTheReadersMessage) {
    WriteFile(dir.path("m.mot"), "\nLWMO\n");
    const CliResult r = Run(SceneArgs(2));
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.out, "temp = \n -- end of string\n");
    EXPECT_EQ(r.err, "vexo-cli: Not a LWMO file\nvexo-cli: could not create scene: motion file error\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws")));
}

TEST_F(CliFixture, WriteFailuresAreFailures) {
    auto args = SceneArgs(2);
    args.insert(args.end(), {"--set", "target_scene=" + dir.str("no/s.lws")});
    CliResult r = Run(args);
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, "vexo-cli: cannot create target scene " + dir.str("no/s.lws") + ": No such file or directory\n");
    if (std::filesystem::exists("/dev/full")) {
        args = SceneArgs(2);
        args.insert(args.end(), {"--set", "target_scene=/dev/full"});
        r = Run(args);
        EXPECT_EQ(r.code, kExitFailure);
        EXPECT_EQ(r.err, "vexo-cli: writing target scene /dev/full failed: No space left on device\n");
    }
}

TEST_F(CliFixture, CtrlCKeepsTheCompleteBlocks) {
    const CliResult r = Run(SceneArgs(10), [](std::uint32_t pass) {
        if (pass == 4) std::raise(SIGINT);
    });
    EXPECT_EQ(r.code, kExitInterrupted);
    EXPECT_EQ(r.err, "vexo-cli: interrupted: " + dir.str("s.lws") + " holds 4 of 10 objects\n");
    const std::string scene = ReadFile(dir.path("s.lws"));
    std::size_t blocks = 0;
    for (std::size_t at = scene.find("ShadowOptions 2\n\n"); at != std::string::npos;
         at = scene.find("ShadowOptions 2\n\n", at + 1)) {
        ++blocks;
    }
    EXPECT_EQ(blocks, 4u);
    EXPECT_EQ(scene.substr(scene.size() - 17), "ShadowOptions 2\n\n");
    // The handler is gone afterwards: the next run is not interrupted by the old request.
    EXPECT_EQ(Run(SceneArgs(2)).code, kExitOk);
}

TEST_F(CliFixture, ReadsVersionThreeMotionAndWritesEveryFormat) {
    auto args = SceneArgs(3);
    args.insert(args.end(), {"--set", "parent_motion=" + (vexo::testing::DataDir() / "emitter_v3.mot").string()});
    ASSERT_EQ(Run(args).code, kExitOk);
    EXPECT_EQ(ReadFile(dir.path("s.lws")).substr(0, 7), "LWSC\n1\n");
    for (const char* format : {"lwsc3", "glb", "gltf"}) {
        auto with_format = args;
        with_format.insert(with_format.end(), {"--format", format, "--set", std::string("target_scene=") + dir.str(format)});
        const CliResult r = Run(with_format);
        EXPECT_EQ(r.code, kExitOk) << r.err;
        // The particle object "drop.lwo" does not exist: glTF scenes say they use a cube.
        EXPECT_EQ(r.err.find("unit cube") != std::string::npos, std::string(format) != "lwsc3") << r.err;
    }
    EXPECT_EQ(ReadFile(dir.path("lwsc3")).substr(0, 7), "LWSC\n3\n");
    EXPECT_EQ(ReadFile(dir.path("glb")).substr(0, 4), "glTF");
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("glb")));
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("gltf")));
    // A target named .glb is glTF without asking.
    args.insert(args.end(), {"--set", "target_scene=" + dir.str("auto.glb")});
    ASSERT_EQ(Run(args).code, kExitOk);
    EXPECT_EQ(ReadFile(dir.path("auto.glb")).substr(0, 4), "glTF");
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("auto.glb")));
}

TEST_F(CliFixture, HelpDocumentsEveryOption) {
    const CliResult r = Run({"--help"});
    EXPECT_EQ(r.code, kExitOk);
    for (const char* word : {"PREFS_FILE", "--object", "--motion", "--scene", "--set", "--print-prefs",
                             "--write-prefs", "--quiet", "--engine", "--format", "--threads", "lwsc3", "glb",
                             "end_behavior", "Exit status", "130"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vexo::cli
