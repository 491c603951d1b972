// The hook polled while a pass runs: called within long passes on every path, always on the
// caller's thread, and able to stop a pass part-way with the same outcomes as at a pass start.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "engine/create_scene.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

// Counts the polls of each pass and answers `action` at the first poll of pass 1 or later.
class PollingHook : public PassHook {
public:
    explicit PollingHook(PassAction action) : action_(action) {}
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override { return PassAction::Continue; }
    PassAction OnPassPoll(std::uint32_t pass, std::uint32_t) override {
        EXPECT_EQ(std::this_thread::get_id(), caller_);
        if (pass >= polls.size()) polls.resize(pass + 1);
        ++polls[pass];
        if (pass == 0 || stopped_in) return PassAction::Continue;
        stopped_in = pass;
        return action_;
    }
    std::vector<int> polls;
    std::optional<std::uint32_t> stopped_in;

private:
    PassAction action_;
    std::thread::id caller_ = std::this_thread::get_id();
};

TEST(PassPoll, ALongPassIsPolledAndStopsPartWay) {
    struct Case {
        GenerationPath path;
        unsigned threads;
        std::int32_t last_frame;  // long enough for several polls in every pass
        std::int16_t linear_path;
    };
    const Case cases[] = {
        {GenerationPath::Reference, 1, 300'000, 1},
        {GenerationPath::Reference, 1, 20'000, 0},
        {GenerationPath::Scheduled, 1, 300'000, 1},
        {GenerationPath::Scheduled, 2, 2'000'000, 1},
    };
    std::vector<std::string> plain_scenes;  // by case, made before any stop
    const auto settings = [](const TempDir& dir, const Case& c) {
        Settings s =
            testing::SceneSettings(dir, "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 3 90 10 0 1 1 1\n10 1 0 0 0\n");
        s.num_particles = 4;
        s.particles_per_frame = 1;
        s.velocity = 0.5;
        s.last_frame = c.last_frame;
        s.linear_path = c.linear_path;
        return s;
    };
    for (const Case& c : cases) {
        TempDir dir;
        RecordingSink sink;
        EngineState state;
        ScriptedHook go_on;
        CreateScene(settings(dir, c), state, sink, go_on, {c.path, c.threads});
        plain_scenes.push_back(ReadFile(dir.path("scene.lws")));
    }
    for (const Case& c : cases) {
        for (const PassAction action : {PassAction::Continue, PassAction::Break, PassAction::Abort}) {
            SCOPED_TRACE(std::to_string(c.threads) + " threads, linear " + std::to_string(c.linear_path) +
                         ", action " + std::to_string(static_cast<int>(action)));
            TempDir dir;
            const Settings s = settings(dir, c);
            RecordingSink sink;
            EngineState state;
            PollingHook hook(action);
            const SceneReport report = CreateScene(s, state, sink, hook, {c.path, c.threads});
            ASSERT_FALSE(hook.polls.empty());
            EXPECT_GT(hook.polls[0], 0) << "the first pass was never polled";
            const std::uint32_t complete = action == PassAction::Continue ? 4 : hook.stopped_in.value_or(0);
            EXPECT_EQ(report.objects_written, complete);
            EXPECT_EQ(report.outcome, action == PassAction::Continue ? WriteOutcome::Complete
                                      : action == PassAction::Break  ? WriteOutcome::Interrupted
                                                                     : WriteOutcome::Aborted);
            const std::vector<std::string> left{"motion.mot", "scene.lws"};
            EXPECT_EQ(dir.Listing(), action == PassAction::Abort ? std::vector(left.begin(), left.begin() + 1) : left);
            // Polling changes nothing that is written, and a stop is not left over for the next
            // generation of the run.
            const std::string scene = action == PassAction::Abort ? "" : ReadFile(PathText(s.target_scene));
            if (action == PassAction::Continue) {
                EXPECT_EQ(scene, plain_scenes[&c - cases]);
            }
            if (action != PassAction::Break) continue;
            std::size_t objects = 0;
            for (std::size_t at = scene.find("LoadObject "); at != std::string::npos; at = scene.find("LoadObject ", at + 1)) {
                ++objects;
            }
            EXPECT_EQ(objects, complete);
            EXPECT_TRUE(plain_scenes[&c - cases].starts_with(scene) && scene.ends_with("ShadowOptions 2\n\n"));
        }
    }
}

}  // namespace
}  // namespace vexo
