#include <gtest/gtest.h>

#include <cmath>

#include "engine/simulation/emission.hpp"

namespace vexo {
namespace {

struct EmissionFixture : ::testing::Test {
    void SetUp() override {
        state.Reset();
        prefs = DefaultSettings();
        prefs.num_particles = 4;
        sim.ChildArray.assign(4, Particle{});
    }
    void Emit() { CreateChildObject(sim, state, 1, prefs, start); }

    EngineState state;
    Settings prefs;
    Simulation sim;
    double start[3] = {0, 0, 0};
};

TEST_F(EmissionFixture, WorkedExampleSpeedPitchAndHeading) {
    prefs.velocity = 10.0;
    prefs.velocity_variation = 20.0;
    prefs.pitch_angle = 45;
    Emit();
    const Particle& p = sim.ChildArray[0];
    const double speed = 10.027740156756593;
    EXPECT_EQ(10.0 + std::fma(1103527590.0 * D, 2.0, -1.0), speed);
    // Pitch 45 and heading 90 (spreads 0, parent rotation 0, angle 0).
    EXPECT_EQ(p.vx, (speed * std::cos(45.0 * K)) * std::sin(90.0 * K));
    EXPECT_EQ(p.vy, speed * std::sin(45.0 * K));
    EXPECT_EQ(p.vz, (speed * std::cos(45.0 * K)) * std::cos(90.0 * K));
    EXPECT_NEAR(p.vx, 7.090688, 5e-7);
    EXPECT_NEAR(p.vy, 7.090678, 5e-7);
    EXPECT_NEAR(p.vz, 0.000009, 5e-7);
    EXPECT_GT(p.vz, 0.0);  // K is not pi / 180
    EXPECT_EQ(p.alive, 1);
    EXPECT_EQ(p.shown, 1);
    EXPECT_EQ(p.state, kStateShown);
    EXPECT_EQ(p.delay, -1);
    EXPECT_EQ(p.scale_x, 1.0);
    EXPECT_EQ(p.max_age, 30u);
    EXPECT_EQ(sim.NumChilds, 1u);
    EXPECT_EQ(state.random.state(), [] {
        Random r;
        for (int i = 0; i < 3; ++i) r.rand();
        return r.state();
    }());
}

TEST_F(EmissionFixture, WorkedExampleRadialCreation) {
    prefs.radial_creation = kFlagTicked;
    sim.Parent.x = 3;
    sim.Parent.z = 4;
    Emit();
    const Particle& p = sim.ChildArray[0];
    EXPECT_EQ(state.angle, 191.8976593017578f);
    EXPECT_EQ(state.angle, static_cast<float>(1147902782.0 * D * 359.0));
    EXPECT_EQ(p.heading, 191.8976593017578);
    EXPECT_NEAR(p.x, -1.030807, 5e-7);
    EXPECT_NEAR(p.z, -4.892590, 5e-7);
    EXPECT_EQ(p.y, 0.0);
    EXPECT_EQ(sim.Parent.x, p.x);
    EXPECT_EQ(sim.Parent.z, p.z);
    EXPECT_EQ(std::hypot(p.x, p.z), 5.0 + (std::hypot(p.x, p.z) - 5.0));
    EXPECT_NEAR(std::hypot(p.x, p.z), 5.0, 1e-12);
}

TEST_F(EmissionFixture, RadialHeadingUsesThePreviousAngle) {
    prefs.radial_creation = kFlagTicked;
    Emit();
    const float first_angle = state.angle;
    Emit();
    const Particle& second = sim.ChildArray[1];
    // Direction: previous angle + 90; rotation field: its own new angle.
    EXPECT_EQ(second.heading, static_cast<double>(state.angle));
    Random replay;
    for (int i = 0; i < 4 + 2; ++i) replay.rand();
    const double h = ((std::fma(replay.rnd(), 0.0, 0.0) + 0.0) + 0.0) + (static_cast<double>(first_angle) + 90.0);
    EXPECT_EQ(second.vx, (0.0 * std::cos(0.0)) * std::sin(h * K));
}

TEST_F(EmissionFixture, DrawCountsAreThreeFourOrSix) {
    auto draws = [&](bool radial, bool oversampling) {
        SetUp();
        prefs.radial_creation = radial ? kFlagTicked : 0;
        prefs.oversampling = oversampling ? kFlagTicked : 0;
        Emit();
        Random replay;
        int n = 0;
        while (replay.state() != state.random.state()) {
            replay.rand();
            ++n;
        }
        return n;
    };
    EXPECT_EQ(draws(false, false), 3);
    EXPECT_EQ(draws(true, false), 4);
    EXPECT_EQ(draws(false, true), 6);
    EXPECT_EQ(draws(true, true), 4);
}

TEST_F(EmissionFixture, OversamplingFillsTheBoxBetweenParentSamples) {
    prefs.oversampling = kFlagTicked;
    sim.lastframe.x = 1;
    sim.lastframe.y = 2;
    sim.lastframe.z = 3;
    sim.Parent.x = 1;
    sim.Parent.y = 2;
    sim.Parent.z = 3;
    Emit();
    EXPECT_EQ(sim.ChildArray[0].x, 1.0);
    EXPECT_EQ(sim.ChildArray[0].y, 2.0);
    EXPECT_EQ(sim.ChildArray[0].z, 3.0);

    sim.Parent.x = 11;
    Emit();
    Random replay;
    for (int i = 0; i < 6 + 3; ++i) replay.rand();
    EXPECT_EQ(sim.ChildArray[1].x, std::fma(replay.rnd(), 10.0, 1.0));
}

TEST_F(EmissionFixture, NoFreeSlotDrawsNothing) {
    prefs.num_particles = 0;
    Emit();
    EXPECT_EQ(state.random.state(), Random::kStartState);
    prefs.num_particles = 2;
    Emit();
    Emit();
    const std::uint32_t after_two = state.random.state();
    Emit();  // surplus attempt
    EXPECT_EQ(state.random.state(), after_two);
    EXPECT_EQ(sim.NumChilds, 2u);
    EXPECT_EQ(sim.ChildArray[2].alive, 0);
}

TEST_F(EmissionFixture, LowestFreeSlotIsTaken) {
    sim.ChildArray[0].alive = 1;
    sim.ChildArray[2].alive = 1;
    sim.NumChilds = 2;
    Emit();
    EXPECT_EQ(sim.ChildArray[1].alive, 1);
    EXPECT_EQ(sim.ChildArray[3].alive, 0);
}

TEST_F(EmissionFixture, CreationDelayHidesTheParticle) {
    prefs.use_creation_delay = kFlagTicked;
    prefs.creation_delay = 5;
    prefs.limited_lifespan = kFlagTicked;
    prefs.lifespan = 7;
    Emit();
    const Particle& p = sim.ChildArray[0];
    EXPECT_EQ(p.scale_y, 0.0);
    EXPECT_EQ(p.state, kStateWaiting);
    EXPECT_EQ(p.delay, 5);
    EXPECT_EQ(p.shown, 0);
    EXPECT_EQ(p.max_age, 7u);
}

TEST_F(EmissionFixture, MostNegativeSpreadDoesNotOverflow) {
    prefs.heading_spread = INT32_MIN;
    prefs.pitch_spread = INT32_MIN;
    Emit();
    EXPECT_TRUE(std::isfinite(sim.ChildArray[0].vx));
}

}  // namespace
}  // namespace vexo
