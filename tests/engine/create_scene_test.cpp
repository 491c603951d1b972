#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

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

struct Block {
    int channels = 0;
    int count = 0;
    std::vector<std::vector<std::string>> keys;  // the 14 fields of each key line
    std::string tail;                            // what follows the key lines
};

std::vector<Block> ParseBlocks(const std::string& scene) {
    std::vector<Block> blocks;
    std::istringstream in(scene);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("LoadObject ", 0) != 0) continue;
        Block b;
        std::getline(in, line);  // ShowObject
        std::getline(in, line);  // ObjectMotion
        std::getline(in, line);
        b.channels = std::stoi(line);
        std::getline(in, line);
        b.count = std::stoi(line);
        while (std::getline(in, line) && line.rfind("  ", 0) == 0) {
            std::istringstream fields(line);
            std::vector<std::string> key;
            for (std::string f; fields >> f;) key.push_back(f);
            b.keys.push_back(key);
        }
        b.tail = line;
        blocks.push_back(b);
    }
    return blocks;
}

std::vector<int> Frames(const Block& b) {
    std::vector<int> frames;
    for (const auto& key : b.keys) frames.push_back(std::stoi(key.at(9)));
    return frames;
}

bool Visible(const std::vector<std::string>& key) { return key.at(6) != "0.000000"; }

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

TEST_F(SceneFixture, NonLinearKeyCounts) {
    Settings s = Make();
    s.num_particles = 3;
    s.particles_per_frame = 1;
    s.linear_path = 0;
    SceneRun run = Generate(s);
    auto blocks = ParseBlocks(run.scene);
    ASSERT_EQ(blocks.size(), 3u);
    for (const Block& b : blocks) {
        EXPECT_EQ(b.count, 31);
        EXPECT_EQ(b.keys.size(), 31u);
        EXPECT_EQ(b.channels, 9);
        EXPECT_EQ(Frames(b).front(), 0);
        EXPECT_EQ(Frames(b).back(), 30);
        EXPECT_EQ(b.tail, "EndBehavior 1");
    }
    EXPECT_EQ(run.scene.substr(run.scene.size() - 31), "EndBehavior 1\nShadowOptions 2\n\n");

    s.first_frame = 0;
    blocks = ParseBlocks(Generate(s).scene);
    EXPECT_EQ(Frames(blocks[0])[0], 0);
    EXPECT_EQ(Frames(blocks[0])[1], 0);
    EXPECT_EQ(blocks[0].count, 32);

    s.first_frame = 1;
    s.frame_step = 2;
    blocks = ParseBlocks(Generate(s).scene);
    EXPECT_EQ(blocks[0].count, 16);
    EXPECT_EQ(Frames(blocks[0]).back(), 29);
}

