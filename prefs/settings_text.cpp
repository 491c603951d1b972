#include "prefs/settings_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <variant>

#include "engine/settings/settings_fields.hpp"
#include "prefs/input_rules.hpp"

namespace vexo {
namespace {

constexpr const char* kEndBehaviorLabels[] = {"Recycle", "Stop", "Destroy"};
constexpr const char* kEmitFromLabels[] = {"point", "vertices", "surface", "volume"};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string FormatReal(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string FormatValue(const Settings& s, const FieldInfo& field) {
    switch (field.kind) {
        case FieldKind::Path:
            return PathText(s.*std::get<PathField Settings::*>(field.member));
        case FieldKind::Real:
            return FormatReal(s.*std::get<double Settings::*>(field.member));
        case FieldKind::Flag:
        case FieldKind::PathMode: {
            const std::int16_t v = s.*std::get<std::int16_t Settings::*>(field.member);
            const std::int16_t on = field.kind == FieldKind::Flag ? kFlagTicked : 1;
            if (v == on) return "on";
            if (v == 0) return "off";
            return std::to_string(v);
        }
        case FieldKind::EndBehavior: {
            const std::int32_t v = s.*std::get<std::int32_t Settings::*>(field.member);
            if (v >= 0 && v <= 2) return kEndBehaviorLabels[v];
            return std::to_string(v);
        }
        case FieldKind::EmitFrom: {
            const std::int32_t v = s.*std::get<std::int32_t Settings::*>(field.member);
            if (v >= 0 && v <= 3) return kEmitFromLabels[v];
            return std::to_string(v);
        }
        case FieldKind::Count:
        case FieldKind::Angle:
            return std::to_string(s.*std::get<std::int32_t Settings::*>(field.member));
    }
    return {};
}

// A whole number: an optional "-" and digits, within 32 bits.
bool ParseWhole(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= min && out <= max;
}

// Typed text as an error message repeats it: control characters become "?", so the message
// stays one line and cannot steer the terminal.
std::string Printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
        if (HasControlCharacter(std::string_view(&c, 1))) c = '?';
    }
    return shown;
}

AssignResult Fail(std::string_view field, std::string_view value, std::string_view why) {
    AssignResult r;
    r.error = Printable(field) + "=" + Printable(value) + ": " + std::string(why);
    return r;
}

// Why a real is refused by its field's range, for a field that has one.
std::string RangeRefusal(const RealRange& range) {
    return std::string("must be ") + range.Words();
}

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    for (std::string_view tail : {" Please re-enter.", "..."}) {
        while (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            line.erase(line.size() - tail.size());
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    return line;
}

std::span<const char* const> ChoiceLabels(FieldKind kind) {
    if (kind == FieldKind::EndBehavior) return kEndBehaviorLabels;
    if (kind == FieldKind::EmitFrom) return kEmitFromLabels;
    return {};
}

std::string FormatSettings(const Settings& settings) {
    std::string text;
    for (const FieldInfo& field : SettingsFields()) {
        text += field.name;
        text += '=';
        text += FormatValue(settings, field);
        text += '\n';
    }
    return text;
}

AssignResult AssignSetting(Settings& settings, std::string_view assignment) {
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos) {
        AssignResult r;
        r.error = "expected field=value, got \"" + Printable(assignment) + "\"";
        return r;
    }
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view value = assignment.substr(equals + 1);
    const FieldInfo* field = FindSettingsField(name);
    if (field == nullptr) {
        AssignResult r;
        r.error = "no setting is called \"" + Printable(name) + "\" (see --help for the list)";
        return r;
    }

    AssignResult result;
    result.ok = true;
    const std::string lower = Lower(value);
    std::int64_t whole = 0;
    switch (field->kind) {
        case FieldKind::Path:
            // The value is not repeated: its control characters would reach the terminal.
            if (HasControlCharacter(value)) return Fail(name, "...", OneLine(input_text::kControlCharacter));
            if (!SetPathText(settings.*std::get<PathField Settings::*>(field->member), value)) {
                return Fail(name, "...", "a path may hold at most 254 characters");
            }
            break;
        case FieldKind::Real: {
            const std::string text(value);
            if (const char* refusal = RefuseReal(text.c_str())) return Fail(name, value, OneLine(refusal));
            if (!field->range.Holds(FloatValue(value))) return Fail(name, value, RangeRefusal(field->range));
            settings.*std::get<double Settings::*>(field->member) = FloatValue(value);
            break;
        }
        case FieldKind::Count:
            if (!ParseWhole(value, kInt32Min, kInt32Max, whole)) {
                return Fail(name, value, "not a whole number");
            }
            if (whole < 0) return Fail(name, value, OneLine(NegativeCountMessage(name)));
            settings.*std::get<std::int32_t Settings::*>(field->member) = static_cast<std::int32_t>(whole);
            break;
        case FieldKind::Angle: {
            if (!ParseWhole(value, kInt32Min, kInt32Max, whole)) {
                return Fail(name, value, "not a whole number");
            }
            const std::int32_t corrected = CorrectAngle(name, static_cast<std::int32_t>(whole));
            if (corrected != whole) {
                result.note = std::string(name) + "=" + std::string(value) + " stored as " +
                              std::to_string(corrected);
            }
            settings.*std::get<std::int32_t Settings::*>(field->member) = corrected;
            break;
        }
        case FieldKind::Flag:
        case FieldKind::PathMode: {
            std::int16_t stored = 0;
            const std::int16_t on = field->kind == FieldKind::Flag ? kFlagTicked : 1;
            if (lower == "on") {
                stored = on;
            } else if (lower == "off") {
                stored = 0;
            } else if (ParseWhole(value, -32768, 32767, whole)) {
                stored = static_cast<std::int16_t>(whole);
            } else {
                return Fail(name, value, "expected on or off");
            }
            settings.*std::get<std::int16_t Settings::*>(field->member) = stored;
            break;
        }
        case FieldKind::EndBehavior: {
            std::int32_t stored = -1;
            for (std::int32_t i = 0; i < 3; ++i) {
                if (lower == Lower(kEndBehaviorLabels[i]) || value == std::to_string(i)) stored = i;
            }
            if (stored < 0) return Fail(name, value, "expected Recycle, Stop or Destroy (or 0, 1, 2)");
            settings.*std::get<std::int32_t Settings::*>(field->member) = stored;
            break;
        }
        case FieldKind::EmitFrom: {
            std::int32_t stored = -1;
            for (std::int32_t i = 0; i < 4; ++i) {
                if (lower == kEmitFromLabels[i] || value == std::to_string(i)) stored = i;
            }
            if (stored < 0) return Fail(name, value, "expected point, vertices, surface or volume (or 0 to 3)");
            settings.*std::get<std::int32_t Settings::*>(field->member) = stored;
            break;
        }
    }
    return result;
}

}  // namespace vexo
