// The words that explain the settings: one entry for every field, the tooltip form, and line
// breaking between words.
#include "prefs/settings_help.hpp"

#include <gtest/gtest.h>

#include "engine/settings/settings_fields.hpp"

namespace vexo {
namespace {

TEST(SettingsHelp, EveryFieldOnceInTheRecordsOrderWithWordsForIt) {
    const auto fields = SettingsFields();
    const auto help = SettingsHelp();
    ASSERT_EQ(help.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(help[i].field, fields[i].name);
        EXPECT_FALSE(help[i].what.empty()) << fields[i].name;
        EXPECT_FALSE(help[i].range.empty()) << fields[i].name;
        EXPECT_EQ(FindSettingHelp(fields[i].name), &help[i]);
        // Numbers have a unit; check boxes, choices and paths have none.
        const bool number = fields[i].kind == FieldKind::Count || fields[i].kind == FieldKind::Angle ||
                            fields[i].kind == FieldKind::Real;
        EXPECT_EQ(help[i].unit.empty(), !number) << fields[i].name;
    }
    EXPECT_EQ(FindSettingHelp("magic"), nullptr);
    EXPECT_EQ(FindSettingHelp(""), nullptr);
    EXPECT_EQ(FindSettingHelp("num_particle"), nullptr);
}

TEST(SettingsHelp, TooltipTextHasWhatUnitAndRangeOnLinesOfTheirOwn) {
    EXPECT_EQ(HelpText(*FindSettingHelp("lifespan")),
              "How long a particle lives when Limited lifespan is on.\nUnit: frames\nRange: 0 to 2147483647");
    EXPECT_EQ(HelpText(*FindSettingHelp("ground_bounce"), 40),
              "Particles bounce off the ground plane\n(height 0) instead of falling through\nit.\n"
              "Range: on or off");
    EXPECT_EQ(HelpText(SettingHelp{"x", "A b.", "", ""}), "A b.");
}

TEST(SettingsHelp, WrapsBetweenWords) {
    const struct {
        const char* text;
        std::size_t width;
        const char* wrapped;
    } cases[] = {
        {"one two three four", 9, "one two\nthree\nfour"},
        {"one two three four", 7, "one two\nthree\nfour"},
        {"one two three four", 6, "one\ntwo\nthree\nfour"},
        {"a verylongword b", 4, "a\nverylongword\nb"},
        {"kept\nbreak here", 20, "kept\nbreak here"},
        {"  blanks   collapse ", 40, "blanks collapse"},
        {"no width no breaks at all", 0, "no width no breaks at all"},
        {"", 5, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WrapWords(c.text, c.width), c.wrapped) << c.text << " / " << c.width;
}

}  // namespace
}  // namespace vexo
