// Key values and settings images of the cases in tests/data compared byte for byte with files kept
// in tests/data/golden. When a change is meant to alter them, rerun with VEXO_UPDATE_GOLDEN=1 and
// review the diff of the golden files.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/generation/reference_passes.hpp"
#include "engine/generation/scheduled_passes.hpp"
#include "engine/motion/motion_file.hpp"
#include "prefs/prefs_file.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

template <class... Values>
std::string Format(const char* format, Values... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Every key value of every object in "%a", on one generation path: the scene's "%f" hides the
// last bits, where a fused multiply-add and a plain multiply and add differ.
std::string KeyBits(const Settings& s, EngineState& state, GenerationPath path) {
    testing::RecordingSink sink;
    const std::optional<MotionTable> table = GetMotionFile(s, sink, state);
    if (!table) return "no motion";
    SceneMeshes meshes;
    std::string role;
    if (LoadSceneMeshes(s, meshes, sink, role) == MeshLoad::Refused) return sink.messages.at(0) + "\n";
    const auto count = static_cast<std::uint32_t>(s.num_particles);
    Simulation sim;
    sim.ChildArray.assign(count, Particle{.delay = s.creation_delay});
    meshes.Attach(sim);
    ReferencePasses reference(*table, s, state, sim);
    ScheduledPasses scheduled(*table, s, state, kDefaultFramesPerSecond, &meshes);
    scheduled.BuildSchedule();
    std::string out;
    for (std::uint32_t p = 0; p < count; ++p) {
        Block block;
        const BlockStyle style{BlockForm::Keys, "", 9, std::numeric_limits<double>::max(), 30, {}};
        BlockBuilder builder(block, style);
        path == GenerationPath::Reference ? reference.RecordBlock(p, builder)
                                          : scheduled.RecordBlock(p, builder);
        out += "object " + std::to_string(p) + "\n";
        for (const SceneKey& key : block.keys) {
            out += std::to_string(key.frame);
            for (double v : key.value) out += Format(" %a", v);
            out += '\n';
        }
    }
    if (path == GenerationPath::Scheduled) scheduled.FinishState(count, state);
    return out + Format("angle %a random %u\n", static_cast<double>(state.angle), state.random.state());
}

// Every case of tests/data/key_bits_cases.txt (field=value lines, "DATA/" standing for the
// test data folder; "generations=N" runs the settings N times in one program run; "motion=NAME"
// takes another motion from tests/data), by
// default on the emitter_pitched motion, which starts away from the origin, rises and falls,
// turns and pitches both ways. Both paths must give the same bits. Together the cases exercise
// every named fused multiply-add (the range draw, the bounce, the radial distance and placement,
// the oversampled position) and every option.
TEST(Golden, KeyBitsOnBothPaths) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("key_bits_cases.txt")) {
        Settings s = DefaultSettings();
        SetPathText(s.parent_motion, (testing::DataDir() / "emitter_pitched.mot").string());
        int generations = 1;
        for (const std::string& line : c.lines) {
            if (line.rfind("generations=", 0) == 0) generations = std::stoi(line.substr(12));
            if (line.rfind("motion=", 0) == 0)
                SetPathText(s.parent_motion, (testing::DataDir() / line.substr(7)).string());
            std::string assignment = line;  // "DATA/" in a value is the test data folder
            if (const auto data = assignment.find("=DATA/"); data != std::string::npos)
                assignment.replace(data + 1, 5, testing::DataDir().string() + "/");
            const bool ok = line.rfind("generations=", 0) == 0 || line.rfind("motion=", 0) == 0 ||
                            AssignSetting(s, assignment).ok;
            ASSERT_TRUE(ok) << c.name << ": " << line;
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

// The preferences file of each case of tests/data/settings_image_cases.txt (the 880-byte image
// and, when a shape or force is set, the extension), as rows of 16 bytes (rows of zeros left
// out), and loaded back to the same settings.
TEST(Golden, SettingsImages) {
    std::string all;
    for (const testing::TextCase& c : testing::ReadCases("settings_image_cases.txt")) {
        Settings s = DefaultSettings();
        for (const std::string& line : c.lines) ASSERT_TRUE(AssignSetting(s, line).ok) << line;
        const std::string image = PrefsFileBytes(s);
        std::istringstream in(image);
        Settings loaded = DefaultSettings();
        loaded.spin = 1;  // a file without the extension must set the shapes and forces too
        ASSERT_EQ(LoadPrefs(in, loaded), PrefsLoadResult::Loaded) << c.name;
        EXPECT_EQ(loaded, s) << c.name;
        all += c.name + " (" + std::to_string(image.size()) + " bytes)\n";
        for (std::size_t row = 0; row < image.size(); row += 16) {
            std::string hex;
            for (std::size_t i = row; i < std::min(row + 16, image.size()); ++i)
                hex += Format(" %02x", static_cast<unsigned char>(image[i]));
            if (hex.find_first_not_of(" 0") != std::string::npos)
                all += std::to_string(row) + ":" + hex + "\n";
        }
    }
    EXPECT_TRUE(testing::MatchesGolden(all, "settings_image.txt"));
}

}  // namespace
}  // namespace vexo
