// The keys of one written object, and what receives them while a pass runs: the text of a
// version 1 or 3 object block, or glTF tracks, or the values themselves (for the preview and the
// reference path's point cache). Text and tracks are spooled: held in memory up to a fixed
// buffer, then in unnamed temporary files beside the target, so that an object of any length
// costs the same memory.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/simulation/particle.hpp"
#include "engine/writers/binary_file.hpp"

namespace vexo {

struct SceneKey {
    std::array<double, 9> value;  // x y z, heading pitch bank (degrees), scale x y z
    std::int32_t frame;
};
using ObjectKeys = std::vector<SceneKey>;

// The keys of one object as glTF animation tracks, read back whole (for tests).
struct GltfTracks {
    std::vector<std::int32_t> frames;  // strictly rising, none before 0
    std::vector<float> translations;   // x y z per key, glTF axes
    std::vector<float> rotations;      // x y z w per key
    std::vector<float> scales;         // x y z per key
};

// The same tracks as the glTF writer takes them: four spools of little-endian values and what
// the scene's JSON needs without reading them back.
struct SpooledTracks {
    BinaryFile frames;        // int32 per key, strictly rising, none before 0
    BinaryFile translations;  // float x y z per key, glTF axes
    BinaryFile rotations;     // float x y z w per key
    BinaryFile scales;        // float x y z per key
    std::uint64_t count = 0;
    std::uint64_t frames_hash = 0;  // FNV-1a of the frames, to find particles that share them
    std::int32_t first_frame = 0, last_frame = 0;
    std::array<float, 3> first_translation{};  // the first key's values (the node's rest pose)
    std::array<float, 4> first_rotation{};
    std::array<float, 3> first_scale{};
    // The first failure of a spool, or empty.
    std::string error() const;
};

// Where a block's spools go when they outgrow memory, and how much each holds in memory first.
struct SpoolPlace {
    std::string beside;  // the target: the temporary files go in its folder
    std::size_t buffer = std::size_t{1} << 20;
};

// One object block while it is being recorded.
struct Block {
    std::string head;  // version 1: the object's first lines, with its key count
    BinaryFile body;   // the object's text after the head (version 1 key lines; version 3 all)
    std::string tail;  // version 1: the lines that close the object
    ObjectKeys keys;   // the values, when the block holds keys
    // The frame of the first key with a value the scene cannot hold (not finite, or beyond the
    // format's range); the block is then not to be written.
    std::optional<std::int32_t> bad_frame;
    SpooledTracks gltf;
    BinaryFile scratch;  // version 3 and point caches: the rising keys (SpooledKeyReader reads them)
    std::uint64_t rising_keys = 0;  // how many keys `scratch` holds
    // Why a spool could not hold the block (a full disk), or empty; the block is then lost.
    std::string spool_error;
};

// What a block holds once recorded.
enum class BlockForm {
    Keys,        // block.keys
    Lwsc1,       // head, body and tail
    Lwsc3,       // body
    Gltf,        // gltf
    RisingKeys,  // scratch and rising_keys: the keys at strictly rising frames (point caches)
};

// Reads the keys of a spool that BlockForm::RisingKeys filled, one after another, a piece at a time.
class SpooledKeyReader {
  public:
    SpooledKeyReader(BinaryFile& spool, std::uint64_t count) : spool_(spool), count_(count) {}
    // False after the last key, or when the spool could not be read (failed() then says so).
    bool Next(SceneKey& key);
    bool failed() const { return failed_; }

  private:
    BinaryFile& spool_;
    std::uint64_t count_;
    std::uint64_t read_ = 0;  // keys taken from the spool into `piece_`
    std::vector<char> piece_;
    std::size_t at_ = 0;  // the next key's offset in `piece_`
    bool failed_ = false;
};

struct BlockStyle {
    BlockForm form = BlockForm::Keys;
    std::string_view object;     // the particle object's path, as the scene names it
    std::uint32_t channels = 9;  // version 1: the channel count the motion file declared
    double limit = 0;            // keys beyond this magnitude (or not finite) mark the block bad
    double fps = 30;             // version 3: the key times
    SpoolPlace spool;
};

class BlockBuilder {
  public:
    BlockBuilder(Block& block, const BlockStyle& style) : block_(block), style_(style) {}
    // Empties the block for a new object; `expected` keys are to come (a hint for BlockForm::Keys).
    void Start(std::uint64_t expected = 0);
    void Add(const Particle& record, std::int32_t frame);
    // A key as Add makes it, past the check for values the scene cannot hold.
    void AddKey(const SceneKey& key);
    void Finish();

  private:
    void AddRising(const SceneKey& key);
    void Emit(const SceneKey& key);
    void EmitTrackKey(const SceneKey& key);
    void WriteTrackKey();
    void FinishLwsc3();

    Block& block_;
    const BlockStyle& style_;
    std::uint64_t count_ = 0;
    std::string line_;
    std::optional<SceneKey> pending_;  // the last rising key, which a key on its frame replaces
    // glTF: the last key made, kept until the next tells whether it takes that one's rotation.
    bool track_held_ = false;
    std::int32_t track_frame_ = 0;
    std::array<float, 10> track_values_{};  // translation, rotation, scale
    std::array<double, 3> last_angles_{};
    bool have_angles_ = false;
};

}  // namespace vexo
