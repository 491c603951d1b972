#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "cli/break_signal.hpp"
#include "cli/cli_app.hpp"
#include "cli/progress_bar.hpp"
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
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);  // Ctrl-C after a generation ends the program
    EXPECT_EQ(r.err, empty_bar + "1" + cleared + "vexo-cli: wrote 1 objects to " + dir.str("s.lws") + "\n");
    r = Run(SceneArgs(3), [](std::uint32_t pass) { if (pass == 1) std::raise(SIGINT); }, true);
    EXPECT_EQ(r.code, kExitInterrupted);
    EXPECT_EQ(r.err, empty_bar + "3" + cleared + "vexo-cli: interrupted: " + dir.str("s.lws") + " holds 1 of 3 objects\n");
    std::ostringstream drawn;
    ProgressBar bar(drawn);
    bar.Update(2, 3);
    bar.Finish();
    EXPECT_EQ(drawn.str(), "\r[" + std::string(26, '#') + std::string(14, ' ') + "] 66%  object 2 of 3" + cleared);
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
    EXPECT_EQ(r.err, "vexo-cli: could not create scene: not enough memory for 2147483647 particle records\n");
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
    // The heading angle keeps -360 to 360 as typed and wraps what lies beyond, as --help says.
    const struct {
        const char* typed;
        const char* note;
        const char* stored;
    } angles[] = {{"-360", "", "-360"}, {"360", "", "360"},
                  {"-361", "vexo-cli: note: heading_angle=-361 stored as -1\n", "-1"},
                  {"361", "vexo-cli: note: heading_angle=361 stored as 1\n", "1"},
                  {"-720", "vexo-cli: note: heading_angle=-720 stored as 0\n", "0"}};
    for (const auto& a : angles) {
        const CliResult angle = Run({"--set", std::string("heading_angle=") + a.typed, "--print-prefs"});
        EXPECT_EQ(angle.err, a.note);
        EXPECT_NE(angle.out.find(std::string("heading_angle=") + a.stored + "\n"), std::string::npos) << a.typed;
    }
    EXPECT_NE(Run({"--help"}).out.find("heading angle beyond -360..360\n"
                                       "                                                 to -359..359"),
              std::string::npos);
}

// Every way a path reaches the settings refuses control characters, without echoing them.
TEST_F(CliFixture, ControlCharactersInPathsAreRefused) {
    const std::string refused = ": A path must not hold control characters such as line breaks.\n";
    for (const char* field : {"particle_object", "parent_motion", "target_scene"}) {
        for (const char* bad : {"a\nLoadObject b", "a\rb", "a\x1b[2Jb", "a\tb", "a\x7f"}) {
            const std::string option = field == std::string("particle_object") ? "--object"
                                       : field == std::string("parent_motion") ? "--motion"
                                                                                : "--scene";
            for (bool by_set : {false, true}) {
                auto args = SceneArgs(2);
                if (by_set) {
                    args.insert(args.end(), {"--set", std::string(field) + "=" + bad});
                } else {
                    *(std::find(args.begin(), args.end(), option) + 1) = bad;
                }
                const CliResult r = Run(args);
                EXPECT_EQ(r.code, kExitUsage);
                EXPECT_EQ(r.err, "vexo-cli: " + std::string(field) + "=..." + refused);
            }
        }
    }
    // A preferences file may hold one; the engine refuses to generate from it.
    Settings s = vexo::testing::SceneSettings(dir, kMotion);
    s.num_particles = 2;
    SetPathText(s.particle_object, "drop.lwo\nLoadObject evil.lwo");
    ASSERT_TRUE(SavePrefsFile(dir.str("ctl.prefs"), s, nullptr));
    const CliResult r = Run({dir.str("ctl.prefs")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "vexo-cli: Cannot create a scene: a path holds a control character such as a line break.\n");
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"ctl.prefs", "m.mot", "motion.mot"}));
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
    ASSERT_EQ(::mkfifo(dir.str("fifo.prefs").c_str(), 0600), 0);
    r = Run({"--write-prefs", dir.str("fifo.prefs")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, "vexo-cli: cannot write preferences file " + dir.str("fifo.prefs") + ": Not a regular file\n");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("fifo.prefs")));
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

