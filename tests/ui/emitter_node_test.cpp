// The parent motion's file requester with scene files: its pattern, the list requester that asks
// for the emitter node of a scene with several animated nodes, and typed FILE#NODE paths.
#include <filesystem>

#include "engine/create_scene.hpp"
#include "tests/ui/ui_test_support.hpp"
#include "ui/main_window.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;

constexpr long kOk = 1;

Step Quit() {
    return CloseWindowOf(&VEXOWnd);
}

class EmitterNodeTest : public UiTest {
  protected:
    // A glTF scene of `particles` particles, each an animated node.
    std::string Scene(const std::string& name, int particles) {
        Settings s = vexo::testing::SceneSettings(dir,
                                                  "LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n"
                                                  "1 0 0 0 0 0 1 1 1\n10 1 0 0 0\n");
        s.num_particles = particles;
        s.particles_per_frame = 1;
        SetPathText(s.target_scene, dir.str(name));
        EngineState state;
        vexo::testing::RecordingSink sink;
        vexo::testing::ScriptedHook go_on;
        GenerateOptions options;
        options.format = FormatForTarget(name, SceneFormat::Lwsc1);
        EXPECT_EQ(CreateScene(s, state, sink, go_on, options).outcome, WriteOutcome::Complete);
        return dir.str(name);
    }
};

TEST_F(EmitterNodeTest, SeveralAnimatedNodesAskWhichOne) {
    const std::string several = Scene("several.glb", 3), single = Scene("single.gltf", 1);
    const std::string d = dir.path("x").parent_path().string();
    pt::AnswerListRequesters({1, -1});
    Run({Click(Main(), GD_get_motion), Do([&] {
             EXPECT_EQ(PathText(current_prefs.parent_motion), several + "#particle_0001");
             EXPECT_EQ(Shown(Main()[GD_parent_motion]), several + "#particle_0001");
         }),
         Click(Main(), GD_get_motion), Do([&] {  // cancelled: the choice before stays
             EXPECT_EQ(PathText(current_prefs.parent_motion), several + "#particle_0001");
         }),
         Click(Main(), GD_get_motion), Do([&] { EXPECT_EQ(PathText(current_prefs.parent_motion), single); }),
         Click(Main(), GD_get_motion), Click(Main(), GD_get_object), Quit()},
        {kOk},
        {{false, d, "several.glb"},
         {false, d, "several.glb"},
         {false, d, "single.gltf"},
         {false, d, "jet.mot"},
         {false, d, "cube.lwo"}});
    EXPECT_EQ(PathText(current_prefs.parent_motion), d + "/jet.mot");  // motion text: nothing to ask
    const auto& lists = pt::ListRequests();
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].title, "Select emitter node");
    EXPECT_EQ(lists[0].text, "The scene file holds several\nanimated nodes. Which one\nis the emitter?");
    EXPECT_EQ(lists[0].entries,
              (std::vector<std::string>{"particle_0000", "particle_0001", "particle_0002"}));
    // The motion requester shows motion and scene files first; the object requester everything.
    const auto& files = pt::FileRequests();
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[0].pattern.rfind("#?.(mot|", 0), 0u) << files[0].pattern;
    for (const char* extension : {"|glb|", "|gltf|", "|fbx|", "|dae|"}) {
        EXPECT_NE(files[0].pattern.find(extension), std::string::npos) << extension;
    }
    EXPECT_EQ(files[4].pattern, "");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Are you sure you want\nto quit VEXO?"});
}

TEST_F(EmitterNodeTest, TypedPathsMayNameANode) {
    const std::string several = Scene("several.glb", 3);
    Run({Type(Main(), GD_parent_motion, several + "#particle_0002"),
         Do([&] { EXPECT_EQ(PathText(current_prefs.parent_motion), several + "#particle_0002"); }),
         Type(Main(), GD_parent_motion, dir.str("none.glb#particle_0002")), Quit()},
        {kOk, kOk});
    EXPECT_EQ(PathText(current_prefs.parent_motion), several + "#particle_0002");
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Unable to open parent motion\n\nPath probably invalid.\nPlease re-enter.",
                           "Are you sure you want\nto quit VEXO?"}));
    EXPECT_TRUE(pt::ListRequests().empty());
}

}  // namespace
}  // namespace vexo::uitest
