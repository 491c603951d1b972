// The shapes and forces window: its entries and their refusals, the mesh file buttons, and the
// settings it shows after a preferences file is loaded and at the next start.
#include "prefs/prefs_file.hpp"
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(ShapesOptions, ScenarioTest, ::testing::Values("shapes_options", "shapes_meshes"),
                         ScriptName);

class ShapesOptionsTest : public UiTest {};

// A preferences file with the shapes and forces: the window shows what was loaded, and the next
// start shows what was entered last.
TEST_F(ShapesOptionsTest, ShowsLoadedAndRememberedSettings) {
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
