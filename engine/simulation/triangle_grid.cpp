#include "engine/simulation/triangle_grid.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexo {
namespace {

// About this many cells per triangle: a cell then holds a few triangles.
constexpr double kCellsPerTriangle = 1.0;
constexpr double kMaxCells = 1 << 22;

}  // namespace

TriangleGrid::TriangleGrid(const TriangleMesh& mesh) : mesh_(mesh) {
    // The box, widened a little so that no triangle lies on its faces, and never flat.
    const Vector3 extent = mesh.bounds.max - mesh.bounds.min;
    const double largest = std::max({extent.x, extent.y, extent.z, 1e-300});
    const double margin = largest * 1e-6;
    origin_ = mesh.bounds.min - Vector3{margin, margin, margin};
    double e[3];
    for (int a = 0; a < 3; ++a) e[a] = Component(extent, a) + 2 * margin;
    const double target =
        std::clamp(kCellsPerTriangle * static_cast<double>(mesh.triangles.size()), 1.0, kMaxCells);
    // Each triangle goes into every cell its box touches, the box widened by a share of a cell
    // so that a segment through a cell's edge or corner still finds what lies there.
    struct Range {
        std::int32_t lo[3], hi[3];
    };
    std::vector<Range> ranges(mesh.triangles.size());
    auto list = [&](std::uint32_t t, Range& r) {
        Bounds b;
        for (int c = 0; c < 3; ++c) b.Add(mesh.Corner(t, c));
        double listed = 1;
        for (int a = 0; a < 3; ++a) {
            const double o = Component(origin_, a), top = static_cast<double>(cells_[a] - 1);
            r.lo[a] = static_cast<std::int32_t>(
                std::clamp(std::floor((Component(b.min, a) - o) / size_[a] - 1e-6), 0.0, top));
            r.hi[a] = static_cast<std::int32_t>(
                std::clamp(std::floor((Component(b.max, a) - o) / size_[a] + 1e-6), 0.0, top));
            listed *= r.hi[a] - r.lo[a] + 1.0;
        }
        return listed;
    };
    // Cubic cells, about `target` of them; larger when a flat box would need many more, or when
    // large triangles would be listed in too many cells (a few dozen a triangle on average).
    double cell = std::cbrt(e[0] * e[1] * e[2] / target);
    for (;;) {
        double total = 1;
        for (int a = 0; a < 3; ++a) {
            cells_[a] = static_cast<std::int64_t>(std::clamp(std::ceil(e[a] / cell), 1.0, 4096.0));
            size_[a] = e[a] / static_cast<double>(cells_[a]);
            total *= static_cast<double>(cells_[a]);
        }
        double entries = 0;
        for (std::uint32_t t = 0; t < mesh.triangles.size() && total <= 4 * target + 64; ++t) {
            entries += list(t, ranges[t]);
        }
        if (total <= 4 * target + 64 && entries <= 32 * static_cast<double>(mesh.triangles.size()) + total)
            break;
        cell *= 1.25;
    }
    const std::size_t count = static_cast<std::size_t>(cells_[0] * cells_[1] * cells_[2]);
    auto at = [&](std::int64_t x, std::int64_t y, std::int64_t z) {
        return static_cast<std::size_t>((z * cells_[1] + y) * cells_[0] + x);
    };
    std::vector<std::uint32_t> fill(count + 1, 0);
    for (const Range& r : ranges) {
        for (std::int64_t z = r.lo[2]; z <= r.hi[2]; ++z)
            for (std::int64_t y = r.lo[1]; y <= r.hi[1]; ++y)
                for (std::int64_t x = r.lo[0]; x <= r.hi[0]; ++x) ++fill[at(x, y, z) + 1];
    }
    for (std::size_t c = 0; c < count; ++c) fill[c + 1] += fill[c];
    start_ = fill;
    triangles_.resize(fill[count]);
    for (std::uint32_t t = 0; t < mesh.triangles.size(); ++t) {
        const Range& r = ranges[t];
        for (std::int64_t z = r.lo[2]; z <= r.hi[2]; ++z)
            for (std::int64_t y = r.lo[1]; y <= r.hi[1]; ++y)
                for (std::int64_t x = r.lo[0]; x <= r.hi[0]; ++x) triangles_[fill[at(x, y, z)]++] = t;
    }
}

std::optional<SegmentHit> TriangleGrid::FirstHit(const Vector3& p, const Vector3& d) const {
    // The part of the segment inside the box.
    const double origin[3] = {p.x, p.y, p.z}, direction[3] = {d.x, d.y, d.z};
    double t0 = 0.0, t1 = 1.0 + kEndSlack;
    for (int a = 0; a < 3; ++a) {
        const double lo = Component(origin_, a), hi = lo + size_[a] * static_cast<double>(cells_[a]);
        if (direction[a] == 0.0) {
            if (origin[a] < lo || origin[a] > hi) return std::nullopt;
            continue;
        }
        double ta = (lo - origin[a]) / direction[a], tb = (hi - origin[a]) / direction[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
        if (t0 > t1) return std::nullopt;
    }
    // Cell by cell along the segment (Amanatides and Woo), from where it enters the box.
    std::int64_t cell[3], step[3];
    double next[3], delta[3];
    for (int a = 0; a < 3; ++a) {
        const double o = Component(origin_, a);
        const double at = origin[a] + direction[a] * t0;
        cell[a] = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor((at - o) / size_[a])), 0,
                                           cells_[a] - 1);
        step[a] = direction[a] > 0 ? 1 : direction[a] < 0 ? -1 : 0;
        if (step[a] == 0) {
            next[a] = delta[a] = std::numeric_limits<double>::infinity();
        } else {
            const double boundary = o + size_[a] * static_cast<double>(cell[a] + (step[a] > 0 ? 1 : 0));
            next[a] = (boundary - origin[a]) / direction[a];
            delta[a] = size_[a] / std::fabs(direction[a]);
        }
    }
    std::optional<SegmentHit> best;
    for (;;) {
        const auto c = static_cast<std::size_t>((cell[2] * cells_[1] + cell[1]) * cells_[0] + cell[0]);
        for (std::uint32_t i = start_[c]; i < start_[c + 1]; ++i)
            KeepNearerHit(mesh_, p, d, triangles_[i], best);
        const int a = next[0] <= next[1] && next[0] <= next[2] ? 0 : next[1] <= next[2] ? 1 : 2;
        // A hit before the segment leaves this cell is the first: the cells it has passed hold
        // every triangle it could have met before.
        if (best && best->t <= next[a]) return best;
        if (next[a] > t1) return best;
        cell[a] += step[a];
        if (cell[a] < 0 || cell[a] >= cells_[a]) return best;
        next[a] += delta[a];
    }
}

}  // namespace vexo
