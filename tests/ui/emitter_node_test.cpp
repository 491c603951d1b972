// The parent motion's file requester with scene files: its pattern, the list requester that asks
// for the emitter node of a scene with several animated nodes, and typed FILE#NODE paths.
#include "engine/create_scene.hpp"
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

class EmitterNodeTest : public UiTest {};

TEST_F(EmitterNodeTest, SeveralAnimatedNodesAskWhichOne) {
    for (const auto& [name, particles] : {std::pair{"several.glb", 3}, {"single.gltf", 1}}) {
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
        ASSERT_EQ(CreateScene(s, state, sink, go_on, options).outcome, WriteOutcome::Complete);
    }
    Script("emitter_node");
}

}  // namespace
}  // namespace vexo::uitest
