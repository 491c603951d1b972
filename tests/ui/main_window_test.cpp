#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "tests/ui/ui_test_support.hpp"
#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
using vexo::testing::WriteFile;

constexpr long kOk = 1, kCancel = 0;

Step Quit() { return CloseWindowOf(&VEXOWnd); }

class MainWindowTest : public UiTest {};

TEST_F(MainWindowTest, StartUpOpensTheWindowAndShutsDownInReverse) {
    Run({Do([] {
             ASSERT_NE(VEXOWnd, nullptr);
             QWidget* top = pt::WindowWidget(VEXOWnd);
             EXPECT_EQ(top->windowTitle().toStdString(), "Vexo");
             EXPECT_EQ(top->pos(), QPoint(86, 49));
             EXPECT_EQ(VEXOWnd->Width, 510);
             EXPECT_EQ(VEXOWnd->Height, 337 + 11);
             EXPECT_EQ(pt::ScreenLockCount(), 1);
             // Gadgets sit at their table positions plus the border offsets (4, 11).
             EXPECT_EQ(pt::GadgetWidget(Main()[GD_particle_object])->geometry(), QRect(152, 33, 311, 16));
             EXPECT_EQ(pt::GadgetWidget(Main()[GD_generate])->geometry(), QRect(16, 319, 90, 19));
             EXPECT_EQ(pt::GadgetWidget(Main()[GD_get_scene])->geometry(), QRect(465, 68, 20, 14));
             // Initial states: the dependent gadgets are disabled; the defaults are shown.
             EXPECT_FALSE(Enabled(Main()[GD_lifespan]));
             EXPECT_FALSE(Enabled(Main()[GD_end_behavior]));
             EXPECT_FALSE(Enabled(Main()[GD_creation_delay]));
             EXPECT_FALSE(Enabled(Main()[GD_end_size]));
             EXPECT_TRUE(Enabled(Main()[GD_num_particles]));
             EXPECT_EQ(Shown(Main()[GD_velocity]), "0.000000");
             EXPECT_EQ(Shown(Main()[GD_velocity_variation]), "0.000000");
             EXPECT_EQ(Shown(Main()[GD_start_size]), "1.000000");
             EXPECT_EQ(Shown(Main()[GD_end_size]), "1.000000");
             EXPECT_EQ(Shown(Main()[GD_num_particles]), "0");
         }),
         Quit(), Quit()},
        {kCancel, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Are you sure you want\nto quit VEXO?",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(pt::Requesters()[0].title, "VEXO Message");
    EXPECT_EQ(pt::Requesters()[0].buttons, "Ok|Cancel");
    EXPECT_EQ(pt::LibraryLog(),
              (std::vector<std::string>{"open intuition.library", "open graphics.library", "open gadtools.library",
                                        "open utility.library", "open asl.library", "close asl.library",
                                        "close utility.library", "close gadtools.library", "close graphics.library",
                                        "close intuition.library"}));
    EXPECT_EQ(VEXOWnd, nullptr);
    EXPECT_EQ(VEXOGList, nullptr);
    EXPECT_EQ(Scr, nullptr);
}

TEST_F(MainWindowTest, AnOldAslLibraryEndsTheProgramAtOnce) {
    pt::SetLibraryVersion("asl.library", 37);
    Run({});
    EXPECT_EQ(pt::LibraryLog(),
              (std::vector<std::string>{"open intuition.library", "open graphics.library", "open gadtools.library",
                                        "open utility.library", "fail asl.library", "close utility.library",
                                        "close gadtools.library", "close graphics.library", "close intuition.library"}));
}

TEST_F(MainWindowTest, FailedSetUpGoesStraightToTheTeardown) {
    pt::FailNextLockPubScreen();
    Run({});
    pt::FailNextVisualInfo();
    Run({});
    pt::FailGadgetNumber(5);  // the second file button
    Run({});
    EXPECT_EQ(VEXOGList, nullptr);
    pt::FailNextOpenWindow();
    Run({});
    EXPECT_EQ(VEXOMenus, nullptr);
    EXPECT_TRUE(pt::Requesters().empty());
}

TEST_F(MainWindowTest, IntegerGadgetsRefuseNegativeNumbers) {
    Run({Type(Main(), GD_num_particles, "-3"), Do([] {
             EXPECT_EQ(current_prefs.num_particles, 0);
             EXPECT_EQ(Shown(Main()[GD_num_particles]), "0");  // the stored value is shown again
         }),
         Type(Main(), GD_num_particles, "250"), Type(Main(), GD_particles_per_frame, "-1"),
         Type(Main(), GD_particles_per_frame, "0"), Click(Main(), GD_limited_lifespan), Type(Main(), GD_lifespan, "-9"),
         Type(Main(), GD_lifespan, "48"), Click(Main(), GD_use_creation_delay), Type(Main(), GD_creation_delay, "-2"),
         Type(Main(), GD_creation_delay, "5"), Quit()},
        {kOk, kOk, kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Cannot have a negative\nnumber of particles...\n\nPlease re-enter.",
                           "Cannot have a negative\nnumber of particles per frame...\n\nPlease re-enter.",
                           "Cannot have a negative\nparticles lifespan...\n\nPlease re-enter.",
                           "Cannot have a negative\ncreation delay...\n\nPlease re-enter.",
                           "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(pt::Activations(), (std::vector<std::string>{"Vexo:6", "Vexo:7", "Vexo:8", "Vexo:13"}));
    EXPECT_EQ(current_prefs.num_particles, 250);
    EXPECT_EQ(current_prefs.particles_per_frame, 0);
    EXPECT_EQ(current_prefs.lifespan, 48);
    EXPECT_EQ(current_prefs.creation_delay, 5);
}

TEST_F(MainWindowTest, DecimalGadgetsTakeOnlyNumbers) {
    std::deque<Step> steps;
    for (const char* bad : {"1.2.3", ".5", "fast", "", "+1", "1e3"}) steps.push_back(Type(Main(), GD_velocity, bad));
    steps.push_back(Do([] { EXPECT_EQ(current_prefs.velocity, 0.0); }));
    steps.push_back(Type(Main(), GD_velocity, "-2.5"));
    steps.push_back(Do([] { EXPECT_EQ(current_prefs.velocity, -2.5); }));
    steps.push_back(Type(Main(), GD_velocity_variation, "20."));
    steps.push_back(Type(Main(), GD_start_size, "-"));
    steps.push_back(Click(Main(), GD_particle_grow));
    steps.push_back(Type(Main(), GD_end_size, "0.25"));
    steps.push_back(Quit());
    Run(steps, {kOk, kOk, kOk, kOk, kOk, kOk, kOk});
    ASSERT_EQ(Texts().size(), 7u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Texts()[i], "This is not a number.\n\nPlease re-enter.");
    EXPECT_EQ(current_prefs.velocity_variation, 20.0);
    EXPECT_EQ(current_prefs.start_size, 0.0);
    EXPECT_EQ(current_prefs.end_size, 0.25);
}

TEST_F(MainWindowTest, CheckBoxesStoreTheSelectedBitAndEnableTheirGadgets) {
    Run({Click(Main(), GD_limited_lifespan), Do([] {
             EXPECT_EQ(current_prefs.limited_lifespan, 128);
             EXPECT_TRUE(Enabled(Main()[GD_lifespan]));
             EXPECT_TRUE(Enabled(Main()[GD_end_behavior]));
             EXPECT_EQ(EncodeSettings(current_prefs)[843], 0x80);
         }),
         Choose(Main(), GD_end_behavior, 1), Do([] { EXPECT_EQ(current_prefs.end_behavior, 1); }),
         Click(Main(), GD_limited_lifespan), Do([] {
             EXPECT_EQ(current_prefs.limited_lifespan, 0);
             EXPECT_FALSE(Enabled(Main()[GD_lifespan]));
             EXPECT_FALSE(Enabled(Main()[GD_end_behavior]));
         }),
         Click(Main(), GD_use_creation_delay), Do([] { EXPECT_TRUE(Enabled(Main()[GD_creation_delay])); }),
         Click(Main(), GD_particle_grow), Do([] {
             EXPECT_EQ(current_prefs.particle_grow, 128);
             EXPECT_TRUE(Enabled(Main()[GD_end_size]));
         }),
         Quit()},
        {kOk});
    EXPECT_EQ(current_prefs.use_creation_delay, 128);
}

TEST_F(MainWindowTest, SetDialogueValsShowsTheRecord) {
    Run({Do([] {
             current_prefs.limited_lifespan = 128;
             current_prefs.lifespan = 77;
             current_prefs.end_behavior = 0;
             current_prefs.velocity = 9.81;
             SetPathText(current_prefs.parent_motion, "Motions/jet.mot");
             SetDialogueVals(0);
             EXPECT_TRUE(Enabled(Main()[GD_lifespan]));
             EXPECT_TRUE(Enabled(Main()[GD_end_behavior]));
             EXPECT_TRUE(Checked(Main()[GD_limited_lifespan]));
             EXPECT_EQ(Shown(Main()[GD_lifespan]), "77");
             EXPECT_EQ(Shown(Main()[GD_velocity]), "9.810000");
             EXPECT_EQ(Shown(Main()[GD_parent_motion]), "Motions/jet.mot");
             EXPECT_FALSE(Enabled(Main()[GD_end_size]));
         }),
         Quit()},
        {kOk});
}

TEST_F(MainWindowTest, TypedPathsAreTestedBeforeTheyAreStored) {
    WriteFile(dir.path("cube.lwo"), "LWOB");
    WriteFile(dir.path("old.lws"), "LWSC");
    const std::string object = dir.str("cube.lwo"), missing = dir.str("none.lwo"), old = dir.str("old.lws"),
                      fresh = dir.str("new.lws"), bad = dir.str("no/such/dir.lws");
    Run({Type(Main(), GD_particle_object, missing), Type(Main(), GD_particle_object, object),
         Type(Main(), GD_parent_motion, missing), Type(Main(), GD_target_scene, old),
         Do([] { EXPECT_EQ(PathText(current_prefs.target_scene), ""); }), Type(Main(), GD_target_scene, old),
         Type(Main(), GD_target_scene, bad), Type(Main(), GD_target_scene, fresh),
         Type(Main(), GD_particle_object, std::string(255, 'x')), Type(Main(), GD_target_scene, fresh + "\nx"),
         Type(Main(), GD_parent_motion, object + "\t"), Type(Main(), GD_particle_object, "\x1b[2J"), Quit()},
        {kOk, kOk, kCancel, kOk, kOk, kOk, kOk, kOk, kOk, kOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Unable to open particle object\n\nPath probably invalid\nPlease re-enter",
                           "Unable to open parent motion\n\nPath probably invalid.\nPlease re-enter.",
                           TargetExists(old), TargetExists(old),
                           "Cannot create target scene...\n\nPath probably invalid.\nPlease re-enter.",
                           "This path is too long:\nat most 254 characters.\n\nPlease re-enter.",
                           "A path must not hold control\ncharacters such as line breaks.\n\nPlease re-enter.",
                           "A path must not hold control\ncharacters such as line breaks.\n\nPlease re-enter.",
                           "A path must not hold control\ncharacters such as line breaks.\n\nPlease re-enter.",
                           "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(PathText(current_prefs.particle_object), object);
    EXPECT_EQ(PathText(current_prefs.parent_motion), "");
    EXPECT_EQ(PathText(current_prefs.target_scene), fresh);
    EXPECT_FALSE(std::filesystem::exists(fresh));  // created and deleted again as a test
    EXPECT_EQ(overwrite_confirmed, "");
}

// The overwrite questions name the file; a long path is broken after a "/" (or, with none
// near, at 48 characters) so the requester fits on the screen.
TEST(OverwriteQuestion, NamesTheFileOnLinesThatFit) {
    EXPECT_EQ(OverwriteQuestion(text::kTargetExists, "/tmp/a.lws"),
              "Target scene already exists...\n\n/tmp/a.lws\n\nOverwrite?");
    EXPECT_EQ(OverwriteQuestion(text::kPrefsExists,
                                "/projects/commercial_spot_2026/scenes/particles/sparks/final/v3.prefs"),
              "Preferences file already\nexists.\n\n/projects/commercial_spot_2026/scenes/particles/\n"
              "sparks/final/v3.prefs\n\nOverwrite?");
    EXPECT_EQ(OverwriteQuestion(text::kTargetExists, "/" + std::string(60, 'x') + ".lws"),
              "Target scene already exists...\n\n/" + std::string(47, 'x') + "\n" + std::string(13, 'x') +
                  ".lws\n\nOverwrite?");
}

TEST_F(MainWindowTest, FileButtonsRememberWhereTheUserWas) {
    WriteFile(dir.path("cube.lwo"), "LWOB");
    WriteFile(dir.path("old.lws"), "LWSC");
    const std::string d = dir.path("x").parent_path().string();
    Run({Click(Main(), GD_get_object), Click(Main(), GD_get_object), Click(Main(), GD_get_object),
         Click(Main(), GD_get_motion), Click(Main(), GD_get_scene), Quit()},
        {kOk, kOk},
        {{false, d, "cube.lwo"}, {true, "", ""}, {false, d, "not-yet.lwo"}, {false, d, "jet.mot"},
         {false, d, "old.lws"}});
    const auto& requests = pt::FileRequests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].title, "Select particle object");
    EXPECT_EQ(requests[0].initial_drawer, "");
    EXPECT_EQ(requests[1].initial_drawer, d);
    EXPECT_EQ(requests[1].initial_file, "cube.lwo");
    EXPECT_EQ(requests[3].title, "Select parent motion");
    EXPECT_FALSE(requests[3].save_mode);
    EXPECT_EQ(requests[4].title, "Select target scene");
    EXPECT_TRUE(requests[4].save_mode);
    EXPECT_TRUE(requests[4].reject_icons && requests[4].sleep_window && requests[4].window_set);
    EXPECT_EQ(requests[4].width, 300);
    EXPECT_EQ(requests[4].height, 400);
    // A name that cannot be locked is stored as joined.
    EXPECT_EQ(PathText(current_prefs.particle_object), d + "/not-yet.lwo");
    EXPECT_EQ(PathText(current_prefs.parent_motion), d + "/jet.mot");
    EXPECT_EQ(PathText(current_prefs.target_scene), d + "/old.lws");
    EXPECT_EQ(Texts()[0], TargetExists(d + "/old.lws"));
    EXPECT_EQ(overwrite_confirmed, d + "/old.lws");
}

TEST_F(MainWindowTest, ChosenObjectIsStoredAsItsFullPath) {
    WriteFile(dir.path("cube.lwo"), "LWOB");
    std::filesystem::create_directory(dir.path("sub"));
    const std::string indirect = dir.path("sub").string() + "/..";
    Run({Click(Main(), GD_get_object), Quit()}, {kOk}, {{false, indirect, "cube.lwo"}});
    EXPECT_EQ(PathText(current_prefs.particle_object), std::filesystem::canonical(dir.path("cube.lwo")).string());
    EXPECT_EQ(Shown(Main()[GD_particle_object]), "");  // window closed: gadget gone
}

TEST_F(MainWindowTest, OverlongChoicesNeverOverrunTheMemories) {
    const std::string long_drawer = "/" + std::string(240, 'd');
    const std::string long_file = std::string(40, 'f') + ".lwo";
    Run({Click(Main(), GD_get_motion), Do([long_file] {
             EXPECT_EQ(std::string(previous_motion.file), long_file.substr(0, 31));
         }),
         Click(Main(), GD_get_motion), Click(Main(), GD_get_motion), Quit()},
        {kOk, kOk, kOk},
        {{false, long_drawer, long_file}, {false, "/" + std::string(300, 'e'), "a.mot"}, {true, "", ""}});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Filename overflow", "Filename overflow",
                                                 "Are you sure you want\nto quit VEXO?"}));
    EXPECT_EQ(PathText(current_prefs.parent_motion), "");  // nothing stored after an overflow
    EXPECT_EQ(std::string(previous_motion.drawer), ("/" + std::string(300, 'e')).substr(0, 254));
    EXPECT_EQ(pt::FileRequests()[1].initial_file, long_file.substr(0, 31));
}

TEST_F(MainWindowTest, MenuCommandsAboutAndQuit) {
    Run({PickMenu(3), PickMenu(5), PickMenu(5)}, {kOk, kCancel, kOk});
    ASSERT_EQ(Texts().size(), 3u);
    EXPECT_EQ(Texts()[0].substr(0, 11), "Vexo\n----\n\n");
    EXPECT_NE(Texts()[0].find(" version 1.1, 27.01.2002"), std::string::npos);
    EXPECT_EQ(pt::Requesters()[0].buttons, "Ok");
    EXPECT_EQ(Texts()[1], "Are you sure you want\nto quit VEXO?");
}

TEST_F(MainWindowTest, SeveralMenuPicksRunInOrderAndTheLastDecides) {
    Run({Do([] {
             // About, then Quit, in one menu operation.
             ItemAddress(VEXOMenus, FULLMENUNUM(0, 3, NOSUB))->NextSelect = FULLMENUNUM(0, 5, NOSUB);
             pt::PostMessage(VEXOWnd, IDCMP_MENUPICK, FULLMENUNUM(0, 3, NOSUB), nullptr);
         })},
        {kOk, kOk});
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[1], "Are you sure you want\nto quit VEXO?");

    Run({Do([] {
             ItemAddress(VEXOMenus, FULLMENUNUM(0, 5, NOSUB))->NextSelect = FULLMENUNUM(0, 3, NOSUB);
             pt::PostMessage(VEXOWnd, IDCMP_MENUPICK, FULLMENUNUM(0, 5, NOSUB), nullptr);
         }),
         Quit()},
        {kOk, kOk, kOk});
    EXPECT_EQ(Texts().size(), 5u);  // Quit confirmed, then About returned 0: the loop went on
}

