// Where the desktop program keeps its last settings, and reading and writing that file.
#include "prefs/session_prefs.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "prefs/prefs_file.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using vexo::testing::TempDir;

TEST(SessionPrefs, FolderFollowsTheXdgRules) {
    const struct {
        const char* xdg;
        const char* home;
        const char* path;
    } cases[] = {
        {"/cfg", "/home/u", "/cfg/vexo/vexo.prefs"},
        {"/cfg/", "/home/u", "/cfg/vexo/vexo.prefs"},
        {nullptr, "/home/u", "/home/u/.config/vexo/vexo.prefs"},
        {"", "/home/u", "/home/u/.config/vexo/vexo.prefs"},
        {"relative/cfg", "/home/u", "/home/u/.config/vexo/vexo.prefs"},  // a relative one is ignored
        {"relative/cfg", "relative/home", ""},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SessionPrefsPath(c.xdg, c.home), c.path)
            << (c.xdg != nullptr ? c.xdg : "(unset)") << " " << (c.home != nullptr ? c.home : "(unset)");
    }
}

// Kept and read back whole; the folders made on the way are the user's alone; a first start
// has nothing to say; what cannot be read or written is said and changes nothing.
TEST(SessionPrefs, KeptReadBackAndFailuresSaid) {
    TempDir dir;
    const std::string path = dir.str("a/b/vexo/vexo.prefs");
    Settings settings = DefaultSettings(), read = DefaultSettings();
    std::string error = "untouched";
    EXPECT_FALSE(LoadSessionPrefs(path, read, &error));
    EXPECT_EQ(error, "");
    settings.num_particles = 1234;
    SetPathText(settings.parent_motion, "/m/emitter.mot");
    ASSERT_TRUE(SaveSessionPrefs(path, settings, &error)) << error;
    for (const char* folder : {"a", "a/b", "a/b/vexo"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.str(folder).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_TRUE(LoadSessionPrefs(path, read, &error));
    EXPECT_EQ(read, settings);

    vexo::testing::WriteFile(path, "not a preferences file");
    read = DefaultSettings();
    EXPECT_FALSE(LoadSessionPrefs(path, read, &error));
    EXPECT_EQ(error, "This is not a VEXO preferences file");
    EXPECT_EQ(read, DefaultSettings());

    vexo::testing::WriteFile(dir.path("file"), "");
    EXPECT_FALSE(LoadSessionPrefs(dir.str("file/vexo.prefs"), read, &error));
    EXPECT_EQ(error, "Not a directory");
    EXPECT_FALSE(SaveSessionPrefs(dir.str("file/vexo/vexo.prefs"), settings, &error));
    EXPECT_EQ(error, "Not a directory");
}

}  // namespace
}  // namespace vexo
