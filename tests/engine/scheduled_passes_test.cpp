// The scheduled path against the reference: several generations in one program run, with random
// settings and a random stop each time; both must write the same bytes, report the same and leave
// the same engine state for the next generation.
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
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

// A random motion: keys at rising frames from 0, the parent off the ground and turning.
std::string RandomMotion(std::mt19937& gen) {
    std::uniform_real_distribution<double> coord(-5.0, 5.0), turn(-180.0, 180.0);
    const int keys = 1 + static_cast<int>(gen() % 4);
    std::ostringstream text;
    text << "LWMO\n1\n9\n" << keys << '\n';
    for (int k = 0, frame = 0; k < keys; ++k, frame += 1 + static_cast<int>(gen() % 15)) {
        text << coord(gen) << ' ' << coord(gen) << ' ' << coord(gen) << ' ' << turn(gen) << ' ' << turn(gen) << ' '
             << turn(gen) << " 1 1 1\n"
             << frame << " 1 0 0 0\n";
    }
    return text.str();
}

Settings RandomSettings(std::mt19937& gen, const TempDir& dir) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    auto flag = [&] { return static_cast<std::int16_t>(pick(0, 1) * kFlagTicked); };
    Settings s = testing::SceneSettings(dir, RandomMotion(gen));
    s.num_particles = pick(1, 12);
    s.particles_per_frame = pick(0, 5);
    s.limited_lifespan = flag();
    s.lifespan = pick(0, 6);
    s.end_behavior = pick(0, 2);
    s.use_creation_delay = flag();
    s.creation_delay = pick(0, 4);
    s.particle_grow = flag();
    s.start_size = pick(1, 4) * 0.25;
    s.end_size = pick(0, 8) * 0.5;
    s.ground_bounce = flag();
    s.elasticity = pick(0, 10) * 0.1;
    s.gravity = pick(-5, 20);
    s.radial_creation = flag();
    s.oversampling = flag();
    s.velocity = pick(0, 8) * 0.25;
    s.velocity_variation = pick(0, 100);
    s.heading_angle = pick(-360, 360);
    s.heading_spread = pick(0, 360);
    s.pitch_angle = pick(-90, 90);
    s.pitch_spread = pick(0, 180);
    s.first_frame = pick(0, 6);
    s.last_frame = s.first_frame + pick(0, 30);
    s.frame_step = pick(1, 4);
    s.linear_path = static_cast<std::int16_t>(pick(0, 1));
    return s;
}

// What a generation leaves behind: the scene, the generator, the angle and the report.
std::string Generate(Settings s, const TempDir& dir, const std::string& name, EngineState& state,
                     GenerateOptions options, PassHook& hook) {
    SetPathText(s.target_scene, dir.str(name));
    RecordingSink sink;
    const SceneReport report = CreateScene(s, state, sink, hook, options);
    const std::string scene = std::filesystem::exists(dir.path(name)) ? ReadFile(dir.path(name)) : "no file";
    EXPECT_TRUE(scene.find("inf") == std::string::npos && scene.find("nan") == std::string::npos) << name;
    return scene + "\nrandom " + std::to_string(state.random.state()) + " angle " +
           std::to_string(std::bit_cast<std::uint32_t>(state.angle)) + " outcome " +
           std::to_string(static_cast<int>(report.outcome)) + " written " + std::to_string(report.objects_written);
}

TEST(ScheduledPasses, MatchTheReferenceByteForByte) {
    std::mt19937 gen(20261206);
    for (int run = 0; run < 50; ++run) {
        EngineState reference_state, scheduled_state;
        for (int generation = 0; generation < 5; ++generation) {
            TempDir dir;
            const Settings s = RandomSettings(gen, dir);
            // One generation in three stops at a random pass start, by a break or an abort.
            const PassAction action = std::array{PassAction::Continue, PassAction::Break, PassAction::Abort}[gen() % 3];
            const std::uint32_t stop_at = gen() % static_cast<std::uint32_t>(s.num_particles);
            ScriptedHook stop1(stop_at, action), stop2(stop_at, action);
            const GenerateOptions scheduled{GenerationPath::Scheduled, 1 + static_cast<unsigned>(gen() % 4)};
            const std::string a = Generate(s, dir, "r.lws", reference_state, {GenerationPath::Reference, 1}, stop1);
            ASSERT_EQ(a, Generate(s, dir, "s.lws", scheduled_state, scheduled, stop2))
                << "run " << run << " generation " << generation;
        }
    }
}

}  // namespace
}  // namespace vexo
