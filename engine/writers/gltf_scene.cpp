#include "engine/writers/gltf_scene.hpp"

#include <algorithm>
#include <bit>
#include <limits>

#include "engine/writers/base64.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/json_writer.hpp"

namespace vexo {
namespace {

// Floats and indices go to the buffer as they lie in memory, which glTF requires little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr int kTriangles = 4;
constexpr std::size_t kDrainSize = 1 << 16;  // small pieces: fresh pages cost more than calls

// GLB: a 12-byte header (magic, version, total length), then chunks of (length, type, data).
constexpr std::uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t kGlbVersion = 2;
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
constexpr std::size_t kGlbHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;

int Digits(std::uint32_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

void PutU32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr std::size_t kFramePiece = 1 << 14;  // frames compared or timed at once

// Values compared with the buffer's floats (accessor bounds): the exact value of the float.
void Floats(JsonWriter& json, const float* values, std::size_t count) {
    json.BeginArray();
    for (std::size_t i = 0; i < count; ++i) json.Double(values[i]);
    json.EndArray();
}

// Values every reader takes as single precision (node transforms): the shortest float text.
void ShortFloats(JsonWriter& json, const float* values, std::size_t count) {
    json.BeginArray();
    for (std::size_t i = 0; i < count; ++i) json.Float(values[i]);
    json.EndArray();
}

void View(JsonWriter& json, std::uint64_t offset, std::uint64_t length, int target) {
    json.BeginObject();
    json.Key("buffer");
    json.Int(0);
    if (offset != 0) {
        json.Key("byteOffset");
        json.UInt(offset);
    }
    json.Key("byteLength");
    json.UInt(length);
    if (target != 0) {
        json.Key("target");
        json.Int(target);
    }
    json.EndObject();
}

// An accessor without its closing brace, so that min and max can follow.
void OpenAccessor(JsonWriter& json, int view, std::uint64_t byte_offset, int component, std::uint64_t count,
                  const char* type) {
    json.BeginObject();
    json.Key("bufferView");
    json.Int(view);
    if (byte_offset != 0) {
        json.Key("byteOffset");
        json.UInt(byte_offset);
    }
    json.Key("componentType");
    json.Int(component);
    json.Key("count");
    json.UInt(count);
    json.Key("type");
    json.String(type);
}

}  // namespace

GltfScene::GltfScene(Mesh mesh, std::uint32_t objects, bool binary, double fps)
    : mesh_(std::move(mesh)),
      name_width_(std::max(4, Digits(objects == 0 ? 0 : objects - 1))),
      fps_(fps),
      binary_(binary) {}

bool GltfScene::Open(const std::string& target) {
    if (!target_.Create(target)) {
        error_ = target_.error();
        return false;
    }
    if (binary_ && !target_.CanWriteBack()) {  // refused before anything reaches the pipe
        error_ = scene_text::kGlbToPipe;
        target_.Remove();
        return false;
    }
    for (BinaryFile* spool : Spools()) spool->CreateTemporary(target);
    nodes_json_.json.ContinueArray(false);
    channels_json_.json.ContinueArray(false);
    inputs_json_.json.ContinueArray(true);  // after the mesh's two accessors
    outputs_json_.json.ContinueArray(true);
    return true;
}

void GltfScene::JsonSpool::Drain(std::size_t at_least) {
    if (json.text().size() < at_least) return;
    file.Write(json.text());
    json.text().clear();
}

bool GltfScene::Check(BinaryFile& file) {
    if (!file.failed()) return true;
    if (error_.empty()) error_ = file.error();
    return false;
}

// Compares in pieces, so that tracks of any length cost no more memory than a piece.
bool GltfScene::SameFrames(std::int32_t input, SpooledTracks& tracks) {
    const Input& in = inputs_[static_cast<std::size_t>(input)];
    if (in.count != tracks.count) return false;
    std::vector<std::int32_t> ours(std::min<std::uint64_t>(in.count, kFramePiece)), theirs(ours.size());
    for (std::uint64_t k = 0; k < in.count;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(in.count - k, ours.size()));
        if (!frames_.ReadAt(4 * (in.offset + k), ours.data(), 4 * n)) return false;
        if (!tracks.frames.ReadAt(4 * k, theirs.data(), 4 * n)) return false;
        if (!std::equal(ours.begin(), ours.begin() + static_cast<std::ptrdiff_t>(n), theirs.begin()))
            return false;
        k += n;
    }
    return true;
}

// Particles with the same key frames share one input accessor (in non-linear path mode, all of
// them). Inputs are found by a hash of their frames and confirmed against the frames themselves.
std::int32_t GltfScene::InputOf(SpooledTracks& tracks) {
    const auto index = static_cast<std::int32_t>(inputs_.size());
    const auto [found, fresh] = input_of_hash_.try_emplace(tracks.frames_hash, index);
    if (!fresh && SameFrames(found->second, tracks)) return found->second;
    const std::uint64_t offset = times_.size() / 4;
    inputs_.push_back(Input{offset, static_cast<std::uint32_t>(tracks.count)});
    JsonWriter& json = inputs_json_.json;
    OpenAccessor(json, 2, 4 * offset, kFloat, tracks.count, "SCALAR");
    const float last = KeyTime(tracks.last_frame, fps_), first = KeyTime(tracks.first_frame, fps_);
    json.Key("max");
    Floats(json, &last, 1);
    json.Key("min");
    Floats(json, &first, 1);
    json.EndObject();
    inputs_json_.Drain(kDrainSize);
    std::vector<std::int32_t> frames(std::min<std::uint64_t>(tracks.count, kFramePiece));
    std::vector<float> times(frames.size());
    for (std::uint64_t k = 0; k < tracks.count;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(tracks.count - k, frames.size()));
        if (!tracks.frames.ReadAt(4 * k, frames.data(), 4 * n)) break;
        std::transform(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(n), times.begin(),
                       [this](std::int32_t f) { return KeyTime(f, fps_); });
        times_.Write(times.data(), 4 * n);
        k += n;
    }
    frames_.AppendCopyOf(tracks.frames);
    return index;
}

