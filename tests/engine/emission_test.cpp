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
    // Speed 10.027740156756593, pitch 45, heading 90; vz is not 0 because K is not pi / 180.
    EXPECT_NEAR(std::hypot(p.vx, p.vy, p.vz), 10.027740156756593, 1e-14);
    EXPECT_NEAR(p.vx, 7.090688, 5e-7);
    EXPECT_NEAR(p.vy, 7.090678, 5e-7);
    EXPECT_NEAR(p.vz, 0.000009, 5e-7);
    EXPECT_EQ(p.alive, 1);
    EXPECT_EQ(p.shown, 1);
    EXPECT_EQ(p.state, kStateShown);
    EXPECT_EQ(p.delay, -1);
    EXPECT_EQ(p.scale_x, 1.0);
    EXPECT_EQ(p.max_age, 30u);
    EXPECT_EQ(sim.NumChilds, 1u);
}

TEST_F(EmissionFixture, WorkedExampleRadialCreation) {
    prefs.radial_creation = kFlagTicked;
    sim.Parent.x = 3;
    sim.Parent.z = 4;
    Emit();
    const Particle& p = sim.ChildArray[0];
    EXPECT_EQ(state.angle, 191.8976593017578f);
    EXPECT_EQ(p.heading, 191.8976593017578);
    EXPECT_NEAR(p.x, -1.030807, 5e-7);
    EXPECT_NEAR(p.z, -4.892590, 5e-7);
    EXPECT_EQ(p.y, 0.0);
    EXPECT_EQ(sim.Parent.x, p.x);
    EXPECT_EQ(sim.Parent.z, p.z);
    EXPECT_NEAR(std::hypot(p.x, p.z), 5.0, 1e-12);
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
}

TEST_F(EmissionFixture, MostNegativeSpreadDoesNotOverflow) {
    prefs.heading_spread = INT32_MIN;
    prefs.pitch_spread = INT32_MIN;
    Emit();
    EXPECT_TRUE(std::isfinite(sim.ChildArray[0].vx));
}

}  // namespace
}  // namespace vexo
