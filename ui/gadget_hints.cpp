// Gadget tooltips: a setting's words from the settings help table, or what a button does.
#include "prefs/settings_help.hpp"
#include "ui/vexo.hpp"

namespace vexo::ui {
namespace {

// Characters per tooltip line, so a tip stays a narrow box beside the pointer.
constexpr std::size_t kHintWidth = 60;

}  // namespace

std::string HintText(const GadgetHint& hint) {
    if (hint.field != nullptr) {
        if (const SettingHelp* help = FindSettingHelp(hint.field)) return HelpText(*help, kHintWidth);
    }
    return hint.does != nullptr ? WrapWords(hint.does, kHintWidth) : std::string();
}

void SetGadgetHint(Gadget* gadget, const GadgetHint& hint) {
    const std::string text = HintText(hint);
    const TagItem tags[] = {{GA_HintInfo, reinterpret_cast<IPTR>(text.c_str())}, {TAG_DONE, 0}};
    GT_SetGadgetAttrsA(gadget, nullptr, nullptr, tags);
}

}  // namespace vexo::ui
