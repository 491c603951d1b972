// The main window: start-up and teardown, the gadgets' rules for typed values and check boxes,
// the file buttons with their memories, the menu, and numbers in the "C" form under any locale.
#include <QMenuBar>
#include <clocale>

#include "tests/ui/ui_test_support.hpp"
#include "ui/file_memory.hpp"

namespace vexo::uitest {
namespace {

class MainWindowTest : public UiTest {};

TEST_F(MainWindowTest, StartUpShowsTheDefaultsAndTheQuitQuestionEndsIt) {
    Run({Windows(), Snap(), Step([] {
             QWidget* top = pt::WindowWidget(VEXOWnd);
             for (int id : {GD_particle_object, GD_generate, GD_get_scene}) {
                 const QRect r = pt::GadgetWidget(kMain[id])->geometry();
                 Note("gadget at " + std::to_string(r.x()) + "," + std::to_string(r.y()) + " size " +
                      std::to_string(r.width()) + "x" + std::to_string(r.height()));
             }
             // The menu bar is a part of the main window, not a window of its own.
             QMenuBar* bar = top->findChild<QMenuBar*>();
             ASSERT_NE(bar, nullptr);
             EXPECT_EQ(bar->window(), top);
             for (QAction* menu : bar->actions()) {
                 for (QAction* item : menu->menu()->actions()) {
                     Note("menu " + menu->text().toStdString() + ": " + item->text().toStdString() + " " +
                          item->shortcut().toString().toStdString());
                 }
             }
         }),
         Quit(), Quit()},
        {kCancel, kOk});
    EXPECT_EQ(VEXOWnd, nullptr);
    EXPECT_EQ(VEXOGList, nullptr);
    EXPECT_EQ(Scr, nullptr);
}

TEST_F(MainWindowTest, AFailedStartUpClosesWhatItOpened) {
    Script("startup_failures");
    EXPECT_EQ(VEXOGList, nullptr);
    EXPECT_EQ(VEXOMenus, nullptr);
}

TEST_F(MainWindowTest, TypedNumbersAndCheckBoxes) {
    Script("typed_numbers");
}

TEST_F(MainWindowTest, TypedPathsAreTestedBeforeTheyAreStored) {
    Script("typed_paths");
    EXPECT_EQ(overwrite_confirmed, "");
    // A long path in an overwrite question is broken after a "/" or, with none near, at 48.
    Note(OverwriteQuestion(text::kPrefsExists,
                           "/projects/commercial_spot_2026/scenes/particles/sparks/final/v3.prefs"));
    Note(OverwriteQuestion(text::kTargetExists, "/" + std::string(60, 'x') + ".lws"));
    Note(OverwriteQuestion(text::kTargetExists, "/" + std::string(47, 'y') + "/z"));
}

TEST_F(MainWindowTest, FileButtonsRememberWhereTheUserWas) {
    Script("file_buttons");
    EXPECT_EQ(overwrite_confirmed, D() + "/old.lws");
}

TEST_F(MainWindowTest, MenuCommands) {
    Script("menu_commands");
    // About then Quit in one menu operation, and Quit then About: the last decides.
    for (const auto& [first, second] : {std::pair{3, 5}, std::pair{5, 3}}) {
        std::deque<Step> steps = {Step([first = first, second = second] {
            ItemAddress(VEXOMenus, FULLMENUNUM(0, first, NOSUB))->NextSelect = FULLMENUNUM(0, second, NOSUB);
            pt::PostMessage(VEXOWnd, IDCMP_MENUPICK, FULLMENUNUM(0, first, NOSUB), nullptr);
        })};
        if (first == 5) steps.push_back(Quit());  // About came last and returned 0: the loop goes on
        Run(steps, {kOk, kOk, kOk});
    }
}

TEST_F(MainWindowTest, RefreshRedrawsTheDecorationAndZoomSwitchesSize) {
    Run({Step([] {
             SetAPen(VEXOWnd->RPort, 3);
             RectFill(VEXOWnd->RPort, 0, 0, VEXOWnd->Width - 1, VEXOWnd->Height - 1);
             pt::PostMessage(VEXOWnd, IDCMP_REFRESHWINDOW, 0, nullptr);
         }),
         Step([] {
             const int x0 = VEXOWnd->BorderLeft, y0 = VEXOWnd->BorderTop;
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 12, y0 + 284), 1);   // recessed box: dark top-left
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 14, y0 + 11), 2);    // raised box: light top-left
             EXPECT_EQ(pt::WindowPenAt(VEXOWnd, x0 + 100, y0 + 150), 3);  // the fill inside is not erased
             ZipWindow(VEXOWnd);
         }),
         Windows(), Step([] { ZipWindow(VEXOWnd); }), Windows(), Quit()},
        {kOk});
}

TEST_F(MainWindowTest, NumbersIgnoreTheSystemLocale) {
    if (const char* wanted = std::getenv("VEXO_EXPECT_LOCALE")) {
        EXPECT_EQ(numeric_locale_adopted.substr(0, 5), std::string(wanted).substr(0, 5))
            << "Qt did not adopt the test's locale, so this run proves nothing about it";
    }
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    Script("locale");
}

}  // namespace
}  // namespace vexo::uitest
