// The parent motion's file requester with scene files: its pattern, the list requester that asks
// for the emitter node of a scene with several animated nodes, and typed FILE#NODE paths.
#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

class EmitterNodeTest : public UiTest {};

TEST_F(EmitterNodeTest, SeveralAnimatedNodesAskWhichOne) {
    Script("emitter_node");
}

}  // namespace
}  // namespace vexo::uitest
