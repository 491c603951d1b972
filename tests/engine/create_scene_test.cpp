#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "engine/create_scene.hpp"
#include "engine/simulation/random.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

constexpr const char* kStill = "LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n";
constexpr const char* kMoving =
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n";

struct SceneRun {
    SceneReport report;
    RecordingSink sink;
    std::string scene;
    bool exists = false;
};

struct SceneFixture : ::testing::Test {
    SceneRun Generate(const Settings& s, PassHook* hook = nullptr) {
        SceneRun run;
        ScriptedHook go_on;
        run.report = CreateScene(s, state, run.sink, hook != nullptr ? *hook : go_on);
        const std::string target = PathText(s.target_scene);
        run.exists = std::filesystem::exists(target);
        if (run.exists && std::filesystem::is_regular_file(target)) run.scene = ReadFile(target);
        return run;
    }
    Settings Make(const char* motion = kStill) { return testing::SceneSettings(dir, motion); }

    TempDir dir;
    EngineState state;
};

TEST_F(SceneFixture, AbortDropsTheSceneBreakKeepsCompleteBlocks) {
    Settings s = Make(kMoving);
    s.num_particles = 10;
    s.particles_per_frame = 2;
    s.velocity = 0.5;
    s.velocity_variation = 30;
    const std::string full = Generate(s).scene;

    // An abort leaves no file where there was none, and the old scene where there was one.
    for (bool old_scene : {false, true}) {
        if (old_scene) testing::WriteFile(dir.path("scene.lws"), "old scene");
        if (!old_scene) std::filesystem::remove(dir.path("scene.lws"));
        state.Reset();
        ScriptedHook abort(6, PassAction::Abort);
        const SceneRun aborted = Generate(s, &abort);
        EXPECT_EQ(aborted.report.outcome, WriteOutcome::Aborted);
        EXPECT_EQ(aborted.report.result, SceneResult::Done);
        EXPECT_EQ(aborted.exists, old_scene);
        EXPECT_EQ(aborted.scene, old_scene ? "old scene" : "");
        EXPECT_EQ(abort.seen.size(), 7u);
        EXPECT_EQ(abort.seen.back(), std::make_pair(6u, 10u));
        const std::vector<std::string> left =
            old_scene ? std::vector<std::string>{"motion.mot", "scene.lws"} : std::vector<std::string>{"motion.mot"};
        EXPECT_EQ(dir.Listing(), left);
    }

    state.Reset();
    ScriptedHook brk(6, PassAction::Break);
    const SceneRun broken = Generate(s, &brk);
    EXPECT_EQ(broken.report.outcome, WriteOutcome::Interrupted);
    EXPECT_EQ(broken.report.objects_written, 6u);
    std::size_t sixth_end = 0;
    for (int i = 0; i < 6; ++i) sixth_end = full.find("ShadowOptions 2\n\n", sixth_end) + 17;
    EXPECT_EQ(broken.scene, full.substr(0, sixth_end));
}

TEST_F(SceneFixture, RefusedFrameRangesLeaveTheTargetUntouched) {
    Settings s = Make();
    s.num_particles = 2;
    testing::WriteFile(dir.path("scene.lws"), "old scene");
    s.frame_step = 0;
    SceneRun run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::Refused);
    EXPECT_EQ(run.sink.messages,
              std::vector<std::string>{"Cannot create a scene with\na frame step of 0.\n\nPlease enter 1 or more."});
    EXPECT_EQ(run.scene, "old scene");
    s.frame_step = 1;
    s.first_frame = 10;
    s.last_frame = 9;
    run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::Refused);
    EXPECT_EQ(run.sink.messages,
              std::vector<std::string>{"Cannot create a scene whose\nlast frame comes before\nits first frame."});
    EXPECT_EQ(run.scene, "old scene");
    EXPECT_EQ(state.random.state(), Random::kStartState);
}

TEST_F(SceneFixture, MotionFileErrorLeavesTheTargetUntouched) {
    Settings s = Make("LWMO\n1\n9\n0\n");
    s.num_particles = 1;
    const SceneRun run = Generate(s);
    EXPECT_EQ(run.report.result, SceneResult::MotionFileError);
    EXPECT_EQ(run.sink.messages, std::vector<std::string>{dir.str("motion.mot") + " line 4:\nthe motion holds no keys"});
    EXPECT_FALSE(run.exists);
}

