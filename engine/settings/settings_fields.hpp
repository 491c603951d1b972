// The table of the settings' fields: name, offset in the preferences file, kind, member and the
// range a real may take. The image codecs and the text form of the settings walk this one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
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
    EmitFrom,     // int32 choice: 0 point, 1 vertices, 2 surface, 3 volume
};

using FieldMember = std::variant<PathField Settings::*, std::int32_t Settings::*, double Settings::*,
                                 std::int16_t Settings::*>;

// The values a real field may hold. The record's own reals take any finite number.
struct RealRange {
    double min = -std::numeric_limits<double>::infinity();
    double max = std::numeric_limits<double>::infinity();
    bool min_excluded = false;  // min itself is refused
    bool Holds(double value) const { return (min_excluded ? value > min : value >= min) && value <= max; }
    // The range in words, for the texts that refuse a value outside it: the ranges the settings
    // have are fractions, positive numbers and numbers not below 0.
    const char* Words() const {
        return max == 1.0 ? "from 0 to 1" : min_excluded ? "more than 0" : "0 or more";
    }
};

struct FieldInfo {
    std::string_view name;
    std::size_t offset;  // in the preferences file: below 880 in the record, above in the extension
    FieldKind kind;
    FieldMember member;
    RealRange range{};
    bool InExtension() const { return offset >= kSettingsImageSize; }
};

// Every editable field: the record's in image order (the magic and the pad byte are not
// listed), then the extension's.
std::span<const FieldInfo> SettingsFields();

// Null when no field has that name.
const FieldInfo* FindSettingsField(std::string_view name);

}  // namespace vexo
