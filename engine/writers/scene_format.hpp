// Text of the version 1 scene (LWSC): the header, the object blocks and the key lines, and
// the "%f" form of a double. Appends to a string; knows nothing of files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/settings/frame_rate.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

inline constexpr std::int32_t ObjectEndBehavior = 1;
inline constexpr std::int32_t ObjectShadowOptions = 2;

// Appends the double exactly as C's "%f" writes it in the "C" locale, with round-to-nearest.
void AppendFixed(std::string& out, double value);
void AppendInt(std::string& out, std::int32_t value);
void AppendUnsigned(std::string& out, std::uint32_t value);

void AppendSceneHeader(std::string& out, const Settings& settings, double fps = kDefaultFramesPerSecond);
// The "FirstFrame", "LastFrame" and "FrameStep" lines both scene versions share.
void AppendFrameRange(std::string& out, const Settings& settings);
// "LoadObject", "ShowObject", "ObjectMotion", then the channel and key count lines.
void AppendObjectStart(std::string& out, std::string_view object, std::uint32_t channels, std::uint32_t keys);
// One key line: the nine values x y z, heading pitch bank, scale x y z at the given frame.
void AppendKeyValues(std::string& out, const std::array<double, 9>& values, std::int32_t frame);
// "EndBehavior" and "ShadowOptions", which close an object block.
void AppendObjectEnd(std::string& out);

}  // namespace vexo
