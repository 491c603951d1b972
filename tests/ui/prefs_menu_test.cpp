#include <sys/stat.h>

#include <filesystem>

#include "tests/ui/ui_test_support.hpp"
#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
using vexo::testing::ReadFile;
using vexo::testing::WriteFile;

constexpr long kOk = 1, kCancel = 0;
constexpr int kLoadItem = 0, kSaveItem = 1;

Step Quit() { return CloseWindowOf(&VEXOWnd); }

std::string Image(const Settings& s) {
    const SettingsImage image = EncodeSettings(s);
    return std::string(image.begin(), image.end());
}

class PrefsMenuTest : public UiTest {
protected:
    std::string Drawer() const { return dir.path("x").parent_path().string(); }
};

TEST_F(PrefsMenuTest, SaveThenLoadGivesBackTheSameBytes) {
    Settings saved;
    Run({Type(Main(), GD_num_particles, "321"), Type(Main(), GD_velocity, "1.25"), Click(Main(), GD_particle_grow),
         Do([&saved] {
             SetPathText(current_prefs.target_scene, "Scenes/out.lws");
             current_prefs.gravity = 9.81;
             saved = current_prefs;
         }),
         PickMenu(kSaveItem), Do([] { current_prefs = DefaultSettings(); }), PickMenu(kLoadItem), Do([] {
             EXPECT_EQ(Shown(Main()[GD_num_particles]), "321");
             EXPECT_EQ(Shown(Main()[GD_target_scene]), "Scenes/out.lws");
             EXPECT_TRUE(Enabled(Main()[GD_end_size]));
         }),
         Quit()},
        {kOk}, {{false, Drawer(), "a.prefs"}, {false, Drawer(), "a.prefs"}});
    EXPECT_EQ(Image(current_prefs), Image(saved));
    EXPECT_EQ(ReadFile(dir.path("a.prefs")), Image(saved));
    const auto& requests = pt::FileRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].title, "Save VEXO prefs file");
    EXPECT_TRUE(requests[0].save_mode);
    EXPECT_EQ(requests[1].title, "Select VEXO prefs file");
    EXPECT_FALSE(requests[1].save_mode);
    EXPECT_EQ(requests[1].initial_drawer, Drawer());  // the load offers the file just saved
    EXPECT_EQ(requests[1].initial_file, "a.prefs");
    EXPECT_TRUE(requests[1].reject_icons && requests[1].sleep_window && requests[1].window_set);
    EXPECT_EQ(requests[1].width, 300);
    EXPECT_EQ(requests[1].height, 400);
}

TEST_F(PrefsMenuTest, AShortFileReplacesOnlyItsBytes) {
    Settings full = DefaultSettings();
    full.num_particles = 0x01020304;  // beyond byte 100: must not arrive
    SetPathText(full.particle_object, "short/object.lwo");
    WriteFile(dir.path("short.prefs"), Image(full).substr(0, 100));
    Run({Do([] { current_prefs.num_particles = 77; }), PickMenu(kLoadItem), Quit()}, {kOk},
        {{false, Drawer(), "short.prefs"}});
    EXPECT_EQ(PathText(current_prefs.particle_object), "short/object.lwo");
    EXPECT_EQ(current_prefs.num_particles, 77);
}

TEST_F(PrefsMenuTest, AForeignFileIsRefusedButTheGadgetsAreRefreshed) {
    WriteFile(dir.path("scene.lws"), "LWSC\n1\n\nFirstFrame 1\n");
    WriteFile(dir.path("tiny"), "VEX");
    Run({Do([] { current_prefs.num_particles = 55; }), PickMenu(kLoadItem), Do([] {
             EXPECT_EQ(current_prefs.num_particles, 55);
             EXPECT_EQ(Shown(Main()[GD_num_particles]), "55");
         }),
         PickMenu(kLoadItem), PickMenu(kLoadItem), PickMenu(kLoadItem), Quit()},
        {kOk, kOk, kOk},
        {{false, Drawer(), "scene.lws"}, {false, Drawer(), "tiny"}, {true, "", ""}, {false, Drawer(), "none.prefs"}});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"This is not a VEXO\npreferences file...",
                                                 "This is not a VEXO\npreferences file...",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(current_prefs.num_particles, 55);
}

TEST_F(PrefsMenuTest, ACancelledLoadStillRefreshesTheGadgets) {
    Run({Do([] { current_prefs.lifespan = 12; }), PickMenu(kLoadItem),
         Do([] { EXPECT_EQ(Shown(Main()[GD_lifespan]), "12"); }), Do([] { pt::FailNextAslRequest(); }),
         Do([] { current_prefs.lifespan = 13; }), PickMenu(kLoadItem),
         Do([] { EXPECT_EQ(Shown(Main()[GD_lifespan]), "13"); }), Quit()},
        {kOk}, {{true, "", ""}});
}

TEST_F(PrefsMenuTest, TheOverwriteQuestionProtectsTheOldFile) {
    WriteFile(dir.path("old.prefs"), "old bytes");
    Run({PickMenu(kSaveItem), Do([this] { EXPECT_EQ(ReadFile(dir.path("old.prefs")), "old bytes"); }),
         PickMenu(kSaveItem), Quit()},
        {kCancel, kOk, kOk}, {{false, Drawer(), "old.prefs"}, {false, Drawer(), "old.prefs"}});
    EXPECT_EQ(Texts()[0], "Preferences file already\nexists.\n\n" + dir.str("old.prefs") + "\n\nOverwrite?");
    EXPECT_EQ(pt::Requesters()[0].buttons, "Ok|Cancel");
    EXPECT_EQ(pt::FileRequests()[1].initial_drawer, Drawer());  // cancelling kept the memories
    EXPECT_EQ(pt::FileRequests()[1].initial_file, "old.prefs");
    EXPECT_EQ(ReadFile(dir.path("old.prefs")), Image(DefaultSettings()));
}

// A FIFO at the chosen name is neither waited on nor replaced: the save says it failed.
TEST_F(PrefsMenuTest, AFailedSaveSaysSoAndKeepsWhatWasThere) {
    ASSERT_EQ(::mkfifo(dir.str("keep.prefs").c_str(), 0600), 0);
    Run({PickMenu(kSaveItem), Do([] { pt::FailNextAslRequest(); }), PickMenu(kSaveItem), Quit()}, {kOk, kOk, kOk},
        {{false, Drawer(), "keep.prefs"}});
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Preferences file already\nexists.\n\n" + dir.str("keep.prefs") + "\n\nOverwrite?",
                           "Could not save the\npreferences file.", "Are you sure you want\nto quit VEXO?"}));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("keep.prefs")));
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"keep.prefs"});
}

TEST_F(PrefsMenuTest, AnOverlongPathEndsTheCommand) {
    Run({Do([] { current_prefs.lifespan = 5; }), PickMenu(kLoadItem), PickMenu(kSaveItem), Quit()},
        {kOk, kOk, kOk}, {{false, "/" + std::string(250, 'd'), "p.prefs"}, {false, "/" + std::string(250, 'd'), "q.prefs"}});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Filename overflow", "Filename overflow",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(current_prefs.lifespan, 5);
}

}  // namespace
}  // namespace vexo::uitest