TEST_F(CliFixture, CtrlCBeforeTheFirstObjectLeavesTheTargetUntouched) {
    WriteFile(dir.path("s.lws"), "old scene");
    const CliResult r = Run(SceneArgs(10), [](std::uint32_t pass) {
        if (pass == 0) std::raise(SIGINT);
    });
    EXPECT_EQ(r.code, kExitInterrupted);
    EXPECT_EQ(r.err, "vexo-cli: interrupted before the first object: " + dir.str("s.lws") + " was not touched\n");
    EXPECT_EQ(ReadFile(dir.path("s.lws")), "old scene");
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"m.mot", "s.lws"}));
}

// Every refusal and failure: its exit status and its whole output. "@" stands for the scratch
// folder; "SCENE" for the arguments of a small scene written to @/s.lws, which must then not
// exist.
TEST_F(CliFixture, FailuresExitCodesAndMessages) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out, err;
    };
    const Case cases[] = {
        {{"SCENE", "--set", "num_particles=-3"}, kExitUsage, "",
         "vexo-cli: num_particles=-3: Cannot have a negative number of particles\n"},
        {{"SCENE", "--set", "frame_step=0"}, kExitUsage, "",
         "vexo-cli: Cannot create a scene with a frame step of 0. Please enter 1 or more.\n"},
        {{"--set", "velocity=fast"}, kExitUsage, "", "vexo-cli: velocity=fast: This is not a number.\n"},
        {{"--bogus"}, kExitUsage, "", "vexo-cli: The following argument was not expected: --bogus (see --help)\n"},
        {{"--set", "num_particles=1"}, kExitUsage, "",
         "vexo-cli: no target scene: give --scene PATH or set target_scene\n"},
        {{"@/none.prefs", "--print-prefs"}, kExitUsage, "",
         "vexo-cli: cannot open preferences file @/none.prefs: No such file or directory\n"},
        {{"@/m.mot", "--print-prefs"}, kExitUsage, "", "vexo-cli: @/m.mot: This is not a VEXO preferences file\n"},
        {{"--write-prefs", "@/missing/p.prefs"}, kExitFailure, "",
         "vexo-cli: cannot write preferences file @/missing/p.prefs: No such file or directory\n"},
        {{"SCENE", "--set", "parent_motion=@/s.lws"}, kExitFailure, "",
         "vexo-cli: Could not open motion file\nvexo-cli: could not create scene: motion file error\n"},
        {{"SCENE", "--set", "parent_motion=@"}, kExitFailure, "temp = \n -- end of string\n",
         "vexo-cli: Not a LWMO file\nvexo-cli: could not create scene: motion file error\n"},
        {{"SCENE", "--set", "target_scene=@/no/s.lws"}, kExitFailure, "",
         "vexo-cli: cannot create target scene @/no/s.lws: No such file or directory\n"},
        {{"SCENE", "--set", "target_scene=/dev/full"}, kExitFailure, "",
         "vexo-cli: writing target scene /dev/full failed: No space left on device\n"},
        {{"--set", "heading_spread=9999", "--set", "heading_angle=-999", "--set", "pitch_spread=-4", "--write-prefs", "@/p"},
         kExitOk, "",
         "vexo-cli: note: heading_spread=9999 stored as 279\nvexo-cli: note: heading_angle=-999 stored as -279\n"
         "vexo-cli: note: pitch_spread=-4 stored as 0\n"},
    };
    WriteFile(dir.path("bad.mot"), "\nLWMO\n");
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            if (arg == "SCENE") {
                const auto scene = SceneArgs(2);
                args.insert(args.end(), scene.begin(), scene.end());
            } else if (arg == "parent_motion=@") {
                args.push_back("parent_motion=" + dir.str("bad.mot"));
            } else {
                args.push_back(arg);
            }
        }
        auto at = [this](std::string text) {
            for (std::size_t i = text.find('@'); i != std::string::npos; i = text.find('@', i + 1)) {
                text.replace(i, 1, dir.path("x").parent_path().string());
            }
            return text;
        };
        for (std::string& arg : args) arg = at(arg);
        const CliResult r = Run(args);
        EXPECT_EQ(r.code, c.code) << c.err;
        EXPECT_EQ(r.err, at(c.err));
        EXPECT_EQ(r.out, c.out);
        EXPECT_FALSE(std::filesystem::exists(dir.path("s.lws"))) << c.err;
    }
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
    // A target named .glb is glTF without asking.
    args.insert(args.end(), {"--set", "target_scene=" + dir.str("auto.glb")});
    ASSERT_EQ(Run(args).code, kExitOk);
    EXPECT_EQ(ReadFile(dir.path("auto.glb")).substr(0, 4), "glTF");
    EXPECT_TRUE(vexo::testing::PassesValidator(dir.str("auto.glb")));
}

