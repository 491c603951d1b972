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

TEST_F(DynamicsFixture, MoveAddsVelocityAndFreeSlotsRideWithTheParent) {
    p().x = 1;
    p().vx = 0.5;
    p().vy = -2;
    MoveChildObject(sim, 0);
    EXPECT_EQ(p().x, 1.5);
    EXPECT_EQ(p().y, -2.0);
    sim.Parent.x = 7;
    sim.Parent.y = 8;
    sim.Parent.z = 9;
    sim.ChildArray[1].vx = 100;
    MoveChildObject(sim, 1);
    EXPECT_EQ(sim.ChildArray[1].x, 7.0);
    EXPECT_EQ(sim.ChildArray[1].z, 9.0);
    EXPECT_EQ(sim.ChildArray[1].vx, 100.0);
}

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

TEST_F(DynamicsFixture, GrowthDivisorZeroStaysFinite) {
    prefs.particle_grow = kFlagTicked;
    prefs.limited_lifespan = kFlagTicked;
    prefs.lifespan = 1;
    prefs.end_size = 3.0;
    prefs.end_behavior = static_cast<std::int32_t>(EndBehavior::Stop);
    p().max_age = 1;
    Effect();
    EXPECT_EQ(p().scale_x, 3.0);  // reaches end_size at its one aging step
    prefs.limited_lifespan = 0;
    prefs.first_frame = prefs.last_frame = 5;
    prefs.end_size = 1.0;  // start equal to end: 0 / 0 without the guard
    p().scale_x = 1.0;
    Effect();
    EXPECT_EQ(p().scale_x, 1.0);
}

TEST_F(DynamicsFixture, LifespanZeroGrowsByTheWrappedDivisor) {
    prefs.particle_grow = kFlagTicked;
    prefs.limited_lifespan = kFlagTicked;
    prefs.end_size = 2.0;
    p().max_age = 0;
    Effect();
    EXPECT_EQ(p().scale_x, 1.0 + 1.0 / 4294967295.0);
}

TEST_F(DynamicsFixture, RecycleFreesTheSlot) {
    prefs.limited_lifespan = kFlagTicked;
    prefs.lifespan = 2;
    prefs.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    p().max_age = 2;
    Effect();
    EXPECT_EQ(p().state, kStateActive);
    Effect();
    EXPECT_EQ(p().state, kStateEnded);
    EXPECT_EQ(p().alive, 0);
    EXPECT_EQ(p().shown, 0);
    EXPECT_EQ(p().delay, -1);
    EXPECT_EQ(sim.NumChilds, 0u);
}

TEST_F(DynamicsFixture, RecycledSlotTakesNoFurtherEffectInThatCall) {
    prefs.limited_lifespan = kFlagTicked;
    prefs.lifespan = 1;
    prefs.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    prefs.use_creation_delay = kFlagTicked;
    prefs.creation_delay = 0;
    p().max_age = 1;
    Effect();
    // Freed with delay 0 pending: it must not be shown again as if it were alive.
    EXPECT_EQ(p().alive, 0);
    EXPECT_EQ(p().shown, 0);
    EXPECT_EQ(p().state, kStateEnded);
    EXPECT_EQ(p().delay, 0);
    EXPECT_EQ(p().scale_x, 1.0);
}

TEST_F(DynamicsFixture, CreationDelayCountsDownThenShows) {
    prefs.use_creation_delay = kFlagTicked;
    prefs.start_size = 0.5;
    p().delay = 2;
    p().state = kStateWaiting;
    p().shown = 0;
    p().scale_x = p().scale_y = p().scale_z = 0.0;
    Effect();
    EXPECT_EQ(p().delay, 1);
    Effect();
    EXPECT_EQ(p().delay, 0);
    EXPECT_EQ(p().age, 0u);
    Effect();
    EXPECT_EQ(p().state, kStateShown);
    EXPECT_EQ(p().scale_z, 0.5);
    EXPECT_EQ(p().shown, 1);
    EXPECT_EQ(p().age, 0u);
    Effect();
    EXPECT_EQ(p().state, kStateActive);
    EXPECT_EQ(p().age, 1u);
}

TEST_F(DynamicsFixture, NegativeDelayFromALoadedRecordWrapsInsteadOfOverflowing) {
    prefs.use_creation_delay = kFlagTicked;
    p().delay = INT32_MIN;
    Effect();
    EXPECT_EQ(p().delay, INT32_MAX);
}

TEST_F(DynamicsFixture, LastFrameEndsTheWrittenParticle) {
    p().frame = 30;
    Effect();
    EXPECT_EQ(p().state, kStateEnded);
    EXPECT_EQ(p().shown, 1);  // no lifespan end: still shown
}

TEST_F(DynamicsFixture, FreeSlotIsLeftAlone) {
    sim.ChildArray[1].vy = 3.0;
    prefs.gravity = 24.0;
    EffectChildObject(sim, 1, prefs);
    EXPECT_EQ(sim.ChildArray[1].vy, 3.0);
}

}  // namespace
}  // namespace vexo