void GltfScene::AddJson(const SpooledTracks& tracks, std::int32_t input) {
    static constexpr float kStill[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1};  // translation, scale, rotation
    const bool animated = input >= 0;
    const std::size_t n = node_inputs_.size();
    const std::string number = std::to_string(n);
    std::string name = "particle_";
    name.append(static_cast<std::size_t>(std::max(0, name_width_ - static_cast<int>(number.size()))), '0');
    name += number;
    JsonWriter& node = nodes_json_.json;
    node.BeginObject();
    node.Key("mesh");
    node.Int(0);
    node.Key("name");
    node.String(name);
    node.Key("rotation");
    ShortFloats(node, animated ? tracks.first_rotation.data() : kStill + 6, 4);
    node.Key("scale");
    ShortFloats(node, animated ? tracks.first_scale.data() : kStill + 3, 3);
    node.Key("translation");
    ShortFloats(node, animated ? tracks.first_translation.data() : kStill, 3);
    node.EndObject();
    nodes_json_.Drain(kDrainSize);
    if (!animated) return;

    static constexpr const char* kPaths[] = {"translation", "rotation", "scale"};
    static constexpr const char* kTypes[] = {"VEC3", "VEC4", "VEC3"};
    static constexpr std::uint64_t kBytes[] = {12, 16, 12};
    for (int path = 0; path < 3; ++path) {
        JsonWriter& channel = channels_json_.json;
        channel.BeginObject();
        channel.Key("sampler");
        channel.UInt(3 * animated_ + static_cast<std::uint64_t>(path));
        channel.Key("target");
        channel.BeginObject();
        channel.Key("node");
        channel.UInt(n);
        channel.Key("path");
        channel.String(kPaths[path]);
        channel.EndObject();
        channel.EndObject();
        OpenAccessor(outputs_json_.json, 3 + path, kBytes[path] * keys_, kFloat, tracks.count, kTypes[path]);
        outputs_json_.json.EndObject();
    }
    channels_json_.Drain(kDrainSize);
    outputs_json_.Drain(kDrainSize);
}

bool GltfScene::AddObject(SpooledTracks& tracks) {
    const std::uint64_t count = tracks.count;
    const std::int32_t input = count == 0 ? -1 : InputOf(tracks);
    AddJson(tracks, input);
    node_inputs_.push_back(input);
    if (count > 0) {
        translations_.AppendCopyOf(tracks.translations);
        rotations_.AppendCopyOf(tracks.rotations);
        scales_.AppendCopyOf(tracks.scales);
        keys_ += count;
        ++animated_;
    }
    bool ok = true;
    for (BinaryFile* spool : Spools()) ok = Check(*spool) && ok;
    for (BinaryFile* spool : {&tracks.frames, &tracks.translations, &tracks.rotations, &tracks.scales}) {
        ok = Check(*spool) && ok;
    }
    return ok;
}

