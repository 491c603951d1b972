// The main window: start-up and teardown, the gadgets' rules for typed values and check boxes,
// the file buttons with their memories, the menu, and numbers in the "C" form under any locale.
#include <clocale>

#include "tests/ui/ui_test_support.hpp"
#include "ui/file_memory.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(MainWindow, ScenarioTest,
                         ::testing::Values("startup", "startup_failures", "typed_numbers", "menu_commands",
                                           "layout_fits", "remembered_settings", "refresh_and_zoom"),
                         ScriptName);

class MainWindowTest : public UiTest {};

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
    EXPECT_EQ(overwrite_confirmed, dir.str("old.lws"));
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
