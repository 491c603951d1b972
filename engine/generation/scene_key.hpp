// The keys of one written object, and what receives them while a pass runs: the text of a
// version 1 object block, written at once, or the values, for the other scene formats.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/simulation/particle.hpp"

namespace vexo {

struct SceneKey {
    std::array<double, 9> value;  // x y z, heading pitch bank (degrees), scale x y z
    std::int32_t frame;
};
using ObjectKeys = std::vector<SceneKey>;

// The keys of one object as glTF animation tracks, made beside the other blocks so that the
// writer only copies them.
struct GltfTracks {
    std::vector<std::int32_t> frames;  // strictly rising, none before 0
    std::vector<float> translations;   // x y z per key, glTF axes
    std::vector<float> rotations;      // x y z w per key
    std::vector<float> scales;         // x y z per key
};

// One object block while it is being recorded.
struct Block {
    std::string text;
    ObjectKeys keys;
    // The frame of the first key with a value the scene cannot hold (not finite, or beyond the
    // format's range); the block is then not to be written.
    std::optional<std::int32_t> bad_frame;
    GltfTracks gltf;
};

class BlockBuilder {
public:
    // With `text_mode` the block's version 1 text goes to `block.text`; otherwise the keys go to
    // `block.keys`.
    // Keys whose values are not finite or larger than `limit` in magnitude mark the block bad.
    BlockBuilder(Block& block, bool text_mode, std::string_view object, std::uint32_t channels, double limit)
        : block_(block), text_mode_(text_mode), object_(object), channels_(channels), limit_(limit) {}
    void Start(std::uint32_t key_count);
    void Add(const Particle& record, std::int32_t frame);
    void Finish();

private:
    Block& block_;
    bool text_mode_;
    std::string_view object_;
    std::uint32_t channels_;
    double limit_;
};

}  // namespace vexo
