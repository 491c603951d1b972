#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "prefs/prefs_file.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

Settings Custom() {
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "Objects/drop.lwo");
    SetPathText(s.parent_motion, "Motions/fountain.mot");
    SetPathText(s.target_scene, "Scenes/out.lws");
    s.num_particles = 500;
    s.gravity = 9.81;
    s.linear_path = 0;
    s.ground_bounce = kFlagTicked;
    s.heading_angle = -45;
    return s;
}

std::string Image(const Settings& s) {
    const SettingsImage image = EncodeSettings(s);
    return std::string(image.begin(), image.end());
}

TEST(PrefsFile, SaveThenLoadGivesBackTheSameBytes) {
    TempDir dir;
    WriteFile(dir.path("a.prefs"), "old bytes");
    const Settings saved = Custom();
    std::string error;
    ASSERT_TRUE(SavePrefsFile(dir.str("a.prefs"), saved, &error)) << error;
    EXPECT_EQ(ReadFile(dir.path("a.prefs")), Image(saved));
    EXPECT_FALSE(std::filesystem::exists(dir.path("a.prefs.new")));
    Settings loaded = DefaultSettings();
    EXPECT_EQ(LoadPrefsFile(dir.str("a.prefs"), loaded), PrefsLoadResult::Loaded);
    EXPECT_EQ(Image(loaded), Image(saved));
}

TEST(PrefsFile, EveryLengthLoadsOnlyTheBytesItHolds) {
    const std::string full = Image(Custom());
    const std::string before = Image(DefaultSettings());
    for (std::size_t length = 0; length <= full.size() + 20; ++length) {
        std::string file = full.substr(0, std::min(length, full.size()));
        if (length > full.size()) file += std::string(length - full.size(), 'x');
        Settings s = DefaultSettings();
        std::istringstream in(file);
        const PrefsLoadResult result = LoadPrefs(in, s);
        if (length < 4) {
            EXPECT_EQ(result, PrefsLoadResult::NotPrefs) << length;
            EXPECT_EQ(Image(s), before);
            continue;
        }
        ASSERT_EQ(result, PrefsLoadResult::Loaded) << length;
        const std::size_t kept = std::min(length, full.size());
        EXPECT_EQ(Image(s), full.substr(0, kept) + before.substr(kept)) << length;
    }
}

// A file is a preferences file only if all four bytes of the signature match.
TEST(PrefsFile, ForeignFilesChangeNothing) {
    const Settings start = Custom();
    std::vector<std::string> foreign = {"LWSC\n1\n\nFirstFrame 1\n", "VEX", "vexo" + std::string(876, '\0')};
    for (std::size_t i = 0; i < 4; ++i) {
        for (char delta : {'\x01', '\x20'}) {
            std::string image = Image(DefaultSettings());
            image[i] = static_cast<char>(image[i] ^ delta);
            foreign.push_back(image);
        }
    }
    for (const std::string& text : foreign) {
        Settings s = start;
        std::istringstream in(text);
        EXPECT_EQ(LoadPrefs(in, s), PrefsLoadResult::NotPrefs) << text.substr(0, 4);
        EXPECT_EQ(s, start);
    }
    Settings s = start;
    EXPECT_EQ(LoadPrefsFile("/nonexistent/x.prefs", s), PrefsLoadResult::CannotOpen);
    EXPECT_EQ(s, start);
}

TEST(PrefsFile, AFailedSaveKeepsTheOldFile) {
    TempDir dir;
    WriteFile(dir.path("keep.prefs"), "old bytes");
    std::filesystem::create_directory(dir.path("keep.prefs.new"));  // the new file cannot be made
    std::string error;
    EXPECT_FALSE(SavePrefsFile(dir.str("keep.prefs"), Custom(), &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(ReadFile(dir.path("keep.prefs")), "old bytes");

    EXPECT_FALSE(SavePrefsFile(dir.str("missing/x.prefs"), Custom(), &error));
    EXPECT_EQ(error, "No such file or directory");

    // The rename fails: a folder holds the name.
    std::filesystem::create_directories(dir.path("folder.prefs/inside"));
    EXPECT_FALSE(SavePrefsFile(dir.str("folder.prefs"), Custom(), &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("folder.prefs/inside")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("folder.prefs.new")));

    // The write or its flush fails: files may not grow past 100 bytes.
    WriteFile(dir.path("full.prefs"), "old bytes");
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved_ok = SavePrefsFile(dir.str("full.prefs"), Custom(), &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(ReadFile(dir.path("full.prefs")), "old bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.path("full.prefs.new")));
}

}  // namespace
}  // namespace vexo
