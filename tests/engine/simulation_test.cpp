// Worked examples of one emission and of one particle's dynamics (a move, then the effects) in
// shortest exact decimals: tests/data/simulation_cases.txt explains the golden file's values.
#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <sstream>

#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"
#include "engine/simulation/scene_meshes.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

std::string Num(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr) + " ";
}

// Lines: field=value settings ("DATA/" in a value is the test data folder); "parent X Y Z
// HEADING PITCH [BANK SX SY SZ]" (sizes 1 unless given), "last X Y Z" (the parent one frame step
// earlier); "emit" (into 4 free slots); "particle Y VY MAX_AGE DELAY FRAME" (one living particle,
// shown unless delayed) with "frames N FPS"; "spreads_min" (both spreads -2^31). The meshes the
// settings name are read before the first emission or frame; a refusal is printed.
TEST(Simulation, WorkedExamples) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("simulation_cases.txt")) {
        Settings prefs = DefaultSettings();
        prefs.num_particles = 4;
        Simulation sim;
        sim.ChildArray.assign(4, Particle{});
        EngineState state;
        Particle& p = sim.ChildArray[0];
        sim.Parent.scale_x = sim.Parent.scale_y = sim.Parent.scale_z = 1;
        SceneMeshes meshes;
        bool meshes_read = false;
        std::string refused;
        auto read_meshes = [&] {
            if (meshes_read) return;
            meshes_read = true;
            testing::RecordingSink sink;
            std::string role;
            if (LoadSceneMeshes(prefs, meshes, sink, role) == MeshLoad::Refused) {
                refused = sink.messages.at(0) + "\n";  // the data folder as "DATA/", wherever the tests run
                const std::string data = testing::DataDir().string() + "/";
                if (const auto at = refused.find(data); at != std::string::npos)
                    refused.replace(at, data.size(), "DATA/");
            }
            meshes.Attach(sim);
        };
        for (const std::string& line : c.lines) {
            std::istringstream in(line);
            std::string word;
            in >> word;
            if (word == "parent") {
                in >> sim.Parent.x >> sim.Parent.y >> sim.Parent.z >> sim.Parent.heading >> sim.Parent.pitch;
                in >> sim.Parent.bank >> sim.Parent.scale_x >> sim.Parent.scale_y >> sim.Parent.scale_z;
            }
            if (word == "last") in >> sim.lastframe.x >> sim.lastframe.y >> sim.lastframe.z;
            if (word == "spreads_min")
                prefs.heading_spread = prefs.pitch_spread = std::numeric_limits<std::int32_t>::min();
            if (word == "emit" || word == "frames") read_meshes();
            if (word == "emit") {
                const double start[3] = {0, 0, 0};
                CreateChildObject(sim, state, 1, prefs, start);
            } else if (word == "particle") {
                in >> p.y >> p.vy >> p.max_age >> p.delay >> p.frame;
                p.alive = 1;
                p.shown = p.delay == -1 ? 1 : 0;
                p.state = p.delay == -1 ? kStateShown : kStateWaiting;
                p.scale_x = p.scale_y = p.scale_z = p.delay == -1 ? 1.0 : 0.0;
                sim.NumChilds = 1;
            } else if (word == "frames") {
                int frames = 0;
                in >> frames >> sim.frames_per_second;
                sim.Parent = {1, 2, 3};
                for (int f = 0; f < frames; ++f) {
                    MoveChildObject(sim, 0);
                    EffectChildObject(sim, 0, prefs);
                }
            } else if (word.find('=') != std::string::npos) {
                std::string assignment = line;
                if (const auto data = assignment.find("DATA/"); data != std::string::npos)
                    assignment.replace(data, 5, testing::DataDir().string() + "/");
                ASSERT_TRUE(AssignSetting(prefs, assignment).ok) << c.name << ": " << line;
            }
        }
        int draws = 0;
        for (Random replay; replay.state() != state.random.state(); replay.rand()) ++draws;
        all += c.name + "\n" + refused + "pos " + Num(p.x) + Num(p.y) + Num(p.z) + "v " + Num(p.vx) +
               Num(p.vy) + Num(p.vz) + "heading " + Num(p.heading) + "angle " + Num(state.angle) + "draws " +
               std::to_string(draws) + "\nscale " + Num(p.scale_x) + "age " + std::to_string(p.age) +
               " state " + std::to_string(p.state) + " shown " + std::to_string(p.shown) + " alive " +
               std::to_string(p.alive) + " delay " + std::to_string(p.delay) + " max_age " +
               std::to_string(p.max_age) + " n " + std::to_string(sim.NumChilds) + "\n";
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "simulation_examples.txt"));
}

}  // namespace
}  // namespace vexo
