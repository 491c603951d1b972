#include "prefs/input_rules.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vexo {

int isfloat(const char* text) {
    if (text[0] == '\0' || !((text[0] >= '0' && text[0] <= '9') || text[0] == '-')) return 0;
    int points = 0;
    for (const char* c = text + 1; *c != '\0'; ++c) {
        if (*c == '.') {
            if (++points > 1) return 0;
        } else if (*c < '0' || *c > '9') {
            return 0;
        }
    }
    return 1;
}

double FloatValue(std::string_view text) {
    // from_chars is atof in the "C" locale, whatever locale the program runs in.
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    std::string digits(text);
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
    if (digits.empty()) return 0.0;  // atof of a lone "-" converts nothing
    if (digits.front() == '.') digits.insert(digits.begin(), '0');
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    // Out of range leaves the value alone; atof gives an infinity for a number too large (its
    // first significant digit before the point) and 0 for one too small, and so does this.
    if (result.ec == std::errc::result_out_of_range) {
        value = digits.find_first_of("123456789") < digits.find('.') ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

const char* RefuseReal(const char* typed) {
    if (!isfloat(typed)) return input_text::kNotANumber;
    if (!std::isfinite(FloatValue(typed))) return input_text::kTooLarge;
    return nullptr;
}

const char* NegativeCountMessage(std::string_view field) {
    if (field == "num_particles") return input_text::kNegativeParticles;
    if (field == "particles_per_frame") return input_text::kNegativePerFrame;
    if (field == "lifespan") return input_text::kNegativeLifespan;
    if (field == "creation_delay") return input_text::kNegativeDelay;
    if (field == "first_frame") return input_text::kNegativeFirstFrame;
    if (field == "last_frame") return input_text::kNegativeLastFrame;
    if (field == "frame_step") return input_text::kNegativeFrameStep;
    return nullptr;
}

std::int32_t CorrectHeadingSpread(std::int32_t number) {
    if (number > 360) number %= 360;
    return number < 0 ? 0 : number;
}

std::int32_t CorrectHeadingAngle(std::int32_t number) {
    // C++ division truncates toward zero, so the remainder keeps the sign of the number.
    if (number > 360 || number < -360) number %= 360;
    return number;
}

std::int32_t CorrectPitchSpread(std::int32_t number) {
    if (number > 180) number = 180;
    return number < 0 ? 0 : number;
}

std::int32_t CorrectAngle(std::string_view field, std::int32_t number) {
    if (field == "heading_spread") return CorrectHeadingSpread(number);
    if (field == "heading_angle") return CorrectHeadingAngle(number);
    if (field == "pitch_spread") return CorrectPitchSpread(number);
    return number;
}

AngleRange KeptAngleRange(std::string_view field) {
    if (field == "heading_spread") return {0, 360};
    if (field == "heading_angle") return {-360, 360};
    if (field == "pitch_spread") return {0, 180};
    return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
}

}  // namespace vexo
