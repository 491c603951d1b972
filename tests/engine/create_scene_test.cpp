// What a generation leaves behind when it stops, is refused or fails: the outcome, the result,
// the message word for word and the files in the target's folder (an old target keeps its bytes).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "engine/create_scene.hpp"
#include "prefs/settings_text.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

constexpr const char* kMoving =
    "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 2 90 10 0 1 1 1\n10 1 0 0 0\n3 0 -1 180 0 5 1 1 1\n30 1 0 0 0\n";
constexpr const char* kStop = "num_particles=10 particles_per_frame=2 velocity=0.5 velocity_variation=30";
// Object 1 moves 1e308 a frame along x from frame 1 and overflows at frame 2; 1e39 is no float.
constexpr const char* kAlongX = "num_particles=3 particles_per_frame=1 heading_angle=-90 linear_path=off";

std::string NotFiniteText(int frame) {
    return "Object 1 has a value at frame " + std::to_string(frame) +
           "\nthat is too large for the scene\n(not a finite number).\n\nNothing was written.";
}

struct Case {
    const char* words = "num_particles=3 particles_per_frame=1";  // settings, field=value
    double velocity = 0;                                          // set directly when not 0
    const char* motion = kMoving;
    const char* target = "scene.lws";  // in the folder, or absolute
    SceneFormat format = SceneFormat::Lwsc1;
    GenerationPath path = GenerationPath::Reference;
    bool old_scene = false;
    std::uint32_t stop_at = UINT32_MAX;
    PassAction action = PassAction::Continue;
    WriteOutcome outcome = WriteOutcome::Complete;
    SceneResult result = SceneResult::Done;
    std::uint32_t written = 0;
    std::string message = "";  // the last message reported, if any
    std::string error = "";
    std::int32_t particles = -2;  // set directly when not -2
};

struct SceneFixture : ::testing::Test {
    SceneReport Generate(const Case& c, const Settings& s, PassHook& hook) {
        sink = RecordingSink();
        state.Reset();
        return CreateScene(s, state, sink, hook, {c.path, 2, c.format});
    }
    TempDir dir;
    EngineState state;
    RecordingSink sink;
};

