// How typed values are entered: every way of leaving a field enters it through its check, a
// refused or cancelled entry shows the stored value again and drops what the same gesture
// queued behind it, and a field shows what is stored.
#include <filesystem>

#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

class EntryTest : public UiTest {};

TEST_F(EntryTest, EveryWayOfLeavingAFieldEntersIt) {
    Script("leaving_a_field");
}
TEST_F(EntryTest, TabMovesOnAfterEnteringAndARefusalBringsTheCursorBack) {
    Script("tab_and_refusal");
}
TEST_F(EntryTest, ARefusedEntryShowsTheStoredValueAndDropsTheClickBehindIt) {
    Script("refused_entry_drops_click");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("folder")));
}
TEST_F(EntryTest, ARefusedEntryKeepsAnOptionWindowOpen) {
    Script("refused_entry_option_window");
}
TEST_F(EntryTest, AnEnteredNumberShowsAsStored) {
    Script("entered_numbers");
}

}  // namespace
}  // namespace vexo::uitest
