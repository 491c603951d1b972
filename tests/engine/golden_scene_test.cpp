#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "engine/create_scene.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/generation/scheduled_passes.hpp"
#include "tests/support/test_support.hpp"

// Whole scenes compared byte for byte with files kept in tests/data/golden. Each starts from a
// fresh program run. When a change is meant to alter them, rerun with VEXO_UPDATE_GOLDEN=1 and
// review the diff of the golden files.
namespace vexo {
namespace {

using testing::DataDir;
using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

struct GoldenFixture : ::testing::Test {
    Settings Base() {
        Settings s = DefaultSettings();
        SetPathText(s.particle_object, "Objects/spark.lwo");
        SetPathText(s.parent_motion, (DataDir() / "emitter_v1.mot").string());
        SetPathText(s.target_scene, dir.str("scene.lws"));
        return s;
    }
    std::string Generate(const Settings& s) {
        RecordingSink sink;
        ScriptedHook hook;
        const SceneReport report = CreateScene(s, state, sink, hook);
        EXPECT_EQ(report.outcome, WriteOutcome::Complete);
        return ReadFile(dir.path("scene.lws"));
    }
    TempDir dir;
    EngineState state;
};

TEST_F(GoldenFixture, FountainNonLinear) {
    Settings s = Base();
    s.num_particles = 12;
    s.particles_per_frame = 2;
    s.velocity = 0.4;
    s.velocity_variation = 20;
    s.pitch_angle = 60;
    s.pitch_spread = 20;
    s.heading_spread = 360;
    s.gravity = 0.5;
    s.ground_bounce = kFlagTicked;
    s.elasticity = 0.5;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 12;
    s.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    s.particle_grow = kFlagTicked;
    s.start_size = 0.2;
    s.last_frame = 40;
    s.linear_path = 0;
    EXPECT_TRUE(testing::MatchesGolden(Generate(s), "fountain_nonlinear.lws"));
}

TEST_F(GoldenFixture, RadialRingLinearWithDelayAndDestroy) {
    Settings s = Base();
    s.num_particles = 16;
    s.particles_per_frame = 3;
    s.velocity = 0.25;
    s.heading_angle = 30;
    s.heading_spread = 40;
    s.radial_creation = kFlagTicked;
    s.use_creation_delay = kFlagTicked;
    s.creation_delay = 2;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 7;
    s.first_frame = 0;
    s.last_frame = 30;
    s.frame_step = 2;
    EXPECT_TRUE(testing::MatchesGolden(Generate(s), "radial_linear.lws"));
}

TEST_F(GoldenFixture, OversampledStreamTwoGenerations) {
    Settings s = Base();
    s.num_particles = 8;
    s.particles_per_frame = 1;
    s.velocity = 1.5;
    s.velocity_variation = 100;
    s.pitch_spread = 180;
    s.oversampling = kFlagTicked;
    s.gravity = -2;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 5;
    s.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    s.linear_path = 1;
    const std::string first = Generate(s);
    s.linear_path = 0;
    s.radial_creation = kFlagTicked;
    const std::string second = Generate(s);  // continues the generator and the radial angle
    EXPECT_TRUE(testing::MatchesGolden(first + second, "oversampled_two_generations.lws"));
}

// Every key value of every object in "%a", on one generation path: the scene's "%f" hides the
// last bits, where a fused multiply-add and a plain multiply and add differ.
std::string KeyBits(const Settings& s, EngineState& state, GenerationPath path) {
    RecordingSink sink;
    const std::optional<MotionTable> table = GetMotionFile(s, sink, state);
    if (!table) return "no motion";
    const auto count = static_cast<std::uint32_t>(s.num_particles);
    Simulation sim;
    Particle initial;
    initial.delay = s.creation_delay;
    sim.ChildArray.assign(count, initial);
    std::optional<ReferencePasses> reference;
    std::optional<ScheduledPasses> scheduled;
    if (path == GenerationPath::Reference) {
        reference.emplace(*table, s, state, sim);
    } else {
        scheduled.emplace(*table, s, state);
        scheduled->BuildSchedule();
    }
    std::string out;
    char line[64];
    for (std::uint32_t p = 0; p < count; ++p) {
        Block block;
        BlockBuilder builder(block, false, "", 9);
        if (reference) reference->RecordBlock(p, builder);
        if (scheduled) scheduled->RecordBlock(p, builder);
        out += "object " + std::to_string(p) + "\n";
        for (const SceneKey& key : block.keys) {
            out += std::to_string(key.frame);
            for (double v : key.value) {
                std::snprintf(line, sizeof line, " %a", v);
                out += line;
            }
            out += '\n';
        }
    }
    if (scheduled) scheduled->FinishState(count, state);
    std::snprintf(line, sizeof line, "angle %a\n", static_cast<double>(state.angle));
    return out + line;
}

struct BitsCase {
    const char* name;
    void (*set)(Settings&);
    int generations;
};

// Together the cases exercise every named fused multiply-add (the range draw, the bounce, the
// radial distance and placement, the oversampled position) with a parent that starts away
// from the origin, rises and falls, turns and pitches both ways.
const BitsCase kBitsCases[] = {
    {"oversampled fountain, non-linear",
     [](Settings& s) {
         s.num_particles = 5, s.particles_per_frame = 2, s.velocity = 0.37, s.velocity_variation = 40;
         s.heading_angle = -15, s.heading_spread = 90, s.pitch_angle = 50, s.pitch_spread = 30;
         s.gravity = 9.81, s.ground_bounce = kFlagTicked, s.elasticity = 0.65, s.oversampling = kFlagTicked;
         s.limited_lifespan = kFlagTicked, s.lifespan = 6, s.end_behavior = 0;
         s.particle_grow = kFlagTicked, s.start_size = 0.3, s.end_size = 1.7, s.last_frame = 24, s.linear_path = 0;
     },
     1},
    {"radial ring, linear, delay and destroy",
     [](Settings& s) {
         s.num_particles = 6, s.particles_per_frame = 3, s.velocity = 0.5, s.velocity_variation = 10;
         s.heading_angle = 20, s.pitch_spread = 40, s.radial_creation = kFlagTicked, s.gravity = 3;
         s.use_creation_delay = kFlagTicked, s.creation_delay = 1, s.limited_lifespan = kFlagTicked;
         s.lifespan = 5, s.first_frame = 0, s.last_frame = 20, s.frame_step = 2;
     },
     1},
    {"radial ring, non-linear, two generations",
     [](Settings& s) {
         s.num_particles = 4, s.particles_per_frame = 2, s.velocity = 0.3, s.pitch_angle = -10;
         s.radial_creation = kFlagTicked, s.ground_bounce = kFlagTicked, s.elasticity = 0.3, s.gravity = 20;
         s.last_frame = 12, s.linear_path = 0;
     },
     2},
};

TEST_F(GoldenFixture, KeyBitsOnBothPaths) {
    std::string all;
    for (const BitsCase& c : kBitsCases) {
        Settings s = Base();
        SetPathText(s.parent_motion, (DataDir() / "emitter_pitched.mot").string());
        c.set(s);
        EngineState reference_state, scheduled_state;
        for (int g = 0; g < c.generations; ++g) {
            const std::string reference = KeyBits(s, reference_state, GenerationPath::Reference);
            const std::string scheduled = KeyBits(s, scheduled_state, GenerationPath::Scheduled);
            EXPECT_EQ(reference, scheduled) << c.name;
            all += std::string("# ") + c.name + "\n" + reference;
        }
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "key_bits.txt"));
}

}  // namespace
}  // namespace vexo
