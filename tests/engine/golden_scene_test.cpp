#include <gtest/gtest.h>

#include "engine/create_scene.hpp"
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

}  // namespace
}  // namespace vexo