bool GltfScene::Drain(JsonWriter& json) {
    target_.Write(json.text());
    json.text().clear();
    return Check(target_);
}

// The members a spool holds, in place in the document.
bool GltfScene::Splice(JsonWriter& json, JsonSpool& spool) {
    spool.Drain(0);
    if (!Drain(json) || !Check(spool.file)) return false;
    target_.AppendCopyOf(spool.file);
    return Check(target_);
}

// Everything but the end of the one buffer: its uri (for .gltf) and the closing brackets. The
// arrays keep the order the in-memory writer used: accessors of the mesh, the inputs, then three
// per animated particle; views of the positions, indices, times, translations, rotations, scales.
void GltfScene::WriteJson(JsonWriter& json, std::uint64_t buffer_length) {
    const auto drain = [&] {
        if (json.text().size() >= kDrainSize) Drain(json);
    };
    json.BeginObject();
    json.Key("asset");
    json.BeginObject();
    json.Key("generator");
    json.String("Vexo 1.1");
    json.Key("version");
    json.String("2.0");
    json.EndObject();
    json.Key("scene");
    json.Int(0);
    json.Key("scenes");
    json.BeginArray();
    json.BeginObject();
    if (!node_inputs_.empty()) {
        json.Key("nodes");
        json.BeginArray();
        for (std::size_t n = 0; n < node_inputs_.size(); ++n) {
            json.UInt(n);
            drain();
        }
        json.EndArray();
    }
    json.EndObject();
    json.EndArray();

    if (!node_inputs_.empty()) {
        json.Key("nodes");
        json.BeginArray();
        Splice(json, nodes_json_);
        json.EndArray();
    }

    json.Key("meshes");
    json.BeginArray();
    json.BeginObject();
    json.Key("name");
    json.String("particle");
    json.Key("primitives");
    json.BeginArray();
    json.BeginObject();
    json.Key("attributes");
    json.BeginObject();
    json.Key("POSITION");
    json.Int(0);
    json.EndObject();
    json.Key("indices");
    json.Int(1);
    json.Key("mode");
    json.Int(kTriangles);
    json.EndObject();
    json.EndArray();
    json.EndObject();
    json.EndArray();

    const bool animated = !inputs_.empty();
    if (animated) {
        const std::uint64_t first_output = 2 + inputs_.size();
        json.Key("animations");
        json.BeginArray();
        json.BeginObject();
        json.Key("name");
        json.String("particles");
        json.Key("samplers");
        json.BeginArray();
        std::uint64_t sampler = 0;
        for (const std::int32_t input : node_inputs_) {
            if (input < 0) continue;
            for (int path = 0; path < 3; ++path, ++sampler) {
                json.BeginObject();
                json.Key("input");
                json.UInt(2 + static_cast<std::uint64_t>(input));
                json.Key("interpolation");
                json.String("LINEAR");
                json.Key("output");
                json.UInt(first_output + sampler);
                json.EndObject();
            }
            drain();
        }
        json.EndArray();
        json.Key("channels");
        json.BeginArray();
        Splice(json, channels_json_);
        json.EndArray();
        json.EndObject();
        json.EndArray();
    }

    json.Key("accessors");
    json.BeginArray();
    std::array<float, 3> lo{}, hi{};
    if (!mesh_.positions.empty()) {
        std::copy_n(mesh_.positions.begin(), 3, lo.begin());
        hi = lo;
    }
    for (std::size_t i = 0; i < mesh_.positions.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], mesh_.positions[i]);
        hi[i % 3] = std::max(hi[i % 3], mesh_.positions[i]);
    }
    OpenAccessor(json, 0, 0, kFloat, mesh_.positions.size() / 3, "VEC3");
    json.Key("max");
    Floats(json, hi.data(), 3);
    json.Key("min");
    Floats(json, lo.data(), 3);
    json.EndObject();
    OpenAccessor(json, 1, 0, kUnsignedInt, mesh_.indices.size(), "SCALAR");
    json.EndObject();
    Splice(json, inputs_json_);
    Splice(json, outputs_json_);
    json.EndArray();

    json.Key("bufferViews");
    json.BeginArray();
    std::uint64_t offset = 0;
    const std::uint64_t mesh_lengths[] = {4 * mesh_.positions.size(), 4 * mesh_.indices.size()};
    View(json, offset, mesh_lengths[0], kArrayBuffer);
    offset += mesh_lengths[0];
    View(json, offset, mesh_lengths[1], kElementArrayBuffer);
    offset += mesh_lengths[1];
    if (animated) {
        for (const BinaryFile* section : {&times_, &translations_, &rotations_, &scales_}) {
            View(json, offset, section->size(), 0);
            offset += section->size();
        }
    }
    json.EndArray();

    json.Key("buffers");
    json.BeginArray();
    json.BeginObject();
    json.Key("byteLength");
    json.UInt(buffer_length);
}

