// Wind, drag, turbulence and spin: worked examples (tests/data/forces_cases.txt, values kept in
// golden/forces_examples.txt) and properties over many random particles and points.
#include "engine/simulation/forces.hpp"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <sstream>

#include "engine/motion/world_channels.hpp"
#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

std::string Num(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// One shown particle at (0, 10, 0) in a simulation of one slot, as the case file describes.
struct OneParticle {
    Settings prefs = DefaultSettings();
    Simulation sim;
    EngineState state;
    OneParticle() {
        prefs.num_particles = 1;
        Particle p;
        p.y = 10;
        p.alive = p.shown = 1;
        p.state = kStateShown;
        p.delay = -1;
        p.max_age = 1u << 30;
        p.scale_x = p.scale_y = p.scale_z = 1;
        sim.ChildArray.assign(1, p);
        sim.NumChilds = 1;
    }
    Particle& p() { return sim.ChildArray[0]; }
    void Frames(int n) {
        for (int f = 0; f < n; ++f) {
            MoveChildObject(sim, 0);
            EffectChildObject(sim, 0, prefs);
        }
    }
    double Value(const std::string& name) {
        constexpr std::string_view kNames[] = {"x",       "y",     "z",    "vx",     "vy",     "vz",
                                               "heading", "pitch", "bank", "turn_x", "turn_y", "turn_z"};
        constexpr double Particle::*kMembers[] = {&Particle::x,       &Particle::y,      &Particle::z,
                                                  &Particle::vx,      &Particle::vy,     &Particle::vz,
                                                  &Particle::heading, &Particle::pitch,  &Particle::bank,
                                                  &Particle::turn_x,  &Particle::turn_y, &Particle::turn_z};
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (name == kNames[i]) return p().*kMembers[i];
        }
        ADD_FAILURE() << "no value " << name;
        return 0;
    }
};

TEST(Forces, WorkedExamples) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("forces_cases.txt")) {
        SCOPED_TRACE(c.name);
        OneParticle one;
        Particle& p = one.p();
        for (const std::string& line : c.lines) {
            std::istringstream in(line);
            std::string word;
            in >> word;
            const std::map<std::string, std::array<double*, 3>> triples = {
                {"at", {&p.x, &p.y, &p.z}},
                {"moving", {&p.vx, &p.vy, &p.vz}},
                {"facing", {&p.heading, &p.pitch, &p.bank}},
                {"turning", {&p.turn_x, &p.turn_y, &p.turn_z}}};
            if (word == "fps") {
                in >> one.sim.frames_per_second;
            } else if (triples.count(word) != 0) {
                for (double* v : triples.at(word)) in >> *v;
            } else if (word == "emit") {
                p.alive = 0;
                one.sim.NumChilds = 0;
                one.sim.Parent = Particle{};
                const double start[3] = {0, 0, 0};
                CreateChildObject(one.sim, one.state, 1, one.prefs, start);
            } else if (word == "frames") {
                int n = 0;
                in >> n;
                one.Frames(n);
            } else if (word == "expect") {
                std::string name;
                double expected = 0, within = 0;
                in >> name >> expected >> within;
                const double actual = one.Value(name);
                if (within == 0) {
                    EXPECT_EQ(actual, expected) << name;
                } else {
                    EXPECT_NEAR(actual, expected, within) << name;
                }
            } else {
                ASSERT_TRUE(AssignSetting(one.prefs, line).ok) << line;
            }
        }
        all += c.name + "\npos " + Num(p.x) + " " + Num(p.y) + " " + Num(p.z) + " v " + Num(p.vx) + " " +
               Num(p.vy) + " " + Num(p.vz) + "\nhpb " + Num(p.heading) + " " + Num(p.pitch) + " " +
               Num(p.bank) + " turn " + Num(p.turn_x) + " " + Num(p.turn_y) + " " + Num(p.turn_z) + "\n";
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "forces_examples.txt"));
}

