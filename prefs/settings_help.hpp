// What every setting means, in words for people: what it does, its unit and the values it takes,
// keyed by the settings field name. The desktop program's tooltips are made from it; anything
// else that explains a setting (another window, an add-on) reads the same table. No toolkit here.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace vexo {

struct SettingHelp {
    std::string_view field;  // the settings field name, as SettingsFields() and --set know it
    std::string_view what;   // what the setting does
    std::string_view unit;   // empty for check boxes, choices and paths, which have none
    std::string_view range;  // the values it takes, and what is done with others
};

// One entry for every field of SettingsFields(), in the same order.
std::span<const SettingHelp> SettingsHelp();

// Null when no field has that name.
const SettingHelp* FindSettingHelp(std::string_view field);

// "WHAT\nUnit: UNIT\nRange: RANGE" (no unit line when there is none), each part broken between
// words into lines of at most `width` characters (0: not broken).
std::string HelpText(const SettingHelp& help, std::size_t width = 0);

// Breaks text between words into lines of at most `width` characters; a word longer than that
// stands alone on its line. Line breaks already in the text are kept.
std::string WrapWords(std::string_view text, std::size_t width);

}  // namespace vexo