TEST_F(SceneFixture, TooManyParticlesIsAMemoryError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed throwing new instead of throwing";
#endif
    Settings s = Make();
    s.num_particles = -1;  // read as 4294967295 slots
    const SceneRun run = Generate(s);
    EXPECT_EQ(run.report.result, SceneResult::NoMemory);
    EXPECT_FALSE(run.exists);
}

// One check where numbers become keys: a value a format cannot hold stops the generation, says
// which object and frame, and leaves no partial file; glTF holds single-precision floats.
TEST_F(SceneFixture, ValuesAFormatCannotHoldStopTheGeneration) {
    struct Case {
        double velocity;
        SceneFormat format;
        GenerationPath path;
        bool refused;
    };
    const Case cases[] = {
        {1e308, SceneFormat::Lwsc1, GenerationPath::Scheduled, true},
        {1e308, SceneFormat::Lwsc3, GenerationPath::Reference, true},
        {1e39, SceneFormat::Lwsc1, GenerationPath::Reference, false},
        {1e39, SceneFormat::Glb, GenerationPath::Scheduled, true},
        {1e39, SceneFormat::Gltf, GenerationPath::Reference, true},
        {1e37, SceneFormat::Glb, GenerationPath::Scheduled, false},
    };
    for (const Case& c : cases) {
        Settings s = Make();
        s.num_particles = 3;
        s.particles_per_frame = 1;
        s.velocity = c.velocity;
        s.heading_angle = -90;  // straight along x (heading 0 plus the quarter turn of the first angle)
        s.linear_path = 0;
        SetPathText(s.target_scene, dir.str(c.format == SceneFormat::Glb ? "scene.glb" : "scene.lws"));
        std::filesystem::remove(PathText(s.target_scene));
        state.Reset();
        RecordingSink sink;
        ScriptedHook hook;
        const SceneReport report = CreateScene(s, state, sink, hook, {c.path, 2, c.format});
        SCOPED_TRACE(std::to_string(c.velocity) + " format " + std::to_string(static_cast<int>(c.format)));
        if (c.refused) {
            EXPECT_EQ(report.outcome, WriteOutcome::NotFinite);
            EXPECT_EQ(report.result, SceneResult::Done);
            ASSERT_EQ(sink.messages.size(), c.format == SceneFormat::Lwsc1 || c.format == SceneFormat::Lwsc3 ? 1u : 2u);
            // Object 1 moves 1e308 a frame from frame 1: frame 2 overflows; 1e39 is no float at frame 1.
            EXPECT_EQ(sink.messages.back(), c.velocity > 1e300 ? scene_text::NotFinite(0, 2) : scene_text::NotFinite(0, 1));
            EXPECT_FALSE(std::filesystem::exists(PathText(s.target_scene)));
        } else {
            EXPECT_EQ(report.outcome, WriteOutcome::Complete);
        }
    }
    EXPECT_EQ(scene_text::NotFinite(2, 17),
              "Object 3 has a value at frame 17\nthat is too large for the scene\n(not a finite number).\n\nNothing "
              "was written.");
}

TEST_F(SceneFixture, UnwritableTargetsAreFailures) {
    Settings s = Make();
    s.num_particles = 1;
    SetPathText(s.target_scene, dir.str("missing/scene.lws"));
    SceneRun run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::CannotOpen);
    EXPECT_EQ(run.report.error, "No such file or directory");
    EXPECT_TRUE(run.sink.messages.empty());

    if (std::filesystem::exists("/dev/full")) {
        SetPathText(s.target_scene, "/dev/full");
        run = Generate(s);
        EXPECT_EQ(run.report.outcome, WriteOutcome::WriteFailed);
        EXPECT_EQ(run.report.error, "No space left on device");
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // never removed: not a regular file
    }
}