double Length(const std::array<double, 3>& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The field's divergence by central differences, its length, its smoothness and its scaling, at
// random points of random sizes. A wave changes by at most 3.41 per turn of its phase (worked
// numerically from its shape), its phase by w sqrt 3 turns per size, so the field by at most
// 3.41 (0.29 + 0.37 + 0.47 + 0.59) sqrt 3 = 10.16 per size; its length is at most 4 / 2 times
// 1.0473, the longest a wave's two shapes reach together.
TEST(Forces, TurbulenceIsFreeOfDivergenceBoundedAndSmooth) {
    std::mt19937_64 gen(17);
    std::uniform_real_distribution<double> coordinate(-50.0, 50.0), unit(-1.0, 1.0), log_size(-3.0, 3.0);
    double sum_of_squares = 0.0, longest = 0.0;
    const int points = 20000;
    for (int i = 0; i < points; ++i) {
        const double size = std::pow(10.0, log_size(gen));
        const std::array<double, 3> p{coordinate(gen) * size, coordinate(gen) * size, coordinate(gen) * size};
        const auto n = TurbulenceField(p[0], p[1], p[2], size);
        sum_of_squares += n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
        longest = std::max(longest, Length(n));

        const double h = 1e-4 * size;
        double divergence = 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            auto ahead = p, behind = p;
            ahead[axis] += h;
            behind[axis] -= h;
            const auto a = TurbulenceField(ahead[0], ahead[1], ahead[2], size);
            const auto b = TurbulenceField(behind[0], behind[1], behind[2], size);
            divergence += (a[axis] - b[axis]) / (2 * h);
        }
        // Next to derivatives of up to 10.16 / size, the rounding of a difference quotient.
        ASSERT_LT(std::abs(divergence) * size, 1e-6)
            << "at " << p[0] << " " << p[1] << " " << p[2] << " size " << size;

        const std::array<double, 3> step{unit(gen) * size, unit(gen) * size, unit(gen) * size};
        const auto q = TurbulenceField(p[0] + step[0], p[1] + step[1], p[2] + step[2], size);
        ASSERT_LE(Length({q[0] - n[0], q[1] - n[1], q[2] - n[2]}), 10.16 * Length(step) / size + 1e-12);

        // Fixed in the world: twice the size at twice the distance is the same field, bit for bit.
        EXPECT_EQ(TurbulenceField(2 * p[0], 2 * p[1], 2 * p[2], 2 * size), n);
    }
    EXPECT_LE(longest, 2.0946);
    EXPECT_GT(longest, 1.6);  // the waves do line up somewhere
    EXPECT_NEAR(std::sqrt(sum_of_squares / points), 1.0, 0.03);
}

// Random velocities under random drags at random frame rates: no component ever changes sign,
// the speed never grows, and after one second the velocity is (1 - drag) of what it was.
TEST(Forces, DragNeverReversesAndLeavesTheSameShareOfASecondAtAnyFrameRate) {
    std::mt19937_64 gen(4);
    std::uniform_real_distribution<double> speed(-20.0, 20.0), fraction(0.0, 1.0);
    const double rates[] = {12, 23.976, 24, 25, 29.97, 30, 60, 120, 1000};
    for (int i = 0; i < 3000; ++i) {
        OneParticle one;
        one.prefs.drag = fraction(gen);
        const int fps = static_cast<int>(rates[i % std::size(rates)]);
        one.sim.frames_per_second = fps;
        Particle& p = one.p();
        p.vx = speed(gen), p.vy = speed(gen), p.vz = speed(gen);
        const std::array<double, 3> start{p.vx, p.vy, p.vz};
        for (int f = 0; f < fps; ++f) {
            const std::array<double, 3> before{p.vx, p.vy, p.vz};
            one.Frames(1);
            const std::array<double, 3> after{p.vx, p.vy, p.vz};
            for (int axis = 0; axis < 3; ++axis) ASSERT_GE(after[axis] * before[axis], 0.0);
            ASSERT_LE(Length(after), Length(before));
        }
        const double kept = 1.0 - one.prefs.drag;
        const std::array<double, 3> end{p.vx, p.vy, p.vz};
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(end[a], start[a] * kept, 1e-12 * std::abs(start[a]) + 1e-300);
    }
}

Matrix Rotation(const Particle& p) {
    return RotationMatrix(GltfRotation(p.heading, p.pitch, p.bank));
}

