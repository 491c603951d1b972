#include "engine/generation/scene_estimate.hpp"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string_view>

#include "engine/generation/frame_loop.hpp"
#include "engine/motion/motion_file.hpp"
#include "engine/settings/settings_fields.hpp"
#include "engine/writers/binary_file.hpp"
#include "engine/writers/cache_object.hpp"
#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/object_mesh.hpp"
#include "engine/writers/point_cache.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"

namespace vexo {
namespace scene_text {

namespace {
std::string Needs(std::uint64_t needed, bool exact) {
    return std::string(exact ? "The scene needs " : "The scene needs about ") + ByteCount(needed);
}
}  // namespace

std::string NoRoom(std::uint64_t needed, std::uint64_t free, bool exact, std::uint64_t while_written) {
    const std::string at_once =
        while_written > needed ? ",\n" + ByteCount(while_written) + " while it is written" : std::string();
    return "Cannot create the scene:\n" + Needs(needed, exact) + at_once + ",\nbut its file system has " +
           ByteCount(free) + " free.\n\nNothing was written.";
}

std::string TooLongToMeasure(std::uint64_t frames) {
    return "measuring objects of " + std::to_string(frames) + " frames";
}

std::string LargeSceneQuestion(std::uint64_t needed, std::optional<std::uint64_t> free, bool exact) {
    return Needs(needed, exact) + ".\n" +
           (free ? "Its file system has " + ByteCount(*free) + " free.\n" : std::string()) + "\nWrite it?";
}

}  // namespace scene_text

std::string ShortByteCount(std::uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + " bytes";
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1000.0;
    int unit = 0;
    while (value >= 999.95 && unit < 5) {
        value /= 1000.0;
        ++unit;
    }
    char scaled[32];
    std::snprintf(scaled, sizeof scaled, "%.1f %s", value, kUnits[unit]);
    return scaled;
}

std::string ByteCount(std::uint64_t bytes) {
    const std::string text = std::to_string(bytes) + " bytes";
    return bytes < 1000 ? text : text + " (" + ShortByteCount(bytes) + ")";
}

std::uint64_t SceneEstimate::BytesAfter(std::uint32_t done) const {
    done = std::min(done, objects);
    if (done == 0) return header;
    if (object_ends.size() == objects) return object_ends[done - 1];
    return header + (bytes - header) * done / objects;
}

std::optional<std::uint64_t> FreeSpaceFor(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    struct statvfs fs {};
    if (::statvfs(target.c_str(), &fs) != 0 && ::statvfs(folder.c_str(), &fs) != 0) return std::nullopt;
    return std::uint64_t{fs.f_bavail} * fs.f_frsize;
}

bool TargetTakesSpace(const std::string& target) {
    std::error_code error;
    const auto kind = std::filesystem::status(target, error).type();
    return kind == std::filesystem::file_type::not_found || kind == std::filesystem::file_type::regular;
}

namespace {

// Counts what every object block of the collected keys adds to the file.
class SizingReceiver : public KeyReceiver {
  public:
    SizingReceiver(const Settings& settings, const GenerateOptions& options, std::uint64_t header)
        : object_(PathText(settings.particle_object)), options_(options), header_(header) {}
    void Motion(const MotionTable&, const EngineState& state) override { channels_ = state.no_info_channels; }
    void Object(std::uint32_t, ObjectKeys& keys) override {
        scratch_.clear();
        switch (options_.format) {
            case SceneFormat::Lwsc1: {
                AppendObjectStart(scratch_, object_, channels_, static_cast<std::uint32_t>(keys.size()));
                for (const SceneKey& key : keys) AppendKeyValues(scratch_, key.value, key.frame);
                AppendObjectEnd(scratch_);
                keys_ += keys.size();
                break;
            }
            case SceneFormat::Lwsc3:
                AppendLwsc3Object(scratch_, object_, keys, options_.fps);
                keys_ += keys.size();
                break;
            default: {  // glTF: the tracks' floats exactly, their JSON from typical lengths
                const std::uint64_t n = MakeGltfTracks(keys).frames.size();
                keys_ += n;
                gltf_binary_ += 44 * n;  // time, translation, rotation and scale of a key
                gltf_json_ += n == 0 ? kStillNodeJson : kAnimatedNodeJson;
                break;
            }
        }
        text_ += scratch_.size();
        if (!scratch_.empty()) ends_.push_back(header_ + text_);
    }

    // The node with its rest transform, and for a moving one its three channels, samplers and
    // output accessors and its input accessor, as the writer spells them with typical numbers.
    static constexpr std::uint64_t kStillNodeJson = 110;
    static constexpr std::uint64_t kAnimatedNodeJson = 690;

    std::uint64_t keys_ = 0;
    std::uint64_t text_ = 0;
    std::uint64_t gltf_binary_ = 0;
    std::uint64_t gltf_json_ = 0;
    std::vector<std::uint64_t> ends_;

