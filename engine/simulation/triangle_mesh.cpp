#include "engine/simulation/triangle_mesh.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vexo {
namespace {

// Open addressing over the three coordinates' bits; -0 counts as 0.
class PointTable {
  public:
    explicit PointTable(std::size_t expected) {
        std::size_t size = 16;
        while (size < 2 * expected) size *= 2;
        slots_.assign(size, kEmpty);
        mask_ = size - 1;
    }
    // The index of the point at `p` among those seen so far, adding it as `next` when new.
    std::uint32_t Find(const float* p, std::uint32_t next, const std::vector<float>& keys) {
        const std::uint32_t x = Bits(p[0]), y = Bits(p[1]), z = Bits(p[2]);
        std::uint64_t h = (std::uint64_t{x} * 0x9E3779B97F4A7C15u) ^
                          (std::uint64_t{y} * 0xC2B2AE3D27D4EB4Fu) ^ (std::uint64_t{z} * 0x165667B19E3779F9u);
        h ^= h >> 29;
        for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t at = slots_[i];
            if (at == kEmpty) {
                slots_[i] = next;
                return next;
            }
            const float* q = &keys[3 * std::size_t{at}];
            if (Bits(q[0]) == x && Bits(q[1]) == y && Bits(q[2]) == z) return at;
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v + 0.0f); }
    std::vector<std::uint32_t> slots_;
    std::size_t mask_ = 0;
};

}  // namespace

MeshProblem MakeTriangleMesh(const Mesh& read, TriangleMesh& out) {
    out = TriangleMesh{};
    const std::size_t vertices = read.positions.size() / 3;
    for (float v : read.positions) {
        if (!std::isfinite(v)) return MeshProblem::NotFinite;
    }
    // The joined points keep the order in which the triangles first use them.
    std::vector<std::uint32_t> joined(vertices, 0xFFFFFFFFu);
    std::vector<float> kept;  // the first vertex of each point, as read
    PointTable table(vertices);
    out.triangles.reserve(read.indices.size() / 3);
    for (std::size_t t = 0; t + 2 < read.indices.size(); t += 3) {
        std::array<std::uint32_t, 3> corner{};
        bool usable = true;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t v = read.indices[t + static_cast<std::size_t>(c)];
            if (v >= vertices) {
                usable = false;
                break;
            }
            if (joined[v] == 0xFFFFFFFFu) {
                const float* p = &read.positions[3 * std::size_t{v}];
                const auto next = static_cast<std::uint32_t>(kept.size() / 3);
                joined[v] = table.Find(p, next, kept);
                if (joined[v] == next) kept.insert(kept.end(), {p[0], p[1], p[2]});
            }
            corner[static_cast<std::size_t>(c)] = joined[v];
        }
        if (!usable || corner[0] == corner[1] || corner[1] == corner[2] || corner[0] == corner[2]) continue;
        // Mirroring z turns the winding round: b and c change places to keep the front.
        out.triangles.push_back({corner[0], corner[2], corner[1]});
    }
    if (out.triangles.empty()) return MeshProblem::NoFaces;
    // Points only the dropped triangles used are no part of the mesh.
    std::vector<std::uint32_t> renumbered(kept.size() / 3, 0xFFFFFFFFu);
    out.points.reserve(kept.size() / 3);
    for (auto& t : out.triangles) {
        for (std::uint32_t& v : t) {
            if (renumbered[v] == 0xFFFFFFFFu) {
                renumbered[v] = static_cast<std::uint32_t>(out.points.size());
                const Vector3 p{kept[3 * std::size_t{v}], kept[3 * std::size_t{v} + 1],
                                -double{kept[3 * std::size_t{v} + 2]}};
                out.points.push_back(p);
                out.bounds.Add(p);
            }
            v = renumbered[v];
        }
    }
    return MeshProblem::None;
}

std::uint64_t OddEdges(const TriangleMesh& mesh) {
    std::vector<std::uint64_t> edges;
    edges.reserve(3 * mesh.triangles.size());
    for (const auto& t : mesh.triangles) {
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t a = t[static_cast<std::size_t>(i)],
                                b = t[static_cast<std::size_t>((i + 1) % 3)];
            edges.push_back((std::uint64_t{std::min(a, b)} << 32) | std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    std::uint64_t odd = 0;
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i + 1;
        while (j < edges.size() && edges[j] == edges[i]) ++j;
        if ((j - i) % 2 != 0) ++odd;
        i = j;
    }
    return odd;
}

}  // namespace vexo
