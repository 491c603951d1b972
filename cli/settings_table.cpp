#include "cli/settings_table.hpp"

#include <cmath>
#include <limits>
#include <variant>

#include "engine/settings/settings_fields.hpp"
#include "engine/writers/json_writer.hpp"
#include "prefs/input_rules.hpp"
#include "prefs/setting_labels.hpp"
#include "prefs/settings_help.hpp"
#include "prefs/settings_text.hpp"

namespace vexo::cli {
namespace {

const char* KindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::Path:
            return "path";
        case FieldKind::Count:
            return "count";
        case FieldKind::Angle:
            return "angle";
        case FieldKind::Real:
            return "real";
        case FieldKind::Flag:
            return "flag";
        case FieldKind::PathMode:
            return "path_mode";
        case FieldKind::EndBehavior:
            return "end_behavior";
        case FieldKind::EmitFrom:
            return "emit_from";
    }
    return "";
}

void Bool(JsonWriter& json, bool value) {
    json.RawValue(value ? "true" : "false");
}

// The default and the values the field takes.
void DefaultAndRange(JsonWriter& json, const FieldInfo& field, const Settings& defaults) {
    json.Key("default");
    switch (field.kind) {
        case FieldKind::Path:
            json.String(PathText(defaults.*std::get<PathField Settings::*>(field.member)));
            return;
        case FieldKind::Real: {
            json.Double(defaults.*std::get<double Settings::*>(field.member));
            if (std::isfinite(field.range.min)) {
                json.Key("min");
                json.Double(field.range.min);
            }
            if (std::isfinite(field.range.max)) {
                json.Key("max");
                json.Double(field.range.max);
            }
            if (field.range.min_excluded) {
                json.Key("min_excluded");
                Bool(json, true);
            }
            return;
        }
        case FieldKind::Count:
        case FieldKind::Angle: {
            json.Int(defaults.*std::get<std::int32_t Settings::*>(field.member));
            const AngleRange range = field.kind == FieldKind::Count
                                         ? AngleRange{0, std::numeric_limits<std::int32_t>::max()}
                                         : KeptAngleRange(field.name);
            json.Key("min");
            json.Int(range.min);
            json.Key("max");
            json.Int(range.max);
            return;
        }
        case FieldKind::Flag:
        case FieldKind::PathMode:
            Bool(json, IsOn(defaults.*std::get<std::int16_t Settings::*>(field.member)));
            return;
        case FieldKind::EndBehavior:
        case FieldKind::EmitFrom: {
            const auto labels = ChoiceLabels(field.kind);
            json.String(
                labels[static_cast<std::size_t>(defaults.*std::get<std::int32_t Settings::*>(field.member))]);
            json.Key("choices");
            json.BeginArray();
            for (const char* label : labels) json.String(label);
            json.EndArray();
            return;
        }
    }
}

}  // namespace

std::string SettingsTableJson() {
    const Settings defaults = DefaultSettings();
    std::string text = "{\"fields\": [\n";
    bool first = true;
    for (const FieldInfo& field : SettingsFields()) {
        const SettingHelp* help = FindSettingHelp(field.name);
        JsonWriter json;
        json.BeginObject();
        json.Key("name");
        json.String(field.name);
        json.Key("kind");
        json.String(KindName(field.kind));
        DefaultAndRange(json, field, defaults);
        json.Key("label");
        json.String(SettingLabel(field.name));
        json.Key("what");
        json.String(help != nullptr ? help->what : "");
        json.Key("unit");
        json.String(help != nullptr ? help->unit : "");
        json.Key("range");
        json.String(help != nullptr ? help->range : "");
        json.Key("tooltip");
        json.String(help != nullptr ? HelpText(*help) : "");
        json.EndObject();
        text += (first ? "" : ",\n") + json.text();
        first = false;
    }
    return text + "\n]}\n";
}

}  // namespace vexo::cli
