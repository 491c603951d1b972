// The four option windows: their values, their rules, their screen locks, every text they
// show, and that each is a dialog of the main window.
#include "prefs/prefs_file.hpp"
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(OptionWindows, ScenarioTest,
                         ::testing::Values("effect_options", "scene_options", "option_windows_failing",
                                           "option_windows_owned", "option_windows_texts", "shapes_options",
                                           "shapes_meshes"),
                         ScriptName);

class OptionWindowsTest : public UiTest {};

TEST_F(OptionWindowsTest, EmissionOptions) {
    Settings loaded = DefaultSettings();
    loaded.heading_spread = 1000;  // as a preferences file may hold it
    const SettingsImage image = EncodeSettings(loaded);
    WriteFile(dir.path("wide.prefs"), std::string(image.begin(), image.end()));
    Script("emission_options");
}

// A preferences file with the shapes and forces: the window shows what was loaded, and the next
// start shows what was entered last.
TEST_F(OptionWindowsTest, ShapesAndForcesShowLoadedAndRememberedSettings) {
    Settings loaded = DefaultSettings();
    SetPathText(loaded.emitter_object, "/meshes/rock.obj");  // paths from a file are shown unread
    SetPathText(loaded.collision_object, "/meshes/floor.glb");
    loaded.emit_from = static_cast<std::int32_t>(EmitFrom::Volume);
    loaded.emit_along_normal = 128;
    loaded.wind_x = 0.125;
    loaded.wind_y = -2;
    loaded.wind_z = 3.5;
    loaded.drag = 0.75;
    loaded.turbulence = 4;
    loaded.turbulence_size = 0.0625;
    loaded.friction = 0.3;
    loaded.spin = 180;
    WriteFile(dir.path("shapes.prefs"), PrefsFileBytes(loaded));
    Script("shapes_prefs");
}

}  // namespace
}  // namespace vexo::uitest
