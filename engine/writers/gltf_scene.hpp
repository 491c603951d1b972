// A glTF 2.0 scene of particles: one node per particle sharing one mesh, each with LINEAR
// translation, rotation and scale channels built from its keys. LightWave's left-handed axes
// become glTF's by mirroring z; rotations become quaternions; hidden keys keep their scale 0.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/writers/object_mesh.hpp"
#include "engine/generation/scene_key.hpp"
#include "engine/settings/frame_rate.hpp"

namespace vexo {

// The glTF rotation of a LightWave heading, pitch and bank (degrees), with z mirrored: x, y, z, w.
std::array<double, 4> GltfRotation(double heading, double pitch, double bank);

class GltfScene {
public:
    // `objects` sizes the zero-padded node names ("particle_0007"); `fps` sets the key times.
    GltfScene(Mesh mesh, std::uint32_t objects, double fps = kDefaultFramesPerSecond);

    // Adds the next particle's node and channels.
    void AddObject(const ObjectKeys& keys);

    // The whole file: .glb bytes, or .gltf JSON with the buffer embedded as a data URI.
    bool Serialize(bool binary, std::string& bytes) const;

private:
    struct Channels {
        std::int32_t input;  // index into inputs_
        std::size_t translation, rotation, scale;  // float offsets into the output arrays
        std::size_t count;
        std::array<float, 3> t0, s0;
        std::array<float, 4> r0;
    };

    Mesh mesh_;
    double fps_;
    int name_width_;
    std::vector<Channels> objects_;
    std::map<std::vector<std::int32_t>, std::int32_t> input_of_frames_;  // shared key times
    std::vector<std::size_t> inputs_;                                      // offset of each time list
    std::vector<std::size_t> input_counts_;
    std::vector<float> times_, translations_, rotations_, scales_;
};

}  // namespace vexo
