// The table of the settings record's fields: name, image offset, kind and member.
// The image codec and the text form of the settings both walk this one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "engine/settings/settings.hpp"

namespace vexo {

enum class FieldKind {
    Path,         // 255-byte text field
    Count,        // int32 that typed input keeps at zero or more
    Angle,        // int32 in degrees, signed
    Real,         // double
    Flag,         // int16 check box: 128 ticked, 0 clear
    PathMode,     // int16 choice: 1 linear, 0 non-linear
    EndBehavior,  // int32 choice: 0, 1 or 2
};

using FieldMember = std::variant<PathField Settings::*, std::int32_t Settings::*, double Settings::*,
                                 std::int16_t Settings::*>;

struct FieldInfo {
    std::string_view name;
    std::size_t offset;
    FieldKind kind;
    FieldMember member;
};

// Every editable field in image order (the magic and the pad byte are not listed).
std::span<const FieldInfo> SettingsFields();

// Null when no field has that name.
const FieldInfo* FindSettingsField(std::string_view name);

}  // namespace vexo