  private:
    std::string object_;
    const GenerateOptions& options_;
    std::uint64_t header_;
    std::uint32_t channels_ = 0;
    std::string scratch_;
};

// A point cache's object keeps the particle object's polygons; a glTF mesh is triangles.
std::optional<Mesh> ParticleMesh(const Settings& settings, MessageSink& sink, bool cache) {
    const std::string path = PathText(settings.particle_object);
    std::optional<Mesh> mesh = cache ? LoadObjectPolygons(path) : LoadObjectMesh(path);
    if (!mesh) {
        sink.Message(cache ? scene_text::kUnitCubeCache : scene_text::kUnitCube);
        mesh = UnitCube(cache);
    }
    return mesh;
}

std::uint64_t GltfMeshBytes(const Mesh& mesh) {
    // The mesh's floats and indices, with its accessors, views and the document's fixed parts.
    constexpr std::uint64_t kFixedJson = 570;
    return 4 * (mesh.positions.size() + mesh.indices.size()) + kFixedJson;
}

EstimateResult CacheEstimate(const Settings& settings, const EngineState& state, MessageSink& sink,
                             const GenerateOptions& options) {
    EstimateResult result;
    result.report.objects_total = static_cast<std::uint32_t>(settings.num_particles);
    if (const auto refusal = RefuseSettings(settings)) {
        sink.Message(*refusal);
        result.report.outcome = WriteOutcome::Refused;
        return result;
    }
    std::optional<Mesh> mesh = ParticleMesh(settings, sink, true);
    mesh = WeldedPoints(*mesh);
    const std::uint64_t particles = result.report.objects_total;
    const std::uint64_t vertices = mesh->positions.size() / 3;
    if (const auto refusal =
            RefuseCache(options.format, particles, {vertices, mesh->face_count()}, settings.last_frame)) {
        sink.Message(*refusal);
        result.report.outcome = WriteOutcome::Refused;
        return result;
    }
    // The cache is made from the motion: one that cannot be read stops it as it would the scene.
    EngineState scratch = state;
    if (!GetMotionFile(settings, sink, scratch, options.fps)) {
        result.report.result = SceneResult::MotionFileError;
        return result;
    }
    const CacheLayout layout{options.format, particles * vertices,
                             static_cast<std::uint64_t>(settings.last_frame) + 1};
    std::uint64_t object = 0;
    if (options.format == SceneFormat::Pc2) {
        const std::string target = PathText(settings.target_scene);
        const auto slash = target.rfind('/');
        WriteObjCopies(*mesh, particles, slash == std::string::npos ? target : target.substr(slash + 1),
                       [&object](std::string_view piece) {
                           object += piece.size();
                           return true;
                       });
    } else {
        object = LwoCopiesSize(*mesh, particles);
    }
    result.report.outcome = WriteOutcome::Complete;
    result.estimate = SceneEstimate{
        result.report.objects_total, layout.samples * particles, layout.file_size() + object, true, 0, {}};
    return result;
}

}  // namespace

EstimateResult EstimateScene(const Settings& settings, const EngineState& state, MessageSink& sink,
                             PassHook& hook, const GenerateOptions& options) {
    EstimateResult result;
    try {
        if (IsPointCache(options.format)) return CacheEstimate(settings, state, sink, options);
        // The measuring holds one object's keys at a time; an object with a key on each of more
        // frames than that is not measured (the writer itself stays in bounded memory).
        const std::uint64_t frames = FramesOf(settings).count;
        if (!IsOn(settings.linear_path) && frames + 1 > kMeasuredKeys &&
            RefuseSettings(settings) == std::nullopt) {
            result.report.result = SceneResult::NoMemory;
            result.report.error = scene_text::TooLongToMeasure(frames);
            return result;
        }
        const bool gltf = options.format == SceneFormat::Gltf || options.format == SceneFormat::Glb;
        std::optional<Mesh> mesh;
        if (gltf && RefuseSettings(settings) == std::nullopt) mesh = ParticleMesh(settings, sink, false);
        std::string header;
        if (options.format == SceneFormat::Lwsc1) AppendSceneHeader(header, settings, options.fps);
        if (options.format == SceneFormat::Lwsc3) AppendLwsc3Header(header, settings, options.fps);
        SizingReceiver receiver(settings, options, header.size());
        EngineState scratch = state;
        result.report = CollectSceneKeys(settings, scratch, sink, hook, receiver, options);
        if (result.report.result != SceneResult::Done || result.report.outcome != WriteOutcome::Complete) {
            return result;
        }
        SceneEstimate estimate{
            result.report.objects_total, receiver.keys_, header.size() + receiver.text_, !gltf, header.size(),
            std::move(receiver.ends_)};
        if (gltf) {
            const std::uint64_t binary = GltfMeshBytes(*mesh) + receiver.gltf_binary_;
            // A .gltf embeds its buffer as base64: four characters for every three bytes.
            estimate.bytes = receiver.gltf_json_ +
                             (options.format == SceneFormat::Glb ? binary + 28 : (binary + 2) / 3 * 4 + 40);
            // Its tracks and JSON wait in temporary files beside it, which leave memory past a
            // buffer: a scene larger than one buffer takes about its size twice at the end.
            if (estimate.bytes > BinaryFile::kDefaultBuffer) estimate.while_written = 2 * estimate.bytes;
        }
        result.estimate = estimate;
    } catch (const std::bad_alloc&) {
        result.report.result = SceneResult::NoMemory;
        result.report.error = "the estimate";
    }
    return result;
}

}  // namespace vexo
