// The scene formats besides the version 1 scene: version 3 scenes (envelopes, LightWave 6 and
// later), glTF 2.0 and the point caches, and which format a target asks for. All of them carry
// the same keys as the version 1 scene.
#pragma once

#include <string>
#include <string_view>

#include "engine/generation/scene_key.hpp"
#include "engine/settings/frame_rate.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

enum class SceneFormat {
    Lwsc1,  // LightWave scene, version 1: one line of 14 numbers per key (the default)
    Lwsc3,  // LightWave scene, version 3: nine envelopes of linear keys per object
    Gltf,   // glTF 2.0 JSON with its buffer embedded
    Glb,    // glTF 2.0 binary
    Pc2,    // point cache PC2 with a Wavefront OBJ beside it: every particle one copy in one mesh
    Mdd,    // point cache MDD with a LightWave object beside it
};

// glTF for a target ending in ".gltf" or ".glb", a point cache for ".pc2" or ".mdd" (in any case),
// `otherwise` for any other name.
SceneFormat FormatForTarget(std::string_view target, SceneFormat otherwise);
// True when `text` ends in `tail`, ignoring the case of ASCII letters.
bool EndsWithIgnoringCase(std::string_view text, std::string_view tail);

// The keys at strictly rising frames: of several keys on one frame the later is kept, and a key
// whose frame is earlier than one already kept is dropped.
ObjectKeys RisingKeys(const ObjectKeys& keys);

void AppendLwsc3Header(std::string& out, const Settings& settings, double fps = kDefaultFramesPerSecond);
// One object: "LoadObjectLayer 1", "ShowObject 6 3" and nine envelopes of linear keys at
// time = frame / fps, rotations in radians. Made as a block is (see BlockBuilder).
void AppendLwsc3Object(std::string& out, std::string_view object, const ObjectKeys& keys,
                       double fps = kDefaultFramesPerSecond);
// The pieces of that object, in their order: its start, then for each channel its start, a line
// per rising key and its end, then a blank line.
void AppendLwsc3ObjectStart(std::string& out, std::string_view object);
void AppendLwsc3ChannelStart(std::string& out, int channel, std::uint64_t keys);
void AppendLwsc3Key(std::string& out, int channel, const SceneKey& key, double fps);
void AppendLwsc3ChannelEnd(std::string& out);

}  // namespace vexo
