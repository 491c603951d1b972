#include <algorithm>
#include <charconv>
#include <numbers>

#include "engine/writers/scene_format.hpp"
#include "engine/writers/scene_formats.hpp"

namespace vexo {
namespace {

// The shortest decimal that reads back as the same double, without an exponent.
void AppendShortest(std::string& out, double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    out.append(buffer, result.ptr);
}

}  // namespace

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(tail.begin(), tail.end(), text.end() - tail.size(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

SceneFormat FormatForTarget(std::string_view target, SceneFormat otherwise) {
    if (EndsWithIgnoringCase(target, ".gltf")) return SceneFormat::Gltf;
    if (EndsWithIgnoringCase(target, ".glb")) return SceneFormat::Glb;
    if (EndsWithIgnoringCase(target, ".pc2")) return SceneFormat::Pc2;
    if (EndsWithIgnoringCase(target, ".mdd")) return SceneFormat::Mdd;
    return otherwise;
}

ObjectKeys RisingKeys(const ObjectKeys& keys) {
    ObjectKeys rising;
    rising.reserve(keys.size());
    for (const SceneKey& key : keys) {
        if (!rising.empty() && key.frame == rising.back().frame) {
            rising.back() = key;
        } else if (rising.empty() || key.frame > rising.back().frame) {
            rising.push_back(key);
        }
    }
    return rising;
}

void AppendLwsc3Header(std::string& out, const Settings& settings, double fps) {
    out += "LWSC\n3\n\n";
    AppendFrameRange(out, settings);
    out += "FramesPerSecond ";
    AppendShortest(out, fps);
    out += "\n\n";
}

void AppendLwsc3Object(std::string& out, std::string_view object, const ObjectKeys& keys, double fps) {
    constexpr double kRadians = std::numbers::pi / 180.0;
    const ObjectKeys rising = RisingKeys(keys);
    out += "LoadObjectLayer 1 ";
    out += object;
    out += "\nShowObject 6 3\nObjectMotion\nNumChannels 9\n";
    for (int c = 0; c < 9; ++c) {
        out += "Channel ";
        AppendInt(out, c);
        out += "\n{ Envelope\n  ";
        AppendInt(out, static_cast<std::int32_t>(rising.size()));
        out += '\n';
        for (const SceneKey& key : rising) {
            out += "  Key ";
            AppendShortest(out, c >= 3 && c <= 5 ? key.value[c] * kRadians : key.value[c]);
            out += ' ';
            AppendShortest(out, FrameTime(static_cast<double>(key.frame), fps));
            out += " 3 0 0 0 0 0 0\n";
        }
        out += "  Behaviors 1 1\n}\n";
    }
    out += '\n';
}

}  // namespace vexo
