// The rules typed settings must pass before they are stored: the number test, the refusal
// of negative counts and the corrections of the emission angles. Shared by the desktop
// program and the batch tool so both accept exactly the same input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vexo {

namespace input_text {
inline constexpr const char* kNotANumber = "This is not a number.\n\nPlease re-enter.";
inline constexpr const char* kTooLarge = "This number is too large.\n\nPlease re-enter.";
inline constexpr const char* kNegativeParticles = "Cannot have a negative\nnumber of particles...\n\nPlease re-enter.";
inline constexpr const char* kNegativePerFrame =
    "Cannot have a negative\nnumber of particles per frame...\n\nPlease re-enter.";
inline constexpr const char* kNegativeLifespan = "Cannot have a negative\nparticles lifespan...\n\nPlease re-enter.";
inline constexpr const char* kNegativeDelay = "Cannot have a negative\ncreation delay...\n\nPlease re-enter.";
inline constexpr const char* kNegativeFirstFrame = "Cannot have a negative\nfirst frame...\n\nPlease re-enter.";
inline constexpr const char* kNegativeLastFrame = "Cannot have a negative\nlast frame...\n\nPlease re-enter.";
inline constexpr const char* kControlCharacter =
    "A path must not hold control\ncharacters such as line breaks.\n\nPlease re-enter.";
inline constexpr const char* kNegativeFrameStep = "Cannot have a negative\nframe step...\n\nPlease re-enter.";
}  // namespace input_text

// 1 for a digit or "-" followed by digits and at most one ".", else 0. No blanks, no "+",
// no exponent, no leading ".".
int isfloat(const char* text);

// The value of a text isfloat accepts, as atof gives it in the "C" locale (a lone "-" is 0, a
// number beyond the range of doubles an infinity).
double FloatValue(std::string_view text);

// Null when the typed text can be stored as a real setting, else the message that refuses it:
// not a number, or a number beyond the range of doubles.
const char* RefuseReal(const char* typed);

// The message that refuses a negative value for a count field, or null for other fields.
const char* NegativeCountMessage(std::string_view field);

// Emission angle corrections, applied to numbers typed into the emission options.
std::int32_t CorrectHeadingSpread(std::int32_t number);  // wrapped above 360, then 0 if negative
std::int32_t CorrectHeadingAngle(std::int32_t number);   // wrapped above 360 and below -360
std::int32_t CorrectPitchSpread(std::int32_t number);    // limited to 0 to 180
// The corrected value for one of the four angle fields (the pitch angle is kept as entered).
std::int32_t CorrectAngle(std::string_view field, std::int32_t number);

// The values of an angle field that CorrectAngle keeps as entered, from `min` to `max`: the range
// a front end that cannot correct (a slider, another program's property) offers.
struct AngleRange {
    std::int32_t min;
    std::int32_t max;
};
AngleRange KeptAngleRange(std::string_view field);

}  // namespace vexo
