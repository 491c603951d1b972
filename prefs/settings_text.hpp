// The settings record as readable "field=value" lines, and single assignments in that form,
// checked by the same input rules the desktop program applies to typed values.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/settings/settings.hpp"
#include "engine/settings/settings_fields.hpp"

namespace vexo {

// One "field=value" line per editable field, in image order. Flags read "on" or "off"
// (other non-zero values as their number), end_behavior its label, reals their shortest
// exact decimal form.
std::string FormatSettings(const Settings& settings);

// The words of a choice's values in the order of their numbers (end_behavior, emit_from), as
// FormatSettings writes them; empty for the other kinds.
std::span<const char* const> ChoiceLabels(FieldKind kind);

struct AssignResult {
    bool ok = false;
    std::string error;  // one line, when !ok
    std::string note;   // one line, when a value was corrected before it was stored
};

// Applies "field=value". Nothing is stored when the result is not ok.
AssignResult AssignSetting(Settings& settings, std::string_view assignment);

// A requester text made into one line: line breaks become blanks, and the "..." and
// "Please re-enter." that ask the desktop user to type again are dropped.
std::string OneLine(std::string_view text);

}  // namespace vexo
