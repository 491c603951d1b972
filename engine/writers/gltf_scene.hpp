// A glTF 2.0 scene of particles written as the objects arrive: one node per particle sharing one
// mesh, each with LINEAR translation, rotation and scale channels. The tracks go straight to
// unnamed temporary files beside the target; at the end the JSON is written and the tracks are
// copied behind it, as the GLB binary chunk or as a base64 data URI. The JSON of each particle
// is written beside its tracks as it arrives. Memory stays at a few bytes per particle whatever
// the number of keys.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/generation/scene_key.hpp"
#include "engine/settings/frame_rate.hpp"
#include "engine/writers/binary_file.hpp"
#include "engine/writers/json_writer.hpp"
#include "engine/writers/object_mesh.hpp"

namespace vexo {

namespace scene_text {
inline constexpr const char* kGlbTooLarge = "a binary glTF file holds at most 4 GiB; write .gltf instead";
inline constexpr const char* kNotFinite = "the glTF scene holds a number that is not finite";
inline constexpr const char* kGlbToPipe =
    "a binary glTF file ends by writing its header, which a pipe cannot take; write .gltf instead";
}  // namespace scene_text

class GltfScene {
  public:
    // `objects` sizes the zero-padded node names ("particle_0007"); `fps` sets the key times.
    GltfScene(Mesh mesh, std::uint32_t objects, bool binary, double fps = kDefaultFramesPerSecond);

    // Creates the target; temporary files beside it follow when the tracks outgrow memory.
    bool Open(const std::string& target);
    // Appends the next particle's node and channels, copying its tracks.
    bool AddObject(SpooledTracks& tracks);
    // Writes the whole file for the particles added so far, and closes it.
    bool Finish();
    // Deletes the target (a regular file only); the temporary files vanish with it.
    void Remove();

    // The system's words (or the writer's) for the first failure.
    const std::string& error() const { return error_; }

  private:
    struct Input {
        std::uint64_t offset;  // in keys, into times_ and frames_
        std::uint32_t count;
    };
    // Members of one JSON array, written to a temporary file as the particles arrive.
    struct JsonSpool {
        BinaryFile file;
        JsonWriter json;
        void Drain(std::size_t at_least);
    };

    std::int32_t InputOf(SpooledTracks& tracks);
    bool SameFrames(std::int32_t input, SpooledTracks& tracks);
    bool Check(BinaryFile& file);
    void AddJson(const SpooledTracks& tracks, std::int32_t input);
    void WriteJson(JsonWriter& json, std::uint64_t buffer_length);
    bool Drain(JsonWriter& json);
    bool Splice(JsonWriter& json, JsonSpool& spool);
    bool WriteGlb();
    std::array<BinaryFile*, 9> Spools() {
        return {&times_,           &translations_,       &rotations_,        &scales_,           &frames_,
                &nodes_json_.file, &channels_json_.file, &inputs_json_.file, &outputs_json_.file};
    }
    bool WriteGltf();

    Mesh mesh_;
    int name_width_;
    double fps_;
    bool binary_;
    BinaryFile target_;
    // The sections of the buffer after the mesh, in their order, and the frames of each input
    // (not written: they tell whether two particles share their key times).
    BinaryFile times_, translations_, rotations_, scales_, frames_;
    // The JSON of the nodes, the channels, and the input and output accessors.
    JsonSpool nodes_json_, channels_json_, inputs_json_, outputs_json_;
    std::vector<std::int32_t> node_inputs_;  // per particle: its input, -1 for one without keys
    std::uint64_t keys_ = 0;                 // keys of the animated particles so far
    std::uint64_t animated_ = 0;             // particles with keys so far
    std::vector<Input> inputs_;
    std::unordered_map<std::uint64_t, std::int32_t> input_of_hash_;
    std::string error_;
};

}  // namespace vexo
