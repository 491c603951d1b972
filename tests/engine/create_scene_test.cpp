#include <gtest/gtest.h>

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

TEST_F(SceneFixture, AbortDeletesTheFileBreakKeepsCompleteBlocks) {
    Settings s = Make(kMoving);
    s.num_particles = 10;
    s.particles_per_frame = 2;
    s.velocity = 0.5;
    s.velocity_variation = 30;
    const std::string full = Generate(s).scene;

    state.Reset();
    ScriptedHook abort(6, PassAction::Abort);
    const SceneRun aborted = Generate(s, &abort);
    EXPECT_EQ(aborted.report.outcome, WriteOutcome::Aborted);
    EXPECT_EQ(aborted.report.result, SceneResult::Done);
    EXPECT_FALSE(aborted.exists);
    EXPECT_EQ(abort.seen.size(), 7u);
    EXPECT_EQ(abort.seen.back(), std::make_pair(6u, 10u));

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
    EXPECT_EQ(run.sink.messages, std::vector<std::string>{"The motion file holds no keys"});
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

TEST_F(SceneFixture, ZeroParticlesWriteTheHeaderOnly) {
    Settings s = Make();
    const SceneRun run = Generate(s);
    EXPECT_EQ(run.report.outcome, WriteOutcome::Complete);
    EXPECT_EQ(run.scene, "LWSC\n1\n\nFirstFrame 1\nLastFrame 30\nFrameStep 1\nFramesPerSecond 24.000000\n\n");
}

}  // namespace
}  // namespace vexo