TEST_F(MainWindowTest, NoMemoryForTheRequesterCountsAsOk) {
    Run({Do([] { pt::FailNextAllocMem(); }), Quit()});
    EXPECT_TRUE(Texts().empty());
}

TEST_F(MainWindowTest, RefreshRedrawsTheDecorationAndZoomSwitchesSize) {
    Run({Do([] {
             RastPort* rp = VEXOWnd->RPort;
             SetAPen(rp, 3);
             RectFill(rp, 0, 0, VEXOWnd->Width - 1, VEXOWnd->Height - 1);
             pt::PostMessage(VEXOWnd, IDCMP_REFRESHWINDOW, 0, nullptr);
         }),
         Do([] {
             const int x0 = VEXOWnd->BorderLeft, y0 = VEXOWnd->BorderTop;
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 12, y0 + 284), 1);  // recessed box: dark top-left
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 14, y0 + 11), 2);   // raised box: light top-left
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 100, y0 + 150), 3);  // the fill inside is not erased
             ZipWindow(VEXOWnd);
             EXPECT_EQ(VEXOWnd->Width, 310);
             EXPECT_EQ(VEXOWnd->Height, 11);
             EXPECT_EQ(pt::WindowWidget(VEXOWnd)->pos(), QPoint(86, 49));
             ZipWindow(VEXOWnd);
             EXPECT_EQ(VEXOWnd->Width, 510);
         }),
         Quit()},
        {kOk});
}

TEST_F(MainWindowTest, NumbersIgnoreTheSystemLocale) {
    if (const char* wanted = std::getenv("VEXO_EXPECT_LOCALE")) {
        EXPECT_EQ(numeric_locale_adopted.substr(0, 5), std::string(wanted).substr(0, 5))
            << "Qt did not adopt the test's locale, so this run proves nothing about it";
    }
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char text[32];
    std::snprintf(text, sizeof text, "%f", 1.5);
    EXPECT_STREQ(text, "1.500000");
    Run({Type(Main(), GD_velocity, "2.5"), Do([] {
             EXPECT_EQ(current_prefs.velocity, 2.5);
             SetDialogueVals(0);
             EXPECT_EQ(Shown(Main()[GD_velocity]), "2.500000");
         }),
         Quit()},
        {kOk});
}

}  // namespace
}  // namespace vexo::uitest
