// The scheduled path against the reference: several generations in one program run, with random
// settings (in the ranges of tests/data/random_settings.txt, forces and spin included) and a
// random stop each time; both must write the same bytes, report the same and leave the same
// engine state for the next.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <filesystem>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::TempDir;

// What a generation leaves behind: the scene, the generator, the angle and the report.
std::string Generate(Settings s, const TempDir& dir, const std::string& name, EngineState& state,
                     GenerateOptions options, PassHook& hook) {
    SetPathText(s.target_scene, dir.str(name));
    testing::RecordingSink sink;
    const SceneReport report = CreateScene(s, state, sink, hook, options);
    const std::string scene = std::filesystem::exists(dir.path(name)) ? ReadFile(dir.path(name)) : "no file";
    EXPECT_TRUE(scene.find("inf") == std::string::npos && scene.find("nan") == std::string::npos) << name;
    return scene + "\nrandom " + std::to_string(state.random.state()) + " angle " +
           std::to_string(std::bit_cast<std::uint32_t>(state.angle)) + " outcome " +
           std::to_string(static_cast<int>(report.outcome)) + " written " +
           std::to_string(report.objects_written);
}

TEST(ScheduledPasses, MatchTheReferenceByteForByte) {
    std::mt19937 gen(20261206);
    for (int run = 0; run < 50; ++run) {
        EngineState reference_state, scheduled_state;
        for (int generation = 0; generation < 5; ++generation) {
            TempDir dir;
            const Settings s = testing::RandomSettings(gen, dir);
            // One generation in three stops at a random pass start, by a break or an abort.
            const auto action =
                std::array{PassAction::Continue, PassAction::Break, PassAction::Abort}[gen() % 3];
            const std::uint32_t stop_at = gen() % static_cast<std::uint32_t>(s.num_particles);
            testing::ScriptedHook stop1(stop_at, action), stop2(stop_at, action);
            const GenerateOptions scheduled{GenerationPath::Scheduled, 1 + static_cast<unsigned>(gen() % 4)};
            const std::string a =
                Generate(s, dir, "r.lws", reference_state, {GenerationPath::Reference, 1}, stop1);
            ASSERT_EQ(a, Generate(s, dir, "s.lws", scheduled_state, scheduled, stop2))
                << "run " << run << " generation " << generation;
        }
    }
}

// Every key value of every object, bit for bit.
class KeyBits : public KeyReceiver {
  public:
    void Motion(const MotionTable&, const EngineState&) override {}
    void Object(std::uint32_t p, ObjectKeys& keys) override {
        bits += "object " + std::to_string(p) + "\n";
        for (const SceneKey& key : keys) {
            bits += std::to_string(key.frame);
            for (double v : key.value) bits += " " + std::to_string(std::bit_cast<std::uint64_t>(v));
            bits += '\n';
        }
    }
    std::string bits;
};

// A vertical wind of -g moves every particle exactly as a gravity of g does, bounces included, on
// both paths, whatever the other settings and forces: every key value keeps its bits.
TEST(ScheduledPasses, WindDownwardsIsGravityBitForBit) {
    std::mt19937 gen(1712);
    for (int run = 0; run < 80; ++run) {
        TempDir dir;
        Settings gravity = RandomSettings(gen, dir);
        gravity.wind_y = 0.0;
        Settings wind = gravity;
        wind.gravity = 0.0;
        wind.wind_y = -gravity.gravity;
        for (const GenerationPath path : {GenerationPath::Reference, GenerationPath::Scheduled}) {
            KeyBits by_gravity, by_wind;
            for (auto [s, keys] : {std::pair{&gravity, &by_gravity}, std::pair{&wind, &by_wind}}) {
                EngineState state;
                testing::RecordingSink sink;
                testing::ScriptedHook hook;
                ASSERT_EQ(CollectSceneKeys(*s, state, sink, hook, *keys, {path, 2}).outcome,
                          WriteOutcome::Complete);
            }
            ASSERT_EQ(by_gravity.bits, by_wind.bits) << "run " << run << " gravity " << gravity.gravity;
        }
    }
}

}  // namespace
}  // namespace vexo
