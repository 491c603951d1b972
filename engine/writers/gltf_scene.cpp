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
constexpr std::size_t kDrainSize = 1 << 20;

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

std::uint64_t HashOf(const std::vector<std::int32_t>& frames) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const std::int32_t f : frames) hash = (hash ^ static_cast<std::uint32_t>(f)) * 0x100000001b3u;
    return hash;
}

void Floats(JsonWriter& json, const float* values, std::size_t count) {
    json.BeginArray();
    for (std::size_t i = 0; i < count; ++i) json.Double(values[i]);
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

GltfScene::GltfScene(Mesh mesh, std::uint32_t objects, bool binary)
    : mesh_(std::move(mesh)), name_width_(std::max(4, Digits(objects == 0 ? 0 : objects - 1))), binary_(binary) {}

bool GltfScene::Open(const std::string& target) {
    if (!target_.Create(target)) {
        error_ = target_.error();
        return false;
    }
    for (BinaryFile* spool : {&times_, &translations_, &rotations_, &scales_, &frames_}) {
        if (!spool->CreateTemporary(target)) {
            error_ = spool->error();
            Remove();
            return false;
        }
    }
    return true;
}

bool GltfScene::Check(BinaryFile& file) {
    if (!file.failed()) return true;
    if (error_.empty()) error_ = file.error();
    return false;
}

bool GltfScene::SameFrames(std::int32_t input, const std::vector<std::int32_t>& frames) {
    const Input& in = inputs_[static_cast<std::size_t>(input)];
    if (in.count != frames.size()) return false;
    if (input != cached_input_) {
        cached_input_ = -1;
        cached_frames_.resize(in.count);
        if (!frames_.ReadAt(4 * in.offset, cached_frames_.data(), 4 * std::size_t{in.count})) return false;
        cached_input_ = input;
    }
    return cached_frames_ == frames;
}

// Particles with the same key frames share one input accessor (in non-linear path mode, all of
// them). Inputs are found by a hash of their frames and confirmed against the frames themselves.
std::int32_t GltfScene::InputOf(const std::vector<std::int32_t>& frames) {
    const auto index = static_cast<std::int32_t>(inputs_.size());
    const auto [found, fresh] = input_of_hash_.try_emplace(HashOf(frames), index);
    if (!fresh && SameFrames(found->second, frames)) return found->second;
    std::vector<float> times(frames.size());
    std::transform(frames.begin(), frames.end(), times.begin(), KeyTime);
    inputs_.push_back(Input{times_.size() / 4, static_cast<std::uint32_t>(frames.size()), times.front(), times.back()});
    times_.Write(times.data(), 4 * times.size());
    frames_.Write(frames.data(), 4 * frames.size());
    cached_input_ = index;
    cached_frames_ = frames;
    return index;
}

bool GltfScene::AddObject(const GltfTracks& tracks) {
    const std::size_t count = tracks.frames.size();
    if (count == 0) {
        nodes_.push_back(Node{-1, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0, 1}});
        return true;
    }
    Node node{InputOf(tracks.frames), static_cast<std::uint32_t>(count), {}, {}, {}};
    std::copy_n(tracks.translations.begin(), 3, node.t0.begin());
    std::copy_n(tracks.rotations.begin(), 4, node.r0.begin());
    std::copy_n(tracks.scales.begin(), 3, node.s0.begin());
    nodes_.push_back(node);
    translations_.Write(tracks.translations.data(), 4 * tracks.translations.size());
    rotations_.Write(tracks.rotations.data(), 4 * tracks.rotations.size());
    scales_.Write(tracks.scales.data(), 4 * tracks.scales.size());
    bool ok = true;
    for (BinaryFile* spool : {&times_, &translations_, &rotations_, &scales_, &frames_}) ok = Check(*spool) && ok;
    return ok;
}

