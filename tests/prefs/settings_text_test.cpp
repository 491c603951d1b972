#include <gtest/gtest.h>

#include <limits>

#include <cmath>

#include "engine/settings/settings_fields.hpp"
#include "prefs/input_rules.hpp"
#include "prefs/settings_text.hpp"

namespace vexo {
namespace {

// Every digit, the sign and the point, each in every position it can take.
TEST(InputRules, IsfloatAcceptsAndRefusesExactly) {
    for (const char* ok : {"0", "12", "3.", "-0.25", "-", "-.", "007", "1.5"}) EXPECT_EQ(isfloat(ok), 1) << ok;
    for (const char* bad : {"", ".5", "+1", "1e3", " 1", "1.2.3", "1-2", "1 ", "abc", "--1", "nan", "0x10", "1..",
                            "-.5.", "5-", ".", "-+"}) {
        EXPECT_EQ(isfloat(bad), 0) << bad;
    }
    struct Place {
        const char* before;
        const char* after;
        bool minus, point;  // whether "-" and "." are accepted here; digits always are
    };
    const Place places[] = {{"", "", true, false},    {"", "1", true, false},  {"1", "", false, true},
                            {"-", "", false, true},   {"1.", "", false, false}, {"12", "3", false, true},
                            {"-1.", "5", false, false}};
    for (const Place& place : places) {
        for (char c = ' '; c <= '~'; ++c) {
            const std::string text = place.before + std::string(1, c) + place.after;
            const bool ok = (c >= '0' && c <= '9') || (c == '-' && place.minus) || (c == '.' && place.point);
            EXPECT_EQ(isfloat(text.c_str()), ok ? 1 : 0) << '"' << text << '"';
        }
    }
}

TEST(InputRules, FloatValueIsAtofOfAcceptedText) {
    EXPECT_EQ(FloatValue("12"), 12.0);
    EXPECT_EQ(FloatValue("3."), 3.0);
    EXPECT_EQ(FloatValue("-0.25"), -0.25);
    EXPECT_EQ(FloatValue("-"), 0.0);
    EXPECT_EQ(FloatValue("-."), 0.0);
    EXPECT_EQ(FloatValue("9.81"), 9.81);
    EXPECT_EQ(FloatValue("0.1"), 0.1);
    EXPECT_TRUE(std::signbit(FloatValue("-0")));
    // Beyond the range of doubles: an infinity for a large number, 0 for a tiny one, as atof.
    const std::string nines(400, '9');
    EXPECT_EQ(FloatValue(nines), std::numeric_limits<double>::infinity());
    EXPECT_EQ(FloatValue("-" + nines + ".5"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(FloatValue("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(FloatValue("1" + std::string(308, '0')), 1e308);  // the largest power of ten that fits
    EXPECT_STREQ(RefuseReal(nines.c_str()), input_text::kTooLarge);
    EXPECT_STREQ(RefuseReal("1e3"), input_text::kNotANumber);
    EXPECT_EQ(RefuseReal("2.5"), nullptr);
    EXPECT_EQ(std::string(input_text::kTooLarge), "This number is too large.\n\nPlease re-enter.");
    EXPECT_EQ(FloatValue("-9876543210.0123456789"), -9876543210.0123456789);
}

TEST(InputRules, AngleCorrections) {
    EXPECT_EQ(CorrectHeadingSpread(361), 1);
    EXPECT_EQ(CorrectHeadingSpread(9999), 279);
    EXPECT_EQ(CorrectHeadingSpread(360), 360);
    EXPECT_EQ(CorrectHeadingSpread(-5), 0);
    EXPECT_EQ(CorrectHeadingAngle(-999), -279);
    EXPECT_EQ(CorrectHeadingAngle(-360), -360);
    EXPECT_EQ(CorrectHeadingAngle(725), 5);
    EXPECT_EQ(CorrectHeadingAngle(-720), 0);
    EXPECT_EQ(CorrectPitchSpread(200), 180);
    EXPECT_EQ(CorrectPitchSpread(-1), 0);
    EXPECT_EQ(CorrectAngle("pitch_angle", -999), -999);
}

TEST(SettingsText, DefaultsPrintAsFieldLines) {
    EXPECT_EQ(FormatSettings(DefaultSettings()),
              "particle_object=\nparent_motion=\ntarget_scene=\nnum_particles=0\nparticles_per_frame=0\n"
              "lifespan=0\nvelocity=0\nvelocity_variation=0\nheading_angle=0\nheading_spread=0\npitch_angle=0\n"
              "pitch_spread=0\ncreation_delay=0\nstart_size=1\nend_size=1\ngravity=0\nlimited_lifespan=off\n"
              "use_creation_delay=off\nparticle_grow=off\nground_bounce=off\nradial_creation=off\n"
              "end_behavior=Destroy\nfirst_frame=1\nlast_frame=30\nframe_step=1\nlinear_path=on\n"
              "elasticity=1\noversampling=off\n");
}

// Printed lines assign back to the very same record: paths, numbers of every size, and every
// value a loaded file may carry in a flag or choice.
TEST(SettingsText, PrintedLinesAssignBackToTheSameRecord) {
    std::vector<Settings> records(1, DefaultSettings());
    for (const char* a : {"particle_object=a b/c.lwo", "num_particles=500", "gravity=9.81", "linear_path=off",
                          "velocity=0.0001", "ground_bounce=on", "end_behavior=recycle", "heading_angle=-45",
                          "elasticity=0.333333333333"}) {
        ASSERT_TRUE(AssignSetting(records[0], a).ok) << a;
    }
    records[0].end_size = 1e-300;
    for (const FieldInfo& field : SettingsFields()) {
        if (auto* flag = std::get_if<std::int16_t Settings::*>(&field.member)) {
            for (std::int16_t value : {0, 1, 2, 128, -1, 127, 129, 256, 32767, -32768}) {
                records.push_back(DefaultSettings());
                records.back().*(*flag) = value;
            }
        } else if (field.kind == FieldKind::EndBehavior) {
            for (std::int32_t value : {0, 1, 2}) {
                records.push_back(DefaultSettings());
                records.back().*std::get<std::int32_t Settings::*>(field.member) = value;
            }
        }
    }
    for (const Settings& s : records) {
        const std::string text = FormatSettings(s);
        Settings again = DefaultSettings();
        for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\n', start);
            const AssignResult r = AssignSetting(again, std::string_view(text).substr(start, end - start));
            ASSERT_TRUE(r.ok) << r.error;
        }
        EXPECT_EQ(again, s) << text;
    }
}

TEST(SettingsText, StoredFormsOfFlagsAndChoices) {
    Settings s = DefaultSettings();
    ASSERT_TRUE(AssignSetting(s, "limited_lifespan=on").ok);
    EXPECT_EQ(s.limited_lifespan, 128);
    ASSERT_TRUE(AssignSetting(s, "linear_path=0").ok);
    EXPECT_EQ(s.linear_path, 0);
    ASSERT_TRUE(AssignSetting(s, "linear_path=on").ok);
    EXPECT_EQ(s.linear_path, 1);
    ASSERT_TRUE(AssignSetting(s, "end_behavior=Stop").ok);
    EXPECT_EQ(s.end_behavior, 1);
    ASSERT_TRUE(AssignSetting(s, "end_behavior=0").ok);
    EXPECT_EQ(s.end_behavior, 0);
    ASSERT_TRUE(AssignSetting(s, "gravity=-").ok);
    EXPECT_EQ(s.gravity, 0.0);
}

TEST(SettingsText, RefusalsNameTheProblemAndStoreNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"num_particles=-3", "num_particles=-3: Cannot have a negative number of particles"},
        {"particles_per_frame=-1", "particles_per_frame=-1: Cannot have a negative number of particles per frame"},
        {"lifespan=-1", "lifespan=-1: Cannot have a negative particles lifespan"},
        {"creation_delay=-1", "creation_delay=-1: Cannot have a negative creation delay"},
        {"first_frame=-1", "first_frame=-1: Cannot have a negative first frame"},
        {"last_frame=-1", "last_frame=-1: Cannot have a negative last frame"},
        {"frame_step=-1", "frame_step=-1: Cannot have a negative frame step"},
        {"num_particles=ten", "num_particles=ten: not a whole number"},
        {"num_particles=2.5", "num_particles=2.5: not a whole number"},
        {"num_particles=99999999999", "num_particles=99999999999: not a whole number"},
        {"gravity=1e3", "gravity=1e3: This is not a number."},
        {"gravity=", "gravity=: This is not a number."},
        {"velocity=+2", "velocity=+2: This is not a number."},
        {"ground_bounce=maybe", "ground_bounce=maybe: expected on or off"},
        {"end_behavior=3", "end_behavior=3: expected Recycle, Stop or Destroy (or 0, 1, 2)"},
        {"colour=red", "no setting is called \"colour\" (see --help for the list)"},
        {"gravity", "expected field=value, got \"gravity\""},
    };
    const std::string huge = "1" + std::string(309, '0');  // beyond the range of doubles
    const std::pair<std::string, std::string> too_large[] = {
        {"velocity=" + huge, "velocity=" + huge + ": This number is too large."},
        {"gravity=-" + huge + ".5", "gravity=-" + huge + ".5: This number is too large."},
    };
    for (const auto& [assignment, error] : too_large) {
        Settings s = DefaultSettings();
        EXPECT_EQ(AssignSetting(s, assignment).error, error);
        EXPECT_EQ(s, DefaultSettings());
    }
    for (const auto& [assignment, error] : cases) {
        Settings s = DefaultSettings();
        const AssignResult r = AssignSetting(s, assignment);
        EXPECT_FALSE(r.ok) << assignment;
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(s, DefaultSettings()) << assignment;
    }
    Settings s = DefaultSettings();
    const AssignResult r = AssignSetting(s, "target_scene=" + std::string(255, 'x'));
    EXPECT_EQ(r.error, "target_scene=...: a path may hold at most 254 characters");
}

TEST(SettingsText, CorrectedAnglesCarryANote) {
    Settings s = DefaultSettings();
    AssignResult r = AssignSetting(s, "heading_spread=361");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.note, "heading_spread=361 stored as 1");
    EXPECT_EQ(s.heading_spread, 1);
    r = AssignSetting(s, "pitch_spread=90");
    EXPECT_EQ(r.note, "");
}

TEST(SettingsText, OneLineJoinsRequesterTexts) {
    EXPECT_EQ(OneLine("Could not allocate 96 bytes of \nmotion data RAM"), "Could not allocate 96 bytes of motion data RAM");
    EXPECT_EQ(OneLine("Unable to allocate\nposition data RAM"), "Unable to allocate position data RAM");
    EXPECT_EQ(OneLine("This is not a VEXO\npreferences file..."), "This is not a VEXO preferences file");
}

}  // namespace
}  // namespace vexo