Matrix TimesTransposed(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m[r][c] = a[r][0] * b[c][0] + a[r][1] * b[c][1] + a[r][2] * b[c][2];
    }
    return m;
}

// Rodrigues: the rotation by `angle` radians about the unit axis `a`.
Matrix AxisAngle(const std::array<double, 3>& a, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    return {{{c + t * a[0] * a[0], t * a[0] * a[1] - s * a[2], t * a[0] * a[2] + s * a[1]},
             {t * a[1] * a[0] + s * a[2], c + t * a[1] * a[1], t * a[1] * a[2] - s * a[0]},
             {t * a[2] * a[0] - s * a[1], t * a[2] * a[1] + s * a[0], c + t * a[2] * a[2]}}};
}

// Emitted spinning particles (random headings from radial creation, random rates and axes)
// followed for 200 frames: the rotation from the first key to every later key, read back with
// the glTF writer's conversion, is the first frame's turn repeated, about one axis fixed in the
// world at one rate no faster than spin; every angle stays within 180 degrees of the key before;
// rates and axes are spread evenly.
TEST(Spin, EveryParticleTurnsAboutItsOwnFixedAxisAtItsOwnSteadyRate) {
    std::mt19937 gen(9);
    double rate_sum = 0.0, axis_y_squares = 0.0;
    std::array<double, 3> axis_sum{};
    const int particles = 2000;
    for (int i = 0; i < particles; ++i) {
        OneParticle one;
        one.prefs.spin = 1440;
        one.prefs.radial_creation = kFlagTicked;
        one.sim.frames_per_second = 24;
        one.state.random.set_state(static_cast<std::uint32_t>(gen()));
        one.p().alive = 0;
        one.sim.NumChilds = 0;
        const double start[3] = {0, 0, 0};
        CreateChildObject(one.sim, one.state, 1, one.prefs, start);
        const Particle born = one.p();
        ASSERT_EQ(born.pitch, 0.0);
        one.Frames(1);
        // The first frame's turn: its angle from the trace, its axis from the skew part.
        const Matrix first = TimesTransposed(Rotation(one.p()), Rotation(born));
        const double angle =
            std::acos(std::clamp((first[0][0] + first[1][1] + first[2][2] - 1) / 2, -1.0, 1.0));
        ASSERT_LE(angle, 1440.0 / 24 * std::numbers::pi / 180 + 1e-12);
        rate_sum += angle;
        std::array<double, 3> axis{first[2][1] - first[1][2], first[0][2] - first[2][0],
                                   first[1][0] - first[0][1]};
        const double length = Length(axis);
        if (length < 1e-6) continue;  // a particle that hardly turns has no axis to speak of
        for (double& a : axis) a /= length;
        // The axis is the one drawn, in the world: the turn's vector part points along it.
        const std::array<double, 3> drawn{born.turn_x, born.turn_y, born.turn_z};
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(axis[k], drawn[k] / Length(drawn), 1e-6);
            axis_sum[k] += axis[k];
        }
        axis_y_squares += axis[1] * axis[1];

        Particle previous = one.p();
        for (int frame = 2; frame <= 200; ++frame) {
            one.Frames(1);
            const Particle& now = one.p();
            for (double Particle::*angle : {&Particle::heading, &Particle::pitch, &Particle::bank})
                ASSERT_LT(std::abs(now.*angle - previous.*angle), 180.0);
            previous = now;
            const Matrix turned = TimesTransposed(Rotation(now), Rotation(born));
            const Matrix expected = AxisAngle(axis, frame * angle);
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_NEAR(turned[r][c], expected[r][c], 1e-8) << "particle " << i << " frame " << frame;
                }
            }
        }
    }
    // Rates uniform up to 60 degrees a frame: their mean is 30; axes uniform on the sphere.
    EXPECT_NEAR(rate_sum / particles * 180 / std::numbers::pi, 30.0, 1.0);
    for (double sum : axis_sum) EXPECT_NEAR(sum / particles, 0.0, 0.05);
    EXPECT_NEAR(axis_y_squares / particles, 1.0 / 3.0, 0.03);
}

}  // namespace
}  // namespace vexo