bool GltfScene::Drain(JsonWriter& json) {
    target_.Write(json.text());
    json.text().clear();
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
    if (!nodes_.empty()) {
        json.Key("nodes");
        json.BeginArray();
        for (std::size_t n = 0; n < nodes_.size(); ++n) {
            json.UInt(n);
            drain();
        }
        json.EndArray();
    }
    json.EndObject();
    json.EndArray();

    if (!nodes_.empty()) {
        json.Key("nodes");
        json.BeginArray();
        std::string name;
        for (std::size_t n = 0; n < nodes_.size(); ++n) {
            const Node& node = nodes_[n];
            const std::string number = std::to_string(n);
            name.assign("particle_");
            name.append(static_cast<std::size_t>(std::max(0, name_width_ - static_cast<int>(number.size()))), '0');
            name += number;
            json.BeginObject();
            json.Key("mesh");
            json.Int(0);
            json.Key("name");
            json.String(name);
            json.Key("rotation");
            Floats(json, node.r0.data(), 4);
            json.Key("scale");
            Floats(json, node.s0.data(), 3);
            json.Key("translation");
            Floats(json, node.t0.data(), 3);
            json.EndObject();
            drain();
        }
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
    const std::uint64_t first_output = 2 + inputs_.size();
    if (animated) {
        static constexpr const char* kPaths[] = {"translation", "rotation", "scale"};
        json.Key("animations");
        json.BeginArray();
        json.BeginObject();
        json.Key("name");
        json.String("particles");
        for (const bool samplers : {true, false}) {
            json.Key(samplers ? "samplers" : "channels");
            json.BeginArray();
            std::uint64_t animated_index = 0;
            for (std::size_t n = 0; n < nodes_.size(); ++n) {
                if (nodes_[n].input < 0) continue;
                for (std::uint64_t path = 0; path < 3; ++path) {
                    const std::uint64_t sampler = 3 * animated_index + path;
                    json.BeginObject();
                    if (samplers) {
                        json.Key("input");
                        json.UInt(2 + static_cast<std::uint64_t>(nodes_[n].input));
                        json.Key("interpolation");
                        json.String("LINEAR");
                        json.Key("output");
                        json.UInt(first_output + sampler);
                    } else {
                        json.Key("sampler");
                        json.UInt(sampler);
                        json.Key("target");
                        json.BeginObject();
                        json.Key("node");
                        json.UInt(n);
                        json.Key("path");
                        json.String(kPaths[path]);
                        json.EndObject();
                    }
                    json.EndObject();
                }
                ++animated_index;
                drain();
            }
            json.EndArray();
        }
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
    for (const Input& input : inputs_) {
        OpenAccessor(json, 2, 4 * input.offset, kFloat, input.count, "SCALAR");
        json.Key("max");
        Floats(json, &input.last, 1);
        json.Key("min");
        Floats(json, &input.first, 1);
        json.EndObject();
        drain();
    }
    std::uint64_t key = 0;  // keys of the particles before, in the output views
    for (const Node& node : nodes_) {
        if (node.input < 0) continue;
        OpenAccessor(json, 3, 12 * key, kFloat, node.count, "VEC3");
        json.EndObject();
        OpenAccessor(json, 4, 16 * key, kFloat, node.count, "VEC4");
        json.EndObject();
        OpenAccessor(json, 5, 12 * key, kFloat, node.count, "VEC3");
        json.EndObject();
        key += node.count;
        drain();
    }
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
    std::vector<unsigned char> chunk(3 * kDrainSize / 4);
    for (BinaryFile* section : {&times_, &translations_, &rotations_, &scales_}) {
        for (std::uint64_t at = 0; at < section->size() && Check(target_);) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), section->size() - at));
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
    for (BinaryFile* spool : {&times_, &translations_, &rotations_, &scales_, &frames_}) {
        spool->Flush();
        if (!Check(*spool)) return false;
    }
    if (!(binary_ ? WriteGlb() : WriteGltf())) return false;
    target_.Close();
    return Check(target_);
}

void GltfScene::Remove() {
    target_.Remove();
    for (BinaryFile* spool : {&times_, &translations_, &rotations_, &scales_, &frames_}) spool->Remove();
}

}  // namespace vexo
