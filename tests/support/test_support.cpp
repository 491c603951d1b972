#include "tests/support/test_support.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "prefs/settings_text.hpp"

namespace vexo::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::vector<std::string> TempDir::Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        std::string name = entry.path().filename().string();
        if (entry.is_symlink()) name += " -> " + std::filesystem::read_symlink(entry.path()).string();
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::filesystem::path DataDir() {
    return VEXO_TEST_DATA_DIR;
}

bool UpdatingGoldens() {
    const char* update = std::getenv("VEXO_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

::testing::AssertionResult MatchesGolden(const std::string& actual, const std::string& golden_name) {
    const std::filesystem::path golden = DataDir() / "golden" / golden_name;
    if (UpdatingGoldens()) {
        WriteFile(golden, actual);
        return ::testing::AssertionSuccess();
    }
    if (!std::filesystem::exists(golden)) {
        return ::testing::AssertionFailure() << "no golden file " << golden;
    }
    const std::string expected = ReadFile(golden);
    if (expected == actual) return ::testing::AssertionSuccess();
    const std::filesystem::path beside = golden.string() + ".actual";
    WriteFile(beside, actual);
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return ::testing::AssertionFailure()
           << golden_name << " differs at byte " << at << " (expected " << expected.size() << " bytes, got "
           << actual.size() << "); actual bytes written to " << beside;
}

int Run(const std::string& command, std::string* output) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    std::string text;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
    const int status = ::pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

::testing::AssertionResult PassesValidator(const std::string& file) {
    std::string output;
    const int status = Run(std::string("node '") + VEXO_GLTF_VALIDATOR + "' '" + file + "'", &output);
    if (status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "glTF validator (exit " << status << ", see scripts/install-deps):\n"
           << output;
}

std::unique_ptr<MotionRead> ReadText(const std::string& text) {
    auto read = std::make_unique<MotionRead>();
    std::istringstream in(text);
    read->table = ReadMotion(in, read->sink, read->state);
    return read;
}

Settings SceneSettings(const TempDir& dir, const std::string& motion_text) {
    WriteFile(dir.path("motion.mot"), motion_text);
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "particle.lwo");
    SetPathText(s.parent_motion, dir.str("motion.mot"));
    SetPathText(s.target_scene, dir.str("scene.lws"));
    return s;
}

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
    Settings s = SceneSettings(dir, motion.str());
    std::istringstream ranges(ReadFile(DataDir() / "random_settings.txt"));
    std::string name;
    for (int lo, hi; ranges >> name >> lo >> hi;) {
        double scale = 1;
        ranges >> scale;
        std::ostringstream assignment;
        assignment << name << '=' << std::uniform_int_distribution<int>(lo, hi)(gen) * scale;
        EXPECT_TRUE(AssignSetting(s, assignment.str()).ok) << assignment.str();
    }
    if (s.last_frame < s.first_frame) std::swap(s.first_frame, s.last_frame);
    return s;
}

}  // namespace vexo::testing

// The leak checker's suppressions, built into every test program (an environment variable would
// not reach tests discovered with a list of properties). fontconfig keeps a few bytes for the
// whole process when the batch tool's QGuiApplication, made once for the pictures, is never torn
// down.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
