#include "engine/simulation/triangle_mesh.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vexo {
namespace {

// Open addressing over the three coordinates' bits (-0 counts as 0), keys kept in the table so
// that a lookup touches one place in memory. Grows to stay at most half full.
class PointTable {
  public:
    explicit PointTable(std::size_t expected) { Resize(std::max<std::size_t>(16, expected)); }
    // The number of the point at `p` among those seen so far, or `next` when it is new.
    std::uint32_t Find(const float* p, std::uint32_t next) {
        if (2 * (used_ + 1) > slots_.size()) Resize(2 * slots_.size());
        const Slot key{Bits(p[0]), Bits(p[1]), Bits(p[2]), next};
        for (std::size_t i = Hash(key) & mask_;; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.index == kEmpty) {
                slot = key;
                ++used_;
                return next;
            }
            if (slot.x == key.x && slot.y == key.y && slot.z == key.z) return slot.index;
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    struct Slot {
        std::uint32_t x, y, z, index;
    };
    static std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v + 0.0f); }
    static std::uint64_t Hash(const Slot& s) {
        std::uint64_t h = (std::uint64_t{s.x} * 0x9E3779B97F4A7C15u) ^
                          (std::uint64_t{s.y} * 0xC2B2AE3D27D4EB4Fu) ^
                          (std::uint64_t{s.z} * 0x165667B19E3779F9u);
        return h ^ (h >> 29);
    }
    void Resize(std::size_t size) {
        std::size_t power = 16;
        while (power < size) power *= 2;
        std::vector<Slot> old(power, Slot{0, 0, 0, kEmpty});
        old.swap(slots_);
        mask_ = power - 1;
        for (const Slot& slot : old) {
            if (slot.index == kEmpty) continue;
            std::size_t i = Hash(slot) & mask_;
            while (slots_[i].index != kEmpty) i = (i + 1) & mask_;
            slots_[i] = slot;
        }
    }
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
};

}  // namespace

MeshProblem MakeTriangleMesh(const Mesh& read, TriangleMesh& out) {
    out = TriangleMesh{};
    const std::size_t vertices = read.positions.size() / 3;
    for (float v : read.positions) {
        if (!std::isfinite(v)) return MeshProblem::NotFinite;
    }
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // Points are numbered in the order the reader lists their first vertex; only vertices of
    // faces count.
    std::vector<std::uint32_t> joined(vertices, kNone);
    for (std::size_t i = 0; i + 2 < read.indices.size(); i += 3) {
        if (read.indices[i] < vertices && read.indices[i + 1] < vertices && read.indices[i + 2] < vertices) {
            for (std::size_t c = 0; c < 3; ++c) joined[read.indices[i + c]] = 0;
        }
    }
    std::vector<float> kept;  // the first vertex of each point
    PointTable table(vertices / 4);
    for (std::size_t v = 0; v < vertices; ++v) {
        if (joined[v] == kNone) continue;
        const float* p = &read.positions[3 * v];
        const auto next = static_cast<std::uint32_t>(kept.size() / 3);
        joined[v] = table.Find(p, next);
        if (joined[v] == next) kept.insert(kept.end(), {p[0], p[1], p[2]});
    }
    out.triangles.reserve(read.indices.size() / 3);
    std::vector<bool> used(kept.size() / 3, false);
    for (std::size_t i = 0; i + 2 < read.indices.size(); i += 3) {
        if (read.indices[i] >= vertices || read.indices[i + 1] >= vertices || read.indices[i + 2] >= vertices)
            continue;
        const std::uint32_t a = joined[read.indices[i]], b = joined[read.indices[i + 1]],
                            c = joined[read.indices[i + 2]];
        if (a == b || b == c || a == c) continue;  // no area and no edges of its own
        // Mirroring z turns the winding round: b and c change places to keep the front.
        out.triangles.push_back({a, c, b});
        used[a] = used[b] = used[c] = true;
    }
    if (out.triangles.empty()) return MeshProblem::NoFaces;
    // Points only the dropped triangles used are no part of the mesh; the others keep their order.
    std::vector<std::uint32_t> renumbered(used.size(), kNone);
    out.points.reserve(used.size());
    for (std::size_t v = 0; v < used.size(); ++v) {
        if (!used[v]) continue;
        renumbered[v] = static_cast<std::uint32_t>(out.points.size());
        const Vector3 p{kept[3 * v], kept[3 * v + 1], 0.0 - double{kept[3 * v + 2]}};  // never -0
        out.points.push_back(p);
        out.bounds.Add(p);
    }
    for (auto& t : out.triangles) {
        for (std::uint32_t& v : t) v = renumbered[v];
    }
    return MeshProblem::None;
}

std::uint64_t OddEdges(const TriangleMesh& mesh) {
    // Each edge is listed under its lower point: a counting pass, a filling pass, then each
    // point's few higher neighbours sorted and counted in runs.
    std::vector<std::uint32_t> start(mesh.points.size() + 1, 0);
    for (const auto& t : mesh.triangles) {
        for (int i = 0; i < 3; ++i) ++start[std::min(t[i], t[(i + 1) % 3]) + 1];
    }
    for (std::size_t v = 0; v < mesh.points.size(); ++v) start[v + 1] += start[v];
    std::vector<std::uint32_t> higher(start.back());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (const auto& t : mesh.triangles) {
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t a = t[i], b = t[(i + 1) % 3];
            higher[fill[std::min(a, b)]++] = std::max(a, b);
        }
    }
    std::uint64_t odd = 0;
    for (std::size_t v = 0; v < mesh.points.size(); ++v) {
        const auto first = higher.begin() + start[v], last = higher.begin() + start[v + 1];
        std::sort(first, last);
        for (auto i = first; i != last;) {
            auto j = i + 1;
            while (j != last && *j == *i) ++j;
            if ((j - i) % 2 != 0) ++odd;
            i = j;
        }
    }
    return odd;
}

}  // namespace vexo