bool GltfScene::WriteGlb() {
    const std::uint64_t buffer_length = 4 * (mesh_.positions.size() + mesh_.indices.size()) + times_.size() +
                                        translations_.size() + rotations_.size() + scales_.size();
    if (buffer_length > std::numeric_limits<std::uint32_t>::max()) {
        error_ = scene_text::kGlbTooLarge;
        return false;
    }
    unsigned char header[kGlbHeaderSize + kChunkHeaderSize] = {};
    target_.Write(header, sizeof header);
    JsonWriter json;
    WriteJson(json, buffer_length);
    json.EndObject();
    json.EndArray();
    json.EndObject();
    if (json.failed()) {
        error_ = scene_text::kNotFinite;
        return false;
    }
    json.text().append((4 - (target_.size() + json.text().size()) % 4) % 4, ' ');
    if (!Drain(json)) return false;
    const std::uint64_t json_length = target_.size() - sizeof header;
    const std::uint64_t total = target_.size() + kChunkHeaderSize + buffer_length;
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        error_ = scene_text::kGlbTooLarge;
        return false;
    }
    unsigned char bin[kChunkHeaderSize];
    PutU32(bin, static_cast<std::uint32_t>(buffer_length));  // a multiple of 4: no padding
    PutU32(bin + 4, kBinChunk);
    target_.Write(bin, sizeof bin);
    target_.Write(mesh_.positions.data(), 4 * mesh_.positions.size());
    target_.Write(mesh_.indices.data(), 4 * mesh_.indices.size());
    for (BinaryFile* section : {&times_, &translations_, &rotations_, &scales_}) {
        if (!target_.AppendCopyOf(*section)) return Check(target_);
    }
    PutU32(header, kGlbMagic);
    PutU32(header + 4, kGlbVersion);
    PutU32(header + 8, static_cast<std::uint32_t>(total));
    PutU32(header + 12, static_cast<std::uint32_t>(json_length));
    PutU32(header + 16, kJsonChunk);
    target_.WriteAt(0, header, sizeof header);
    return Check(target_);
}

bool GltfScene::WriteGltf() {
    const std::uint64_t buffer_length = 4 * (mesh_.positions.size() + mesh_.indices.size()) + times_.size() +
                                        translations_.size() + rotations_.size() + scales_.size();
    JsonWriter json;
    WriteJson(json, buffer_length);
    json.Key("uri");
    json.RawValue("\"data:application/octet-stream;base64,");
    if (json.failed()) {
        error_ = scene_text::kNotFinite;
        return false;
    }
    if (!Drain(json)) return false;

    Base64Encoder base64;
    std::string text;
    const auto encode = [&](const void* data, std::size_t size) {
        base64.Append(static_cast<const unsigned char*>(data), size, text);
        if (text.size() >= kDrainSize) {
            target_.Write(text);
            text.clear();
        }
    };
    encode(mesh_.positions.data(), 4 * mesh_.positions.size());
    encode(mesh_.indices.data(), 4 * mesh_.indices.size());
    std::vector<unsigned char> chunk(3 * kDrainSize);
    for (BinaryFile* section : {&times_, &translations_, &rotations_, &scales_}) {
        for (std::uint64_t at = 0; at < section->size() && Check(target_);) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), section->size() - at));
            if (!section->ReadAt(at, chunk.data(), n)) return Check(*section);
            encode(chunk.data(), n);
            at += n;
        }
    }
    base64.Finish(text);
    text += '"';
    target_.Write(text);
    json.EndObject();
    json.EndArray();
    json.EndObject();
    return Drain(json);
}

bool GltfScene::Finish() {
    for (BinaryFile* spool : Spools()) {
        if (!Check(*spool)) return false;
    }
    for (const JsonSpool* spool : {&nodes_json_, &channels_json_, &inputs_json_, &outputs_json_}) {
        if (spool->json.failed()) {
            error_ = scene_text::kNotFinite;
            return false;
        }
    }
    if (!(binary_ ? WriteGlb() : WriteGltf())) return false;
    target_.Close();
    return Check(target_);
}

void GltfScene::Remove() {
    target_.Remove();
    for (BinaryFile* spool : Spools()) spool->Remove();
}

}  // namespace vexo
