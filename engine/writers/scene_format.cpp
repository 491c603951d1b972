#include "engine/writers/scene_format.hpp"

#include <charconv>
#include <cmath>

#include "engine/simulation/dynamics.hpp"

namespace vexo {

void AppendFixed(std::string& out, double value) {
    // The longest "%f" text of a finite double is 309 integer digits, a sign, a point and six
    // decimals: 317 characters.
    char buffer[328];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out.append(buffer, result.ptr);
}

void AppendInt(std::string& out, std::int32_t value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendUnsigned(std::string& out, std::uint32_t value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendFrameRange(std::string& out, const Settings& settings) {
    out += "FirstFrame ";
    AppendInt(out, settings.first_frame);
    out += "\nLastFrame ";
    AppendInt(out, settings.last_frame);
    out += "\nFrameStep ";
    AppendInt(out, settings.frame_step);
    out += '\n';
}

void AppendSceneHeader(std::string& out, const Settings& settings, double fps) {
    out += "LWSC\n1\n\n";
    AppendFrameRange(out, settings);
    out += "FramesPerSecond ";
    AppendFixed(out, fps);
    out += "\n\n";
}

void AppendObjectStart(std::string& out, std::string_view object, std::uint32_t channels,
                       std::uint32_t keys) {
    out += "LoadObject ";
    out += object;
    out += "\nShowObject 7 7\nObjectMotion (unnamed)\n  ";
    AppendUnsigned(out, channels);  // as the motion file declared it, however large
    out += "\n  ";
    AppendUnsigned(out, keys);
    out += '\n';
}

void AppendKeyValues(std::string& out, const std::array<double, 9>& values, std::int32_t frame) {
    out += ' ';
    for (double v : values) {
        out += ' ';
        AppendFixed(out, v);
    }
    out += ' ';
    AppendInt(out, frame);
    out += " 1 0.0 0.0 0.0\n";
}

void AppendObjectEnd(std::string& out) {
    out += "EndBehavior ";
    AppendInt(out, ObjectEndBehavior);
    out += "\nShadowOptions ";
    AppendInt(out, ObjectShadowOptions);
    out += "\n\n";
}

}  // namespace vexo