// A break that comes before the first block (while a long motion is read, say) has generated
// nothing: an old target keeps its bytes and no new file appears, on both paths and in every format.
TEST_F(SceneFixture, BreakBeforeTheFirstBlockLeavesTheTargetUntouched) {
    Settings s = Make(kMoving);
    s.num_particles = 3;
    s.particles_per_frame = 1;
    for (GenerationPath path : {GenerationPath::Reference, GenerationPath::Scheduled}) {
        for (SceneFormat format : {SceneFormat::Lwsc1, SceneFormat::Lwsc3, SceneFormat::Glb}) {
            for (bool old_scene : {true, false}) {
                std::filesystem::remove(dir.path("scene.lws"));
                if (old_scene) testing::WriteFile(dir.path("scene.lws"), "old scene");
                ScriptedHook brk(0, PassAction::Break);
                RecordingSink sink;
                GenerateOptions options;
                options.path = path;
                options.format = format;
                const SceneReport report = CreateScene(s, state, sink, brk, options);
                EXPECT_EQ(report.outcome, WriteOutcome::Interrupted);
                EXPECT_EQ(report.objects_written, 0u);
                const std::vector<std::string> left = old_scene
                                                          ? std::vector<std::string>{"motion.mot", "scene.lws"}
                                                          : std::vector<std::string>{"motion.mot"};
                EXPECT_EQ(dir.Listing(), left);
                if (old_scene) {
                    EXPECT_EQ(ReadFile(dir.path("scene.lws")), "old scene");
                }
            }
        }
    }
}

// A target reached through a symbolic link: the link stays a link, a complete scene replaces
// its destination, and a failed write leaves both as they were with nothing beside them.
TEST_F(SceneFixture, WritesThroughASymbolicLinkNeverRemoveTheLink) {
    Settings s = Make(kMoving);
    s.num_particles = 5;
    s.particles_per_frame = 1;
    s.linear_path = 0;
    testing::WriteFile(dir.path("real.lws"), "old scene");
    std::filesystem::create_symlink("real.lws", dir.path("scene.lws"));
    const std::vector<std::string> expected = {"motion.mot", "real.lws", "scene.lws -> real.lws"};

    // A file size limit makes the write fail as a full disk would, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    SceneRun run = Generate(s);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(run.report.outcome, WriteOutcome::WriteFailed);
    EXPECT_EQ(run.report.error, "File too large");
    EXPECT_EQ(dir.Listing(), expected);
    EXPECT_EQ(ReadFile(dir.path("real.lws")), "old scene");

    if (std::filesystem::exists("/dev/full")) {
        std::filesystem::create_symlink("/dev/full", dir.path("full.lws"));
        SetPathText(s.target_scene, dir.str("full.lws"));
        run = Generate(s);
        EXPECT_EQ(run.report.outcome, WriteOutcome::WriteFailed);
        EXPECT_EQ(run.report.error, "No space left on device");
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path("full.lws")));
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
        std::filesystem::remove(dir.path("full.lws"));
        SetPathText(s.target_scene, dir.str("scene.lws"));
    }

    run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::Complete);
    EXPECT_EQ(dir.Listing(), expected);
    const std::string written = ReadFile(dir.path("real.lws"));
    std::size_t objects = 0;
    for (std::size_t at = written.find("LoadObject "); at != std::string::npos; at = written.find("LoadObject ", at + 1)) {
        ++objects;
    }
    EXPECT_EQ(objects, 5u);
}

// A control character in any path would put lines of its own into the scene text (a line break
// in the object path) or name a file nobody meant: the generation is refused and nothing written.
TEST_F(SceneFixture, ControlCharactersInAnyPathAreRefused) {
    for (const char* field : {"particle_object", "parent_motion", "target_scene"}) {
        for (char c : {'\n', '\r', '\t', '\x1b', '\x7f'}) {
            Settings s = Make();
            s.num_particles = 2;
            PathField& path = field == std::string("particle_object") ? s.particle_object
                              : field == std::string("parent_motion") ? s.parent_motion
                                                                        : s.target_scene;
            ASSERT_TRUE(SetPathText(path, PathText(path) + c + "x"));
            state.Reset();
            const SceneRun run = Generate(s);
            EXPECT_EQ(run.report.outcome, WriteOutcome::Refused) << field << int(c);
            EXPECT_EQ(run.sink.messages, std::vector<std::string>{"Cannot create a scene:\na path holds a control\n"
                                                                  "character such as a line break."});
            EXPECT_EQ(dir.Listing(), std::vector<std::string>{"motion.mot"}) << field << int(c);
            EXPECT_EQ(state.random.state(), Random::kStartState);
        }
    }
}

TEST_F(SceneFixture, ZeroParticlesWriteTheHeaderOnly) {
    Settings s = Make();
    const SceneRun run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::Complete);
    EXPECT_EQ(run.scene, "LWSC\n1\n\nFirstFrame 1\nLastFrame 30\nFrameStep 1\nFramesPerSecond 24.000000\n\n");
}

}  // namespace
}  // namespace vexo
