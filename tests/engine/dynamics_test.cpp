#include <gtest/gtest.h>

#include <cmath>

#include "engine/simulation/dynamics.hpp"

namespace vexo {
namespace {

struct DynamicsFixture : ::testing::Test {
    void SetUp() override {
        prefs = DefaultSettings();
        prefs.num_particles = 2;
        sim.ChildArray.assign(2, Particle{});
        Particle& p = sim.ChildArray[0];
        p.alive = 1;
        p.shown = 1;
        p.state = kStateShown;
        p.delay = -1;
        p.max_age = 30;
        p.scale_x = p.scale_y = p.scale_z = 1.0;
        sim.NumChilds = 1;
    }
    Particle& p() { return sim.ChildArray[0]; }
    void Effect() { EffectChildObject(sim, 0, prefs); }

    Settings prefs;
    Simulation sim;
};

TEST_F(DynamicsFixture, GravityLowersVerticalSpeed) {
    prefs.gravity = 12.0;
    Effect();
    EXPECT_EQ(p().vy, -0.5);
    Effect();
    EXPECT_EQ(p().vy, -1.0);
    sim.frames_per_second = 30.0;  // the scene's frame rate is gravity's time base
    Effect();
    EXPECT_EQ(p().vy, -1.4);
}

TEST_F(DynamicsFixture, BounceWorkedExamples) {
    prefs.gravity = 12.0;
    prefs.ground_bounce = kFlagTicked;
    p().y = 0.5;
    p().vy = -0.25;
    Effect();
    EXPECT_EQ(p().vy, 0.25);
    prefs.elasticity = 0.5;
    p().vy = -0.25;
    Effect();
    EXPECT_EQ(p().vy, 0.125);
}

TEST_F(DynamicsFixture, BounceEdges) {
    prefs.ground_bounce = kFlagTicked;
    p().y = 1.0;
    p().vy = -1.0;  // lands exactly on 0: no bounce
    Effect();
    EXPECT_EQ(p().vy, -1.0);
    prefs.elasticity = 0.5;
    p().vy = -2.0;  // gravity 0: vy becomes -vy * e
    Effect();
    EXPECT_EQ(p().vy, 1.0);
    // Below the ground with e = 1 and no gravity the particle swings for ever.
    prefs.elasticity = 1.0;
    p().y = -5.0;
    p().vy = 1.0;
    for (int i = 0; i < 4; ++i) {
        Effect();
        MoveChildObject(sim, 0);
    }
    EXPECT_EQ(p().y, -5.0);
}

TEST_F(DynamicsFixture, GrowthByRepeatedAddition) {
    prefs.particle_grow = kFlagTicked;
    prefs.limited_lifespan = kFlagTicked;
    prefs.lifespan = 10;
    prefs.end_size = 2.0;
    prefs.end_behavior = static_cast<std::int32_t>(EndBehavior::Stop);
    p().max_age = 10;
    for (int i = 0; i < 9; ++i) Effect();
    EXPECT_EQ(p().scale_x, 2.0000000000000004);
    Effect();
    EXPECT_EQ(p().scale_x, 2.1111111111111116);
    EXPECT_EQ(p().state, kStateEnded);
    EXPECT_EQ(p().shown, 0);
    EXPECT_EQ(p().alive, 1);  // Stop keeps it alive and growing
    Effect();
    EXPECT_GT(p().scale_x, 2.2);
    EXPECT_EQ(p().age, 11u);
}

TEST_F(DynamicsFixture, NegativeDelayFromALoadedRecordWrapsInsteadOfOverflowing) {
    prefs.use_creation_delay = kFlagTicked;
    p().delay = INT32_MIN;
    Effect();
    EXPECT_EQ(p().delay, INT32_MAX);
}

}  // namespace
}  // namespace vexo