TEST_F(CliFixture, FpsSetsTheScenesFrameRate) {
    // Without gravity only the header tells 30 frames per second from 24; with gravity the fall.
    auto at = [&](const char* fps, const char* gravity, const char* format, const std::string& name) {
        auto args = SceneArgs(3);
        args.insert(args.end(), {"--fps", fps, "--set", std::string("gravity=") + gravity, "--format", format,
                                 "--set", "target_scene=" + dir.str(name)});
        EXPECT_EQ(Run(args).code, kExitOk);
        return ReadFile(dir.path(name));
    };
    const std::string still24 = at("24", "0", "lwsc", "a"), still30 = at("30", "0", "lwsc", "b");
    const std::string header = "FramesPerSecond 24.000000\n";
    ASSERT_NE(still24.find(header), std::string::npos);
    std::string expected = still24;
    expected.replace(still24.find(header), header.size(), "FramesPerSecond 30.000000\n");
    EXPECT_EQ(still30, expected);
    EXPECT_NE(at("24", "9.81", "lwsc", "c"), at("30", "9.81", "lwsc", "d").replace(still24.find(header), header.size(), header));
    const std::string v3 = at("30", "0", "lwsc3", "e");
    EXPECT_NE(v3.find("FramesPerSecond 30\n"), std::string::npos);
    EXPECT_NE(v3.find(" 0.1 3 0 0 0 0 0 0\n"), std::string::npos);  // frame 3 at 3 / 30 s
    for (const char* bad : {"0", "-1", "abc", "2000"}) {
        auto args = SceneArgs(1);
        args.insert(args.end(), {"--fps", bad});
        EXPECT_EQ(Run(args).code, kExitUsage) << bad;
    }
}

TEST_F(CliFixture, AnimatedSceneFilesAreParentMotions) {
    auto args = SceneArgs(3);
    args.insert(args.end(), {"--set", "target_scene=" + dir.str("emitters.glb")});
    ASSERT_EQ(Run(args).code, kExitOk);
    auto from = [&](const std::string& motion) {
        auto again = SceneArgs(2);
        again.insert(again.end(), {"--set", "parent_motion=" + motion});
        return Run(again);
    };
    const CliResult named = from(dir.str("emitters.glb") + "#particle_0001");
    EXPECT_EQ(named.code, kExitOk) << named.err;
    const CliResult several = from(dir.str("emitters.glb"));
    EXPECT_EQ(several.code, kExitFailure);
    EXPECT_EQ(several.err,
              "vexo-cli: The scene file holds several animated nodes: particle_0000, particle_0001, particle_0002 Name one "
              "as FILE#NODE\nvexo-cli: could not create scene: motion file error\n");
}

TEST_F(CliFixture, HelpDocumentsEveryOption) {
    const CliResult r = Run({"--help"});
    EXPECT_EQ(r.code, kExitOk);
    for (const char* word : {"PREFS_FILE", "--object", "--motion", "--scene", "--set", "--print-prefs",
                             "--write-prefs", "--quiet", "--engine", "--format", "--threads", "--fps", "FILE#NODE",
                             "lwsc3", "glb",
                             "end_behavior", "Exit status", "130"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vexo::cli
