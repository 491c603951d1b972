// The scheduled path against the reference: several generations in one program run, with random
// settings (in the ranges and choices of tests/data/random_settings.txt, forces, spin, emitter and
// collision meshes included) and a random stop each time; both must write the same bytes, report
// the same and leave the same engine state for the next.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <filesystem>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "prefs/settings_text.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Keys at rising frames from 0, the parent off the ground and turning.
Settings RandomSettings(std::mt19937& gen, const TempDir& dir) {
    std::uniform_real_distribution<double> coord(-5.0, 5.0), turn(-180.0, 180.0);
    const int keys = 1 + static_cast<int>(gen() % 4);
    std::ostringstream motion;
    motion << "LWMO\n1\n9\n" << keys << '\n';
    for (int k = 0, frame = 0; k < keys; ++k, frame += 1 + static_cast<int>(gen() % 15)) {
        motion << coord(gen) << ' ' << coord(gen) << ' ' << coord(gen) << ' ' << turn(gen) << ' ' << turn(gen)
               << ' ' << turn(gen) << " 1 1 1\n"
               << frame << " 1 0 0 0\n";
    }
    Settings s = testing::SceneSettings(dir, motion.str());
    std::istringstream lines(ReadFile(testing::DataDir() / "random_settings.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, first;
        if (!(words >> name >> first)) continue;
        std::ostringstream assignment;
        assignment << name << '=';
        if (first.find_first_not_of("-0123456789") == std::string::npos && first != "-") {
            int hi = 0;
            double scale = 1;
            words >> hi >> scale;
            assignment << std::uniform_int_distribution<int>(std::stoi(first), hi)(gen) * scale;
        } else {
            // One of the words, "-" for nothing; "DATA/" is the test data folder.
            std::vector<std::string> choices{first};
            for (std::string w; words >> w;) choices.push_back(w);
            std::string pick = choices[gen() % choices.size()];
            if (pick == "-") pick.clear();
            if (pick.starts_with("DATA/")) pick = (testing::DataDir() / pick.substr(5)).string();
            assignment << pick;
        }
        EXPECT_TRUE(AssignSetting(s, assignment.str()).ok) << assignment.str();
    }
    if (s.last_frame < s.first_frame) std::swap(s.first_frame, s.last_frame);
    // A point or a volume has no normal: that refusal has tests of its own.
    const auto from = static_cast<EmitFrom>(s.emit_from);
    if (from == EmitFrom::Point || from == EmitFrom::Volume) s.emit_along_normal = 0;
    return s;
}

// What a generation leaves behind: the scene, the generator, the angle and the report.
std::string Generate(Settings s, const TempDir& dir, const std::string& name, EngineState& state,
                     GenerateOptions options, PassHook& hook) {
    SetPathText(s.target_scene, dir.str(name));
    testing::RecordingSink sink;
    const SceneReport report = CreateScene(s, state, sink, hook, options);
    const std::string scene = std::filesystem::exists(dir.path(name)) ? ReadFile(dir.path(name)) : "no file";
    EXPECT_TRUE(scene.find("inf") == std::string::npos && scene.find("nan") == std::string::npos) << name;
    return scene + "\nrandom " + std::to_string(state.random.state()) + " angle " +
           std::to_string(std::bit_cast<std::uint32_t>(state.angle)) + " outcome " +
           std::to_string(static_cast<int>(report.outcome)) + " written " +
           std::to_string(report.objects_written);
}

TEST(ScheduledPasses, MatchTheReferenceByteForByte) {
    std::mt19937 gen(20261206);
    for (int run = 0; run < 50; ++run) {
        EngineState reference_state, scheduled_state;
        for (int generation = 0; generation < 5; ++generation) {
            TempDir dir;
            const Settings s = RandomSettings(gen, dir);
            // One generation in three stops at a random pass start, by a break or an abort.
            const auto action =
                std::array{PassAction::Continue, PassAction::Break, PassAction::Abort}[gen() % 3];
            const std::uint32_t stop_at = gen() % static_cast<std::uint32_t>(s.num_particles);
            testing::ScriptedHook stop1(stop_at, action), stop2(stop_at, action);
            const GenerateOptions scheduled{GenerationPath::Scheduled, 1 + static_cast<unsigned>(gen() % 4)};
            const std::string a =
                Generate(s, dir, "r.lws", reference_state, {GenerationPath::Reference, 1}, stop1);
            ASSERT_EQ(a, Generate(s, dir, "s.lws", scheduled_state, scheduled, stop2))
                << "run " << run << " generation " << generation;
        }
    }
}

// Every key value of every object, bit for bit.
class KeyBits : public KeyReceiver {
  public:
    void Motion(const MotionTable&, const EngineState&) override {}
    void Object(std::uint32_t p, ObjectKeys& keys) override {
        bits += "object " + std::to_string(p) + "\n";
        for (const SceneKey& key : keys) {
            bits += std::to_string(key.frame);
            for (double v : key.value) bits += " " + std::to_string(std::bit_cast<std::uint64_t>(v));
            bits += '\n';
        }
    }
    std::string bits;
};

// A vertical wind of -g moves every particle exactly as a gravity of g does, bounces included, on
// both paths, whatever the other settings and forces: every key value keeps its bits.
TEST(ScheduledPasses, WindDownwardsIsGravityBitForBit) {
    std::mt19937 gen(1712);
    for (int run = 0; run < 80; ++run) {
        TempDir dir;
        Settings gravity = RandomSettings(gen, dir);
        gravity.wind_y = 0.0;
        Settings wind = gravity;
        wind.gravity = 0.0;
        wind.wind_y = -gravity.gravity;
        for (const GenerationPath path : {GenerationPath::Reference, GenerationPath::Scheduled}) {
            KeyBits by_gravity, by_wind;
            for (auto [s, keys] : {std::pair{&gravity, &by_gravity}, std::pair{&wind, &by_wind}}) {
                EngineState state;
                testing::RecordingSink sink;
                testing::ScriptedHook hook;
                ASSERT_EQ(CollectSceneKeys(*s, state, sink, hook, *keys, {path, 2}).outcome,
                          WriteOutcome::Complete);
            }
            ASSERT_EQ(by_gravity.bits, by_wind.bits) << "run " << run << " gravity " << gravity.gravity;
        }
    }
}

}  // namespace
}  // namespace vexo
