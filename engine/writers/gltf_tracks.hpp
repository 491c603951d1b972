// The keys of one object turned into glTF animation tracks: LightWave's left-handed axes become
// glTF's by mirroring z, rotations become quaternions, hidden keys keep their scale 0. Runs
// beside the other blocks, on any thread; knows nothing of files.
#pragma once

#include <array>
#include <cstdint>

#include "engine/generation/scene_key.hpp"
#include "engine/settings/frame_rate.hpp"

namespace vexo {

// The time of a frame's key, in seconds.
float KeyTime(std::int32_t frame, double fps = kDefaultFramesPerSecond);

// The glTF rotation of a LightWave heading, pitch and bank (degrees), with z mirrored: x, y, z, w.
std::array<double, 4> GltfRotation(double heading, double pitch, double bank);

// The object's keys at strictly rising frames from 0, made as a block makes them (see
// BlockBuilder) and read back. A hidden key (scale 0) just before a visible one takes the
// visible key's rotation, so a particle does not turn while it grows from nothing between the two.
GltfTracks MakeGltfTracks(const ObjectKeys& keys);

}  // namespace vexo
