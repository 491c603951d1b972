// The two point-cache formats: their headers, the byte order and axes of their points, their
// sizes and limits, and the name of the object file each is written beside. Knows nothing of
// files. PC2 (little-endian) holds points in glTF's axes, as its OBJ does; MDD (big-endian) in
// LightWave's, as its LWO does (z mirrored).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/writers/scene_formats.hpp"

namespace vexo {

bool IsPointCache(SceneFormat format);

// The object a cache deforms: NAME.obj beside NAME.pc2, NAME.lwo beside NAME.mdd. A target that
// does not end in the format's own extension keeps its whole name: "cache" gives "cache.obj".
std::string CompanionPath(const std::string& target, SceneFormat format);

// What a cache holds: `points` points (every vertex of every particle's copy) at `samples`
// frames, sample k being scene frame k.
struct CacheLayout {
    SceneFormat format = SceneFormat::Pc2;
    std::uint64_t points = 0;
    std::uint64_t samples = 0;

    // PC2: 32 bytes; MDD: 8 bytes and the time of every frame.
    std::uint64_t header_size() const;
    std::uint64_t row_size() const { return 12 * points; }  // one sample: x, y, z of every point
    std::uint64_t file_size() const { return header_size() + samples * row_size(); }
};

// The fixed start of the header: PC2's whole header, or MDD's frame and point counts.
std::string CacheHeaderStart(const CacheLayout& layout);
// MDD: the times of frames first .. first + count - 1, in seconds (frame / fps), big-endian.
void AppendMddTimes(std::string& out, std::uint64_t first, std::uint64_t count, double fps);

// One point, given in glTF's axes, as the cache stores it: 12 bytes at `out`. (Each number is
// stored on its own: one 12-byte copy of three numbers just stored stalls the processor.)
inline void PutPc2Point(unsigned char* out, float x, float y, float z) {
    static_assert(std::endian::native == std::endian::little);  // PC2's own order
    std::memcpy(out, &x, 4);
    std::memcpy(out + 4, &y, 4);
    std::memcpy(out + 8, &z, 4);
}
inline void PutMddPoint(unsigned char* out, float x, float y, float z) {
    static_assert(std::endian::native == std::endian::little);  // swapped to big-endian
    const std::uint32_t v[3] = {__builtin_bswap32(std::bit_cast<std::uint32_t>(x)),
                                __builtin_bswap32(std::bit_cast<std::uint32_t>(y)),
                                __builtin_bswap32(std::bit_cast<std::uint32_t>(-z))};  // LightWave's z
    for (int i = 0; i < 3; ++i) std::memcpy(out + 4 * i, &v[i], 4);
}

// The limits of the formats and of the LightWave object beside an MDD.
inline constexpr std::uint64_t kMaxCachePoints = 2147483647;   // a signed 32-bit count
inline constexpr std::uint64_t kMaxCacheSamples = 2147483647;  // the same
inline constexpr std::uint64_t kMaxLwoIndex = 16777216;        // points and polygons: 24-bit indices
// (Within these an LWO stays far below the 4 GiB its 32-bit length allows.)

// The particle object's size, for the refusals.
struct CacheMeshSize {
    std::uint64_t vertices = 0;
    std::uint64_t faces = 0;
};

// Nothing when a cache of `particles` copies of the mesh over frames 0 to `last_frame` can be
// written, else the text that says which number is too large.
std::optional<std::string> RefuseCache(SceneFormat format, std::uint64_t particles, const CacheMeshSize& mesh,
                                       std::int64_t last_frame);

}  // namespace vexo
