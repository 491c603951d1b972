// The scene, emission and effect option windows: their values, their rules, their screen locks, every text they
// show, and that each is a dialog of the main window.
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(OptionWindows, ScenarioTest,
                         ::testing::Values("effect_options", "scene_options", "option_windows_failing",
                                           "option_windows_owned", "option_windows_texts"),
                         ScriptName);

class OptionWindowsTest : public UiTest {};

TEST_F(OptionWindowsTest, EmissionOptions) {
    Settings loaded = DefaultSettings();
    loaded.heading_spread = 1000;  // as a preferences file may hold it
    const SettingsImage image = EncodeSettings(loaded);
    WriteFile(dir.path("wide.prefs"), std::string(image.begin(), image.end()));
    Script("emission_options");
}

}  // namespace
}  // namespace vexo::uitest
