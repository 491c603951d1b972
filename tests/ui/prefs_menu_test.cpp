// "Load preferences..." and "Save preferances as...": the requesters and their memories, the
// bytes written and read, the overwrite question and failed saves.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

std::string Image(const Settings& s) {
    const SettingsImage image = EncodeSettings(s);
    return std::string(image.begin(), image.end());
}

class PrefsMenuTest : public UiTest {};

TEST_F(PrefsMenuTest, SaveThenLoadGivesBackTheSameBytes) {
    Script("save_load");
    EXPECT_EQ(ReadFile(dir.path("a.prefs")), Image(current_prefs));
}

TEST_F(PrefsMenuTest, LoadingTakesOnlyAPreferencesFile) {
    Settings full = DefaultSettings();
    full.num_particles = 0x01020304;  // beyond byte 100: must not arrive
    SetPathText(full.particle_object, "short/object.lwo");
    WriteFile(dir.path("short.prefs"), Image(full).substr(0, 100));
    Script("loading");
}

// The save is written beside the old file and renamed over it: a second name for the old file
// keeps the old bytes.
TEST_F(PrefsMenuTest, SavingReplacesTheOldFileWhole) {
    WriteFile(dir.path("old.prefs"), "old bytes");
    ASSERT_EQ(::link(dir.str("old.prefs").c_str(), dir.str("link.prefs").c_str()), 0);
    Script("saving");
    EXPECT_EQ(ReadFile(dir.path("old.prefs")), Image(DefaultSettings()));
    EXPECT_EQ(ReadFile(dir.path("link.prefs")), "old bytes");
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"link.prefs", "old.prefs"}));
}

// Typed into the real requester after a click at the end of the suggested name.
TEST_F(PrefsMenuTest, ATypedPathReplacesTheSuggestedName) {
    Script("typed_prefs_paths");
    const std::string saved = Image(current_prefs);
    EXPECT_EQ(ReadFile(dir.path("p2.prefs")), saved);
    EXPECT_EQ(ReadFile(dir.path("abs/p3.prefs")), saved);
    EXPECT_EQ(ReadFile(dir.path("abs/sub/p4.prefs")), saved);
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"abs", "p2.prefs"}));
}

TEST_F(PrefsMenuTest, AFailedSaveSaysSoAndKeepsWhatWasThere) {
    ASSERT_EQ(::mkfifo(dir.str("keep.prefs").c_str(), 0600), 0);
    const int reader =
        ::open(dir.str("keep.prefs").c_str(), O_RDONLY | O_NONBLOCK);  // a writer must not hang
    Script("failed_save");
    ::close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("keep.prefs")));
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"keep.prefs"});
}

}  // namespace
}  // namespace vexo::uitest
