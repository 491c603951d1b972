#include "engine/writers/point_cache.hpp"

#include <limits>

#include "engine/settings/frame_rate.hpp"

namespace vexo {
namespace {

constexpr char kPc2Signature[12] = {'P', 'O', 'I', 'N', 'T', 'C', 'A', 'C', 'H', 'E', '2', '\0'};
constexpr std::uint64_t kPc2HeaderSize = 32;  // signature, version, points, start, rate, samples

void PutLe4(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
}
void PutBe4(std::string& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
}

std::string Number(std::uint64_t n) {
    return std::to_string(n);
}

}  // namespace

bool IsPointCache(SceneFormat format) {
    return format == SceneFormat::Pc2 || format == SceneFormat::Mdd;
}

std::string CompanionPath(const std::string& target, SceneFormat format) {
    const bool pc2 = format == SceneFormat::Pc2;
    const std::string_view own = pc2 ? ".pc2" : ".mdd";
    const std::string stem =
        EndsWithIgnoringCase(target, own) ? target.substr(0, target.size() - own.size()) : target;
    return stem + (pc2 ? ".obj" : ".lwo");
}

std::uint64_t CacheLayout::header_size() const {
    return format == SceneFormat::Pc2 ? kPc2HeaderSize : 8 + 4 * samples;
}

std::string CacheHeaderStart(const CacheLayout& layout) {
    std::string out;
    const auto points = static_cast<std::uint32_t>(layout.points);
    const auto samples = static_cast<std::uint32_t>(layout.samples);
    if (layout.format == SceneFormat::Pc2) {
        out.append(kPc2Signature, sizeof kPc2Signature);
        PutLe4(out, 1);  // version
        PutLe4(out, points);
        PutLe4(out, std::bit_cast<std::uint32_t>(0.0f));  // the first sample is frame 0
        PutLe4(out, std::bit_cast<std::uint32_t>(1.0f));  // one sample every frame
        PutLe4(out, samples);
    } else {
        PutBe4(out, samples);
        PutBe4(out, points);
    }
    return out;
}

void AppendMddTimes(std::string& out, std::uint64_t first, std::uint64_t count, double fps) {
    for (std::uint64_t k = first; k < first + count; ++k) {
        PutBe4(out, std::bit_cast<std::uint32_t>(static_cast<float>(FrameTime(static_cast<double>(k), fps))));
    }
}

std::optional<std::string> RefuseCache(SceneFormat format, std::uint64_t particles, const CacheMeshSize& mesh,
                                       std::int64_t last_frame) {
    const std::string head = "Cannot write a point cache of\n";
    if (last_frame < 0) {
        return "Cannot write a point cache:\nits samples start at frame 0,\nand the last frame is " +
               std::to_string(last_frame) + ".";
    }
    const auto samples = static_cast<std::uint64_t>(last_frame) + 1;
    if (samples > kMaxCacheSamples) {
        return head + Number(samples) + " frames (0 to " + std::to_string(last_frame) +
               "):\nit holds at most " + Number(kMaxCacheSamples) + ".";
    }
    const bool mdd = format == SceneFormat::Mdd;
    const std::uint64_t points = particles * mesh.vertices;  // both below 2^32: no overflow
    const std::uint64_t point_limit = mdd ? kMaxLwoIndex : kMaxCachePoints;
    if (points > point_limit) {
        return head + Number(particles) + " particles of " + Number(mesh.vertices) + " points:\n" +
               Number(points) + " points, and " + (mdd ? "a LightWave\nobject" : "a PC2 file") +
               " holds at most " + Number(point_limit) + ".";
    }
    const std::uint64_t polygons = particles * mesh.faces;
    if (mdd && polygons > kMaxLwoIndex) {
        return head + Number(particles) + " particles of " + Number(mesh.faces) + " polygons:\n" +
               Number(polygons) + " polygons, and a LightWave\nobject holds at most " + Number(kMaxLwoIndex) +
               ".";
    }
    // Points and samples are below 2^31 each, so 12 * points * samples fits in 128 bits.
    const unsigned __int128 bytes = static_cast<unsigned __int128>(12 * points) * samples + 8 + 4 * samples;
    if (bytes > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max())) {
        return head + Number(points) + " points at " + Number(samples) +
               " frames:\nthat is more than a file can hold.";
    }
    return std::nullopt;
}

}  // namespace vexo
