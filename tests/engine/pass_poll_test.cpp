// The hook polled while a pass runs: called within long passes on every path, always on the
// caller's thread, and able to stop a pass part-way with the same outcomes as at a pass start.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "engine/create_scene.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

constexpr const char* kMotion =
    "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 3 90 10 0 1 1 1\n10 1 0 0 0\n";

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

std::size_t Objects(const std::string& scene) {
    std::size_t n = 0;
    for (std::size_t at = scene.find("LoadObject "); at != std::string::npos;
         at = scene.find("LoadObject ", at + 1))
        ++n;
    return n;
}

TEST(PassPoll, ALongPassIsPolledAndStopsPartWay) {
    struct Case {
        const char* name;
        GenerationPath path;
        unsigned threads;
        std::int32_t last_frame;  // long enough for several polls in every pass
    };
    const Case cases[] = {
        {"reference", GenerationPath::Reference, 1, 300'000},
        {"scheduled, one thread", GenerationPath::Scheduled, 1, 300'000},
        {"scheduled, worker threads", GenerationPath::Scheduled, 2, 2'000'000},
    };
    for (const Case& c : cases) {
        for (const PassAction action : {PassAction::Continue, PassAction::Break, PassAction::Abort}) {
            SCOPED_TRACE(std::string(c.name) + ", action " + std::to_string(static_cast<int>(action)));
            TempDir dir;
            Settings s = testing::SceneSettings(dir, kMotion);
            s.num_particles = 4;
            s.particles_per_frame = 1;
            s.velocity = 0.5;
            s.last_frame = c.last_frame;
            GenerateOptions options;
            options.path = c.path;
            options.threads = c.threads;
            RecordingSink sink;
            EngineState state;
            PollingHook hook(action);
            const SceneReport report = CreateScene(s, state, sink, hook, options);
            ASSERT_FALSE(hook.polls.empty());
            EXPECT_GT(hook.polls[0], 0) << "the first pass was never polled";
            const std::string target = PathText(s.target_scene);
            if (action == PassAction::Continue) {
                EXPECT_EQ(report.outcome, WriteOutcome::Complete);
                // Polling changes nothing that is written.
                TempDir plain_dir;
                Settings plain = s;
                SetPathText(plain.target_scene, plain_dir.str("plain.lws"));
                EngineState fresh;
                ScriptedHook no_polls;
                CreateScene(plain, fresh, sink, no_polls, options);
                EXPECT_EQ(ReadFile(target), ReadFile(plain_dir.path("plain.lws")));
                continue;
            }
            ASSERT_TRUE(hook.stopped_in.has_value());
            const std::uint32_t complete = *hook.stopped_in;  // the passes before the stopped one
            EXPECT_EQ(report.objects_written, complete);
            if (action == PassAction::Abort) {
                EXPECT_EQ(report.outcome, WriteOutcome::Aborted);
                EXPECT_FALSE(std::filesystem::exists(target));
            } else {
                EXPECT_EQ(report.outcome, WriteOutcome::Interrupted);
                EXPECT_EQ(Objects(ReadFile(target)), complete);
            }
        }
    }
}

}  // namespace
}  // namespace vexo