// Linear path keys of one written particle: frames, and which keys show it ('+') or hide it
// with scale 0 ('-'). One particle per frame from frame 1 unless a case says otherwise.
TEST_F(SceneFixture, LinearKeyFrames) {
    struct Case {
        const char* name;
        void (*set)(Settings&);
        std::size_t block;
        std::vector<int> frames;
        std::string visible;
    };
    const Case cases[] = {
        {"born at 10", [](Settings& s) { s.num_particles = 10; }, 9, {0, 1, 9, 10, 30}, "---++"},
        {"born at 2", [](Settings& s) { s.num_particles = 10; }, 1, {0, 1, 2, 30}, "--++"},
        {"born at 1", [](Settings& s) { s.num_particles = 10; }, 0, {0, 1, 30}, "-++"},
        {"no step lands on the last frame", [](Settings& s) { s.frame_step = 2; }, 0, {0, 1}, "-+"},
        {"unlimited from frame 0", [](Settings& s) { s.first_frame = 0; }, 0, {0, 0, 30}, "-++"},
        {"destroy", [](Settings& s) { s.limited_lifespan = kFlagTicked, s.lifespan = 5; }, 0, {0, 1, 5, 6}, "-++-"},
        {"stop",
         [](Settings& s) { s.limited_lifespan = kFlagTicked, s.lifespan = 5, s.end_behavior = 1; }, 0, {0, 1, 5}, "-++"},
        // Emitted at 1, shown at 2, ends at its third aging step (4), freed and re-emitted in
        // frame 5, shown by the effect of frame 5 (birth key at 6), and so on.
        {"recycle after a delay of 0",
         [](Settings& s) {
             s.limited_lifespan = kFlagTicked, s.lifespan = 3, s.end_behavior = 0;
             s.use_creation_delay = kFlagTicked, s.creation_delay = 0;
         },
         0, {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25, 26, 28, 29, 30}, ""},
    };
    for (const Case& c : cases) {
        Settings s = Make(kMoving);
        s.num_particles = 1;
        s.particles_per_frame = 1;
        s.velocity = 1.0;
        c.set(s);
        const auto blocks = ParseBlocks(Generate(s).scene);
        ASSERT_GT(blocks.size(), c.block) << c.name;
        const Block& b = blocks[c.block];
        EXPECT_EQ(Frames(b), c.frames) << c.name;
        EXPECT_EQ(b.count, static_cast<int>(c.frames.size())) << c.name;
        std::string visible;
        for (const auto& key : b.keys) visible += Visible(key) ? '+' : '-';
        if (!c.visible.empty()) {
            EXPECT_EQ(visible, c.visible) << c.name;
        }
    }
    // A particle that moved from frame 0 ends elsewhere.
    Settings s = Make(kMoving);
    s.num_particles = 1, s.particles_per_frame = 1, s.velocity = 1.0, s.first_frame = 0;
    const auto keys = ParseBlocks(Generate(s).scene)[0].keys;
    EXPECT_NE(keys[2].at(0), keys[1].at(0));
}

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
    EXPECT_EQ(ParseBlocks(broken.scene).size(), 6u);
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

TEST_F(SceneFixture, FirstFrameEqualToLastFrameWorksInBothModes) {
    Settings s = Make();
    s.num_particles = 2;
    s.particles_per_frame = 2;
    s.first_frame = s.last_frame = 7;
    s.particle_grow = kFlagTicked;
    s.end_size = 3;
    for (std::int16_t linear : {0, 1}) {
        s.linear_path = linear;
        const SceneRun run = Generate(s);
        EXPECT_EQ(run.report.outcome, WriteOutcome::Complete);
        EXPECT_EQ(ParseBlocks(run.scene).size(), 2u);
        EXPECT_EQ(run.scene.find("inf"), std::string::npos);
        EXPECT_EQ(run.scene.find("nan"), std::string::npos);
    }
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

TEST_F(SceneFixture, MotionShorterThanTheFirstFrameHoldsItsFirstSample) {
    Settings s = Make("LWMO\n1\n9\n2\n5 6 7 0 0 0 1 1 1\n0 1 0 0 0\n8 9 10 0 0 0 1 1 1\n3 1 0 0 0\n");
    s.num_particles = 1;
    s.first_frame = 10;
    s.last_frame = 12;
    s.linear_path = 0;
    const auto blocks = ParseBlocks(Generate(s).scene);
    ASSERT_EQ(blocks.size(), 1u);
    for (std::size_t k = 1; k < blocks[0].keys.size(); ++k) EXPECT_EQ(blocks[0].keys[k][0], "5.000000");
}

TEST_F(SceneFixture, GenerationsContinueTheGeneratorAndFreshStateReproduces) {
    Settings s = Make(kMoving);
    s.num_particles = 3;
    s.particles_per_frame = 1;
    s.velocity = 1;
    s.heading_spread = 90;
    const std::string first = Generate(s).scene;
    const std::string second = Generate(s).scene;
    EXPECT_NE(first, second);
    state.Reset();
    EXPECT_EQ(Generate(s).scene, first);
}

TEST_F(SceneFixture, NonLinearRadialAngleCarriesIntoTheNextGeneration) {
    Settings s = Make(kMoving);
    s.num_particles = 2;
    s.particles_per_frame = 1;
    s.radial_creation = kFlagTicked;
    s.linear_path = 0;
    Generate(s);
    EXPECT_NE(state.angle, 0.0f);
    s.linear_path = 1;
    Generate(s);
    EXPECT_EQ(state.angle, 0.0f);  // linear mode clears it every frame
}

}  // namespace
}  // namespace vexo
