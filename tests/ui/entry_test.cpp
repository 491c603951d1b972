// How typed values are entered: every way of leaving a field enters it through its check, a
// refused or cancelled entry shows the stored value again and drops what the same gesture
// queued behind it, and a field shows what is stored.
#include <filesystem>

#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

INSTANTIATE_TEST_SUITE_P(Entry, ScenarioTest,
                         ::testing::Values("leaving_a_field", "tab_and_refusal",
                                           "refused_entry_option_window", "entered_numbers",
                                           "refused_click_keeps_focus"),
                         ScriptName);

class EntryTest : public UiTest {};

TEST_F(EntryTest, ARefusedEntryShowsTheStoredValueAndDropsTheClickBehindIt) {
    Script("refused_entry_drops_click");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("folder")));
}

}  // namespace
}  // namespace vexo::uitest
