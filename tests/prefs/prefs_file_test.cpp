#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <limits>
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

TEST(PrefsFile, RealsThatAreNotFiniteAreRefusedByName) {
    const std::pair<std::size_t, const char*> fields[] = {{782, "velocity"}, {790, "velocity_variation"},
                                                          {818, "start_size"}, {826, "end_size"},
                                                          {834, "gravity"},    {870, "elasticity"}};
    // Big-endian infinity, minus infinity and a quiet not-a-number.
    const std::string patterns[] = {std::string("\x7f\xf0\0\0\0\0\0\0", 8), std::string("\xff\xf0\0\0\0\0\0\0", 8),
                                    std::string("\x7f\xf8\0\0\0\0\0\0", 8)};
    for (const auto& [offset, name] : fields) {
        for (const std::string& bits : patterns) {
            std::string image = Image(Custom());
            image.replace(offset, 8, bits);
            std::istringstream in(image);
            Settings s = DefaultSettings();
            std::string field;
            EXPECT_EQ(LoadPrefs(in, s, &field), PrefsLoadResult::BadNumber) << name;
            EXPECT_EQ(field, name);
            EXPECT_EQ(s, DefaultSettings()) << "a refused file changes nothing";
        }
    }
    EXPECT_EQ(prefs_text::BadNumber("gravity"), "This preferences file's\ngravity is not a number.");
    // The largest finite double is a number like any other.
    std::string image = Image(Custom());
    image.replace(782, 8, std::string("\x7f\xef\xff\xff\xff\xff\xff\xff", 8));
    std::istringstream in(image);
    Settings s = DefaultSettings();
    EXPECT_EQ(LoadPrefs(in, s), PrefsLoadResult::Loaded);
    EXPECT_EQ(s.velocity, std::numeric_limits<double>::max());
}

// Whatever stands at NAME.new or at another name a save might pick for its temporary file is
// left alone; a symbolic link at NAME itself is followed and stays a link.
TEST(PrefsFile, SavingFollowsNoLinkButTheOneAtTheName) {
    TempDir dir;
    WriteFile(dir.path("victim"), "precious");
    std::filesystem::create_symlink(dir.path("victim"), dir.path("p.prefs.new"));
    std::filesystem::create_symlink(dir.path("victim"), dir.path(".p.prefs.new"));
    std::filesystem::create_symlink(dir.path("made-by-save"), dir.path("p.prefs.tmp"));
    std::string error;
    ASSERT_TRUE(SavePrefsFile(dir.str("p.prefs"), Custom(), &error)) << error;
    EXPECT_EQ(ReadFile(dir.path("p.prefs")), Image(Custom()));
    EXPECT_EQ(ReadFile(dir.path("victim")), "precious");
    const std::string victim = dir.str("victim");
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{".p.prefs.new -> " + victim, "p.prefs",
                                                       "p.prefs.new -> " + victim,
                                                       "p.prefs.tmp -> " + dir.str("made-by-save"), "victim"}));

    WriteFile(dir.path("real.prefs"), "old bytes");
    std::filesystem::create_symlink("real.prefs", dir.path("link.prefs"));
    ASSERT_TRUE(SavePrefsFile(dir.str("link.prefs"), Custom(), &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.prefs")));
    EXPECT_EQ(ReadFile(dir.path("real.prefs")), Image(Custom()));
}

// Only a regular file is ever replaced: a FIFO, a device or a folder at the name is refused and
// stays what it was, and a failed save leaves no file behind.
TEST(PrefsFile, OnlyRegularFilesAreReplaced) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.str("fifo.prefs").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path("folder.prefs"));
    std::filesystem::create_symlink("/dev/null", dir.path("null.prefs"));
    const struct {
        std::string path;
        const char* error;
    } cases[] = {
        {dir.str("fifo.prefs"), "Not a regular file"},
        {"/dev/null", "Not a regular file"},
        {dir.str("null.prefs"), "Not a regular file"},
        {dir.str("folder.prefs"), "Is a directory"},
        {dir.str("missing/x.prefs"), "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(SavePrefsFile(c.path, Custom(), &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("fifo.prefs")));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("folder.prefs")));
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"fifo.prefs", "folder.prefs", "null.prefs -> /dev/null"}));
}

TEST(PrefsFile, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    std::string error;
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
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"full.prefs"});
}

}  // namespace
}  // namespace vexo
