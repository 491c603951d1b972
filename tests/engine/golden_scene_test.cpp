// Scenes, key values and settings images compared byte for byte with files kept in
// tests/data/golden. When a change is meant to alter them, rerun with VEXO_UPDATE_GOLDEN=1 and
// review the diff of the golden files.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <optional>

#include "engine/create_scene.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/generation/scheduled_passes.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedHook;
using testing::TempDir;

struct GoldenFixture : ::testing::Test {
    Settings Base(const char* motion = "emitter_v1.mot") {
        Settings s = DefaultSettings();
        SetPathText(s.particle_object, "Objects/spark.lwo");
        SetPathText(s.parent_motion, (DataDir() / motion).string());
        SetPathText(s.target_scene, dir.str("scene.lws"));
        return s;
    }
    TempDir dir;
};

TEST_F(GoldenFixture, OversampledStreamTwoGenerations) {
    Settings s = Base();
    for (const char* line : {"num_particles=8", "particles_per_frame=1", "velocity=1.5", "velocity_variation=100",
                             "pitch_spread=180", "oversampling=on", "gravity=-2", "limited_lifespan=on", "lifespan=5",
                             "end_behavior=Recycle"}) {
        ASSERT_TRUE(AssignSetting(s, line).ok) << line;
    }
    EngineState state;
    std::string scenes;
    for (int generation = 0; generation < 2; ++generation) {
        RecordingSink sink;
        ScriptedHook hook;
        EXPECT_EQ(CreateScene(s, state, sink, hook).outcome, WriteOutcome::Complete);
        scenes += ReadFile(dir.path("scene.lws"));
        s.linear_path = 0;  // the second continues the generator and the radial angle
        s.radial_creation = kFlagTicked;
    }
    EXPECT_TRUE(testing::MatchesGolden(scenes, "oversampled_two_generations.lws"));
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
    char text[64];
    for (std::uint32_t p = 0; p < count; ++p) {
        Block block;
        BlockBuilder builder(block, false, "", 9, std::numeric_limits<double>::max());
        if (reference) reference->RecordBlock(p, builder);
        if (scheduled) scheduled->RecordBlock(p, builder);
        out += "object " + std::to_string(p) + "\n";
        for (const SceneKey& key : block.keys) {
            out += std::to_string(key.frame);
            for (double v : key.value) {
                std::snprintf(text, sizeof text, " %a", v);
                out += text;
            }
            out += '\n';
        }
    }
    if (scheduled) scheduled->FinishState(count, state);
    std::snprintf(text, sizeof text, "angle %a random %u\n", static_cast<double>(state.angle), state.random.state());
    return out + text;
}

// Every case of tests/data/key_bits_cases.txt (field=value lines; "generations=N" runs the
// settings N times in one program run; "motion=NAME" takes another motion from tests/data), by
// default on the emitter_pitched motion, which starts away from the origin, rises and falls,
// turns and pitches both ways. Both paths must give the same bits. Together the cases exercise
// every named fused multiply-add (the range draw, the bounce, the radial distance and placement,
// the oversampled position) and every option.
TEST_F(GoldenFixture, KeyBitsOnBothPaths) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("key_bits_cases.txt")) {
        Settings s = Base("emitter_pitched.mot");
        int generations = 1;
        for (const std::string& line : c.lines) {
            if (line.rfind("generations=", 0) == 0) {
                generations = std::stoi(line.substr(12));
            } else if (line.rfind("motion=", 0) == 0) {
                SetPathText(s.parent_motion, (DataDir() / line.substr(7)).string());
            } else {
                const AssignResult r = AssignSetting(s, line);
                ASSERT_TRUE(r.ok) << c.name << ": " << r.error;
            }
        }
        EngineState reference_state, scheduled_state;
        for (int g = 0; g < generations; ++g) {
            const std::string reference = KeyBits(s, reference_state, GenerationPath::Reference);
            EXPECT_EQ(reference, KeyBits(s, scheduled_state, GenerationPath::Scheduled)) << c.name;
            all += c.name + "\n" + reference;
        }
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "key_bits.txt"));
}

// The 880-byte image of each case of tests/data/settings_image_cases.txt, as rows of 16 bytes
// (rows of zeros left out), and decoded back to the same record.
TEST_F(GoldenFixture, SettingsImages) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("settings_image_cases.txt")) {
        Settings s = DefaultSettings();
        for (const std::string& line : c.lines) ASSERT_TRUE(AssignSetting(s, line).ok) << line;
        const SettingsImage image = EncodeSettings(s);
        EXPECT_EQ(DecodeSettings(image), s) << c.name;
        all += c.name + "\n";
        char text[8];
        for (std::size_t row = 0; row < image.size(); row += 16) {
            std::string hex;
            bool any = false;
            for (std::size_t i = row; i < row + 16 && i < image.size(); ++i) {
                std::snprintf(text, sizeof text, " %02x", image[i]);
                hex += text;
                any = any || image[i] != 0;
            }
            if (any) all += std::to_string(row) + ":" + hex + "\n";
        }
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "settings_image.txt"));
}

}  // namespace
}  // namespace vexo
