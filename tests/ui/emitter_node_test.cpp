// The parent motion's file requester with scene files: its pattern, the list requester that asks
// for the emitter node of a scene with several animated nodes, and typed FILE#NODE paths.
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
INSTANTIATE_TEST_SUITE_P(EmitterNode, ScenarioTest, ::testing::Values("emitter_node"), ScriptName);
}  // namespace vexo::uitest
