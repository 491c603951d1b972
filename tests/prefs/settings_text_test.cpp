// The number test and the settings as text. The messages of every refusal and correction are
// asserted word for word through vexo-cli (tests/data/cli_cases.txt).
#include "prefs/settings_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "engine/settings/settings_fields.hpp"
#include "prefs/input_rules.hpp"

namespace vexo {
namespace {

// Every printable character in every position: digits anywhere, "-" first only, one "." but
// not first.
TEST(InputRules, IsfloatAcceptsAndRefusesExactly) {
    for (const char* bad : {"", "1.2.3", "-.5.", "1..", "--1", "1e3", "0x10"})
        EXPECT_EQ(isfloat(bad), 0) << bad;
    struct Place {
        const char* before;
        const char* after;
        bool minus, point;  // whether "-" and "." are accepted here; digits always are
    };
    const Place places[] = {{"", "", true, false},      {"", "1", true, false},    {"1", "", false, true},
                            {"-", "", false, true},     {"1.", "", false, false},  {"12", "3", false, true},
                            {"-1.", "5", false, false}, {"9", "9.0", false, false}};
    for (const Place& place : places) {
        for (char c = ' '; c <= '~'; ++c) {
            const std::string text = place.before + std::string(1, c) + place.after;
            const bool ok = (c >= '0' && c <= '9') || (c == '-' && place.minus) || (c == '.' && place.point);
            EXPECT_EQ(isfloat(text.c_str()), ok ? 1 : 0) << '"' << text << '"';
        }
    }
}

// atof of the accepted text in the "C" locale: beyond the range of doubles an infinity for a
// large number and 0 for a tiny one.
TEST(InputRules, FloatValueIsAtofOfAcceptedText) {
    const std::string nines(400, '9');
    const char* const texts[] = {
        "12", "3.", "-0.25", "-", "-.", "9.81", "0.1", "0123456789", "-9876543210.0123456789"};
    const double values[] = {12, 3, -0.25, 0, 0, 9.81, 0.1, 123456789, -9876543210.0123456789};
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(FloatValue(texts[i]), values[i]) << texts[i];
    EXPECT_EQ(FloatValue(nines), std::numeric_limits<double>::infinity());
    EXPECT_EQ(FloatValue("-" + nines + ".5"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(FloatValue("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(FloatValue("1" + std::string(308, '0')), 1e308);
    EXPECT_TRUE(std::signbit(FloatValue("-0")));
    EXPECT_FALSE(std::signbit(FloatValue("0")));
    EXPECT_STREQ(RefuseReal(nines.c_str()), input_text::kTooLarge);
    EXPECT_STREQ(RefuseReal("1e3"), input_text::kNotANumber);
    EXPECT_EQ(RefuseReal("2.5"), nullptr);
}

// Printed lines assign back to the very same record: paths, reals of every size, and every
// value a loaded file may carry in a flag or choice.
// The range offered where nothing can be corrected: its ends are kept as typed, the numbers
// just beyond them are not (the pitch angle keeps every number).
TEST(InputRules, KeptAngleRangeEndsWhereTheCorrectionsStart) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min(),
                           kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char* field;
        std::int64_t min, max;
    } cases[] = {{"heading_spread", 0, 360},
                 {"heading_angle", -360, 360},
                 {"pitch_spread", 0, 180},
                 {"pitch_angle", kMin, kMax}};
    for (const auto& c : cases) {
        const AngleRange range = KeptAngleRange(c.field);
        EXPECT_EQ(range.min, c.min) << c.field;
        EXPECT_EQ(range.max, c.max) << c.field;
        for (const std::int64_t v : {c.min, c.max, std::max(kMin, c.min - 1), std::min(kMax, c.max + 1)}) {
            const bool kept = v >= c.min && v <= c.max;
            EXPECT_EQ(CorrectAngle(c.field, static_cast<std::int32_t>(v)) == v, kept) << c.field << " " << v;
        }
    }
}

TEST(SettingsText, PrintedLinesAssignBackToTheSameRecord) {
    std::vector<Settings> records(1, DefaultSettings());
    for (const char* a : {"particle_object=a b/c.lwo", "num_particles=500", "gravity=9.81", "velocity=0.0001",
                          "elasticity=0.333333333333", "heading_angle=-45", "velocity_variation=-12345.678",
                          "collision_object=c d/e.glb", "wind_z=-0.1", "drag=1", "friction=0.000001",
                          "turbulence_size=0.0001", "spin=0"})
        ASSERT_TRUE(AssignSetting(records[0], a).ok) << a;
    records[0].end_size = 1e-300;
    records[0].start_size = 1.7976931348623157e308;
    for (const FieldInfo& field : SettingsFields()) {
        if (auto* flag = std::get_if<std::int16_t Settings::*>(&field.member)) {
            for (std::int16_t value : {0, 1, 2, 128, -1, 127, 129, 256, 32767, -32768}) {
                records.push_back(DefaultSettings());
                records.back().*(*flag) = value;
            }
        } else if (field.kind == FieldKind::EndBehavior || field.kind == FieldKind::EmitFrom) {
            for (std::int32_t value : {0, 1, 2, field.kind == FieldKind::EmitFrom ? 3 : 0}) {
                records.push_back(DefaultSettings());
                records.back().*std::get<std::int32_t Settings::*>(field.member) = value;
            }
        }
    }
    for (const Settings& s : records) {
        std::istringstream lines(FormatSettings(s));
        Settings again = DefaultSettings();
        for (std::string line; std::getline(lines, line);) {
            const AssignResult r = AssignSetting(again, line);
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.note, "");
        }
        EXPECT_EQ(again, s) << lines.str();
    }
}

}  // namespace
}  // namespace vexo
