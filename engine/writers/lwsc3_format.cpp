#include <algorithm>
#include <charconv>
#include <cstdint>
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

void AppendLwsc3ObjectStart(std::string& out, std::string_view object) {
    out += "LoadObjectLayer 1 ";
    out += object;
    out += "\nShowObject 6 3\nObjectMotion\nNumChannels 9\n";
}

void AppendLwsc3ChannelStart(std::string& out, int channel, std::uint64_t keys) {
    out += "Channel ";
    AppendInt(out, channel);
    out += "\n{ Envelope\n  ";
    AppendInt(out, static_cast<std::int32_t>(keys));
    out += '\n';
}

void AppendLwsc3Key(std::string& out, int channel, const SceneKey& key, double fps) {
    constexpr double kRadians = std::numbers::pi / 180.0;
    out += "  Key ";
    AppendShortest(out, channel >= 3 && channel <= 5 ? key.value[channel] * kRadians : key.value[channel]);
    out += ' ';
    AppendShortest(out, FrameTime(static_cast<double>(key.frame), fps));
    out += " 3 0 0 0 0 0 0\n";
}

void AppendLwsc3ChannelEnd(std::string& out) {
    out += "  Behaviors 1 1\n}\n";
}

void AppendLwsc3Object(std::string& out, std::string_view object, const ObjectKeys& keys, double fps) {
    Block block;
    const BlockStyle style{BlockForm::Lwsc3, object, 9, 0, fps, {"", SIZE_MAX}};
    BlockBuilder builder(block, style);
    builder.Start();
    for (const SceneKey& key : keys) builder.AddKey(key);
    builder.Finish();
    const std::size_t begin = out.size();
    out.resize(begin + block.body.size());
    block.body.ReadAt(0, out.data() + begin, block.body.size());
}

}  // namespace vexo
