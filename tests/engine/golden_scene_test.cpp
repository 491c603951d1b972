#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/generation/scheduled_passes.hpp"
#include "prefs/settings_text.hpp"
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
        BlockBuilder builder(block, false, "", 9, std::numeric_limits<double>::max());
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

// Every case of tests/data/key_bits_cases.txt (field=value lines; "generations=N" runs the
// settings N times in one program run; "motion=NAME" takes another motion from tests/data),
// by default on the emitter_pitched motion, which starts away from
// the origin, rises and falls, turns and pitches both ways. Both paths must give the same bits.
// Together the cases exercise every named fused multiply-add (the range draw, the bounce, the
// radial distance and placement, the oversampled position) and every option.
TEST_F(GoldenFixture, KeyBitsOnBothPaths) {
    std::istringstream cases(ReadFile(DataDir() / "key_bits_cases.txt"));
    std::string all, line;
    std::getline(cases, line);
    while (!line.empty()) {
        const std::string name = line;
        Settings s = Base();
        SetPathText(s.parent_motion, (DataDir() / "emitter_pitched.mot").string());
        int generations = 1;
        while (std::getline(cases, line) && line.rfind("=== ", 0) != 0) {
            if (line.rfind("generations=", 0) == 0) {
                generations = std::stoi(line.substr(12));
                continue;
            }
            if (line.rfind("motion=", 0) == 0) {
                SetPathText(s.parent_motion, (DataDir() / line.substr(7)).string());
                continue;
            }
            const AssignResult r = AssignSetting(s, line);
            ASSERT_TRUE(r.ok) << name << ": " << r.error;
        }
        if (!cases) line.clear();
        EngineState reference_state, scheduled_state;
        for (int g = 0; g < generations; ++g) {
            const std::string reference = KeyBits(s, reference_state, GenerationPath::Reference);
            EXPECT_EQ(reference, KeyBits(s, scheduled_state, GenerationPath::Scheduled)) << name;
            all += name + "\n" + reference;
        }
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "key_bits.txt"));
}

}  // namespace
}  // namespace vexo
