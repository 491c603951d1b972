#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"
#include "engine/generation/frame_loop.hpp"
#include "engine/simulation/random.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

TEST(RandomJump, AdvanceEqualsSteppingOneByOne) {
    std::mt19937 gen(5);
    for (int round = 0; round < 200; ++round) {
        const std::uint32_t start = gen();
        const std::uint64_t steps = gen() % 5000;
        Random stepped;
        stepped.set_state(start);
        for (std::uint64_t i = 0; i < steps; ++i) stepped.rand();
        EXPECT_EQ(Random::Advance(start, steps), stepped.state());
    }
    // Far jumps compose: 2^40 steps in one go equals two jumps of 2^39.
    EXPECT_EQ(Random::Advance(1, 1ull << 40), Random::Advance(Random::Advance(1, 1ull << 39), 1ull << 39));
}

// A random motion: keys at rising frames from 0, the parent off the ground and turning.
std::string RandomMotion(std::mt19937& gen) {
    std::uniform_real_distribution<double> coord(-5.0, 5.0), turn(-180.0, 180.0);
    const int keys = 1 + static_cast<int>(gen() % 4);
    std::ostringstream text;
    text << "LWMO\n1\n9\n" << keys << '\n';
    int frame = 0;
    for (int k = 0; k < keys; ++k) {
        text << coord(gen) << ' ' << coord(gen) << ' ' << coord(gen) << ' ' << turn(gen) << ' ' << turn(gen) << ' '
             << turn(gen) << " 1 1 1\n"
             << frame << " 1 0 0 0\n";
        frame += 1 + static_cast<int>(gen() % 15);
    }
    return text.str();
}

Settings RandomSettings(std::mt19937& gen, const TempDir& dir) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    Settings s = testing::SceneSettings(dir, RandomMotion(gen));
    s.num_particles = pick(1, 12);
    s.particles_per_frame = pick(0, 5);
    s.limited_lifespan = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
    s.lifespan = pick(0, 6);
    s.end_behavior = pick(0, 2);
    s.use_creation_delay = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
    s.creation_delay = pick(0, 4);
    s.particle_grow = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
    s.start_size = pick(1, 4) * 0.25;
    s.end_size = pick(0, 8) * 0.5;
    s.ground_bounce = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
    s.elasticity = pick(0, 10) * 0.1;
    s.gravity = pick(-5, 20);
    s.radial_creation = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
    s.oversampling = static_cast<std::int16_t>(pick(0, 1) * kFlagTicked);
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

struct Outcome {
    std::string scene;
    SceneReport report;
    EngineState state;
};

Outcome Generate(Settings s, const TempDir& dir, const std::string& name, EngineState& state, GenerateOptions options,
                 PassHook& hook) {
    SetPathText(s.target_scene, dir.str(name));
    RecordingSink sink;
    Outcome out;
    out.report = CreateScene(s, state, sink, hook, options);
    out.scene = ReadFile(dir.path(name));
    out.state = state;
    return out;
}

// Every object block declares the key lines it holds and ends as it must, linear path keys
// never run backwards in time, and no number is infinite or not a number.
::testing::AssertionResult WellFormed(const std::string& scene, const Settings& s) {
    std::istringstream in(scene);
    int blocks = 0;
    for (std::string line; std::getline(in, line);) {
        if (line != "ObjectMotion (unnamed)") continue;
        ++blocks;
        int channels = 0, count = 0, keys = 0, previous = -1;
        in >> channels >> count;
        std::getline(in, line);
        while (std::getline(in, line) && line.rfind("  ", 0) == 0) {
            std::istringstream fields(line);
            std::string value;
            for (int i = 0; i < 9; ++i) fields >> value;
            int frame = 0;
            fields >> frame;
            if (s.linear_path != 0 && frame < previous) return ::testing::AssertionFailure() << "frames run back";
            previous = frame;
            ++keys;
        }
        if (keys != count || line != "EndBehavior 1") return ::testing::AssertionFailure() << "block " << blocks;
    }
    if (blocks != s.num_particles) return ::testing::AssertionFailure() << blocks << " blocks";
    if (scene.find("inf") != std::string::npos || scene.find("nan") != std::string::npos) {
        return ::testing::AssertionFailure() << "inf or nan";
    }
    return ::testing::AssertionSuccess();
}

// What a generation leaves behind: the scene, the generator, the angle and the outcome.
std::string Summary(const Outcome& o) {
    return o.scene + "\nrandom " + std::to_string(o.state.random.state()) + " angle " +
           std::to_string(std::bit_cast<std::uint32_t>(o.state.angle)) + " outcome " +
           std::to_string(static_cast<int>(o.report.outcome)) + " written " + std::to_string(o.report.objects_written);
}

// Several generations in one program run, with random settings each time; both paths must
// write the same bytes and leave the same engine state for the next generation.
TEST(ScheduledPasses, MatchTheReferenceByteForByte) {
    std::mt19937 gen(20261206);
    int compared = 0;
    for (int run = 0; run < 60; ++run) {
        EngineState reference_state, scheduled_state;
        for (int generation = 0; generation < 5; ++generation) {
            TempDir dir;
            const Settings s = RandomSettings(gen, dir);
            ScriptedHook go_on1, go_on2;
            GenerateOptions reference{GenerationPath::Reference, 1};
            GenerateOptions scheduled{GenerationPath::Scheduled, 1 + static_cast<unsigned>(gen() % 4)};
            const Outcome a = Generate(s, dir, "reference.lws", reference_state, reference, go_on1);
            const Outcome b = Generate(s, dir, "scheduled.lws", scheduled_state, scheduled, go_on2);
            ASSERT_EQ(Summary(a), Summary(b)) << "run " << run << " generation " << generation;
            ASSERT_TRUE(WellFormed(a.scene, s)) << "run " << run << " generation " << generation;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 300);
}

// A break leaves the same file and the same state for the next generation; an abort the same
// state and no file.
TEST(ScheduledPasses, BreakAndAbortLeaveWhatTheReferenceLeaves) {
    std::mt19937 gen(77);
    for (int run = 0; run < 40; ++run) {
        EngineState reference_state, scheduled_state;
        TempDir dir;
        Settings s = RandomSettings(gen, dir);
        s.num_particles = 8;
        s.particles_per_frame = 2;
        const std::uint32_t stop_at = gen() % 8;
        const PassAction action = run % 2 == 0 ? PassAction::Break : PassAction::Abort;
        ScriptedHook stop1(stop_at, action), stop2(stop_at, action);
        const Outcome a = Generate(s, dir, "r.lws", reference_state, {GenerationPath::Reference, 1}, stop1);
        const Outcome b = Generate(s, dir, "s.lws", scheduled_state, {GenerationPath::Scheduled, 3}, stop2);
        ASSERT_EQ(Summary(a), Summary(b)) << "run " << run;
        ScriptedHook go_on1, go_on2;
        const Outcome c = Generate(s, dir, "r2.lws", reference_state, {GenerationPath::Reference, 1}, go_on1);
        const Outcome d = Generate(s, dir, "s2.lws", scheduled_state, {GenerationPath::Scheduled, 2}, go_on2);
        ASSERT_EQ(Summary(c), Summary(d)) << "run " << run << " after the stop";
    }
}

}  // namespace
}  // namespace vexo