TEST_F(SceneFixture, StopsRefusalsAndFailuresLeaveTheTargetAsTheyMust) {
    using enum WriteOutcome;
    const auto sched = GenerationPath::Scheduled;
    const std::string kRecords = "4294967295 particle records";
    const Case cases[] = {
        // An abort drops what was written; a break keeps the complete blocks.
        {.words = kStop, .stop_at = 6, .action = PassAction::Abort, .outcome = Aborted, .written = 6},
        {.words = kStop, .path = sched, .old_scene = true, .stop_at = 6, .action = PassAction::Abort,
         .outcome = Aborted, .written = 6},
        {.words = kStop, .old_scene = true, .stop_at = 6, .action = PassAction::Break, .outcome = Interrupted,
         .written = 6},
        {.words = kStop, .path = sched, .stop_at = 6, .action = PassAction::Break, .outcome = Interrupted, .written = 6},
        // A break before the first block has generated nothing.
        {.path = sched, .old_scene = true, .stop_at = 0, .action = PassAction::Break, .outcome = Interrupted},
        {.stop_at = 0, .action = PassAction::Break, .outcome = Interrupted},
        {.format = SceneFormat::Glb, .old_scene = true, .stop_at = 0, .action = PassAction::Break,
         .outcome = Interrupted},
        {.words = "frame_step=0", .old_scene = true, .outcome = Refused,
         .message = "Cannot create a scene with\na frame step of 0.\n\nPlease enter 1 or more."},
        {.words = "first_frame=10 last_frame=9", .outcome = Refused,
         .message = "Cannot create a scene whose\nlast frame comes before\nits first frame."},
        {.motion = "LWMO\n1\n9\n0\n", .old_scene = true, .outcome = NotStarted, .result = SceneResult::MotionFileError,
         .message = "motion.mot line 4:\nthe motion holds no keys"},
        // Too many particles is the same memory error on both paths, before the motion is read.
        {.motion = "", .outcome = NotStarted, .result = SceneResult::NoMemory, .error = kRecords, .particles = -1},
        {.motion = "", .path = sched, .old_scene = true, .outcome = NotStarted, .result = SceneResult::NoMemory,
         .error = kRecords, .particles = -1},
        {.target = "missing/scene.lws", .outcome = CannotOpen, .error = "No such file or directory"},
        {.target = "/dev/full", .outcome = WriteFailed, .written = 3, .error = "No space left on device"},
        // A value the format cannot hold stops the generation and names the object and frame.
        {.words = kAlongX, .velocity = 1e308, .old_scene = true, .outcome = NotFinite, .message = NotFiniteText(2)},
        {.words = kAlongX, .velocity = 1e308, .format = SceneFormat::Lwsc3, .path = sched, .outcome = NotFinite,
         .message = NotFiniteText(2)},
        {.words = kAlongX, .velocity = 1e39, .path = sched, .outcome = Complete, .written = 3},
        {.words = kAlongX, .velocity = 1e39, .target = "scene.glb", .format = SceneFormat::Glb, .path = sched, .outcome = NotFinite,
         .message = NotFiniteText(1)},
        {.words = kAlongX, .velocity = 1e39, .target = "scene.gltf", .format = SceneFormat::Gltf, .outcome = NotFinite,
         .message = NotFiniteText(1)},
        {.words = kAlongX, .velocity = 1e37, .target = "scene.glb",
         .format = SceneFormat::Glb, .outcome = Complete, .written = 3},
    };
    for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
        if (c.particles == -1) continue;  // AddressSanitizer aborts on a failed throwing new
#endif
        SCOPED_TRACE(std::string(c.words) + " target " + c.target + " stop " + std::to_string(c.stop_at));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) std::filesystem::remove(entry);
        Settings s = testing::SceneSettings(dir, c.motion);
        std::istringstream words(c.words);
        for (std::string word; words >> word;) ASSERT_TRUE(AssignSetting(s, word).ok) << word;
        if (c.particles != -2) s.num_particles = c.particles;
        if (c.velocity != 0) s.velocity = c.velocity;
        const bool in_dir = c.target[0] != '/';
        const std::string target = in_dir ? dir.str(c.target) : c.target;
        SetPathText(s.target_scene, target);
        ScriptedHook go_on, hook(c.stop_at, c.action);
        const std::string full = c.written > 0 && in_dir ? (Generate(c, s, go_on), ReadFile(target)) : "";
        if (in_dir) std::filesystem::remove(target);
        if (c.old_scene) testing::WriteFile(target, "old scene");

        const SceneReport report = Generate(c, s, hook);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.result, c.result);
        EXPECT_EQ(report.objects_written, c.written);
        if (c.action == PassAction::Continue && c.outcome != NotFinite) {
            EXPECT_EQ(report.error, c.error);
        }
        const bool gltf = c.format == SceneFormat::Glb || c.format == SceneFormat::Gltf;
        const std::size_t messages = (c.message.empty() ? 0 : 1) + (gltf ? 1 : 0);  // the unit cube
        ASSERT_EQ(sink.messages.size(), messages);
        if (!c.message.empty()) {
            EXPECT_TRUE(sink.messages.back().ends_with(c.message)) << sink.messages.back();
        }
        if (c.outcome == Refused) {
            EXPECT_EQ(state.random.state(), Random::kStartState);
        }
        if (c.stop_at != UINT32_MAX) {
            EXPECT_EQ(hook.seen.size(), c.stop_at + 1);
            EXPECT_EQ(hook.seen.back(), std::make_pair(c.stop_at, static_cast<std::uint32_t>(s.num_particles)));
        }
        if (!in_dir) continue;
        std::vector<std::string> left = {"motion.mot"};
        if (c.old_scene || (c.written > 0 && c.outcome != Aborted)) left.push_back(c.target);
        std::sort(left.begin(), left.end());
        EXPECT_EQ(dir.Listing(), left);
        if (c.written == 0 && c.old_scene) {
            EXPECT_EQ(ReadFile(target), "old scene");
        }
        if (c.outcome == Complete) {
            EXPECT_EQ(ReadFile(target), full);
        }
        if (c.outcome != Interrupted || c.written == 0) continue;
        std::size_t end = 0;  // the broken scene is the full one up to the end of the sixth block
        for (std::uint32_t i = 0; i < c.written; ++i) end = full.find("ShadowOptions 2\n\n", end) + 17;
        EXPECT_EQ(ReadFile(target), full.substr(0, end));
    }
}

// A control character in any path would put lines of its own into the scene text (a line break
// in the object path) or name a file nobody meant: the generation is refused and nothing written.
TEST_F(SceneFixture, ControlCharactersInAnyPathAreRefused) {
    Settings base = testing::SceneSettings(dir, kMoving);
    base.num_particles = 2;
    for (PathField Settings::*field : {&Settings::particle_object, &Settings::parent_motion, &Settings::target_scene}) {
        for (char c : {'\n', '\x1f', '\x7f'}) {
            Settings s = base;
            ASSERT_TRUE(SetPathText(s.*field, PathText(s.*field) + c + "x"));
            ScriptedHook go_on;
            const SceneReport report = Generate({}, s, go_on);
            EXPECT_EQ(report.outcome, WriteOutcome::Refused) << int(c);
            EXPECT_EQ(sink.messages, std::vector<std::string>{"Cannot create a scene:\na path holds a control\n"
                                                              "character such as a line break."});
            EXPECT_EQ(dir.Listing(), std::vector<std::string>{"motion.mot"}) << int(c);
            EXPECT_EQ(state.random.state(), Random::kStartState);
        }
    }
}

TEST_F(SceneFixture, ZeroParticlesWriteTheHeaderOnly) {
    const Settings s = testing::SceneSettings(dir, kMoving);
    ScriptedHook go_on;
    EXPECT_EQ(Generate({}, s, go_on).outcome, WriteOutcome::Complete);
    EXPECT_EQ(ReadFile(dir.path("scene.lws")),
              "LWSC\n1\n\nFirstFrame 1\nLastFrame 30\nFrameStep 1\nFramesPerSecond 24.000000\n\n");
}

}  // namespace
}  // namespace vexo
