#include "engine/simulation/mesh_emitter.hpp"

#include <algorithm>
#include <cmath>
#include <queue>

namespace vexo {
namespace {

// Rays for the inside test leave along directions that line up with no axis or diagonal, so that
// a ray from a point of a regular grid meets no edge of a regular mesh.
constexpr Vector3 kRays[3] = {{1.0, 0.3183098861837907, 0.14159265358979312},
                              {-0.2718281828459045, 1.0, 0.5772156649015329},
                              {0.41421356237309515, -0.7320508075688772, 1.0}};

// The grid has about this many cells: enough that most candidates lie wholly inside.
std::uint64_t GridCells(std::size_t triangles) {
    return std::clamp<std::uint64_t>(2 * std::uint64_t{triangles}, 4096, 262144);
}

}  // namespace

std::unique_ptr<MeshEmitter> MeshEmitter::Make(TriangleMesh mesh, EmitFrom from, Problem& problem,
                                               std::uint64_t& odd_edges) {
    problem = Problem::None;
    odd_edges = 0;
    std::unique_ptr<MeshEmitter> emitter(new MeshEmitter(std::move(mesh), from));
    const TriangleMesh& m = emitter->mesh_;
    const auto triangles = static_cast<std::uint32_t>(m.triangles.size());
    if (from == EmitFrom::Vertices) {
        std::vector<Vector3> sums(m.points.size());
        for (std::uint32_t t = 0; t < triangles; ++t) {
            const Vector3 n = m.FaceNormal(t);  // weighted by the face's area
            for (std::uint32_t v : m.triangles[t]) sums[v] = sums[v] + n;
        }
        emitter->vertex_normals_.reserve(sums.size());
        for (const Vector3& s : sums) {
            const Vector3 n = Unit(s);
            // Faces whose fronts cancel (a sheet folded back on itself) leave the emitter's up.
            emitter->vertex_normals_.push_back(Length(n) > 0 ? n : Vector3{0, 1, 0});
        }
    } else if (from == EmitFrom::Surface) {
        emitter->area_sums_.reserve(triangles);
        double sum = 0;
        for (std::uint32_t t = 0; t < triangles; ++t) {
            sum += Length(m.FaceNormal(t));
            emitter->area_sums_.push_back(sum);
        }
        if (!(sum > 0) || !std::isfinite(sum)) problem = Problem::NoArea;
    } else if (from == EmitFrom::Volume) {
        odd_edges = OddEdges(m);
        if (odd_edges != 0) {
            problem = Problem::Open;
        } else {
            problem = emitter->PrepareVolume();
        }
    }
    return emitter;
}

bool MeshEmitter::Inside(const Vector3& local) const {
    return bvh_->Crossings(local, kRays[0]) % 2 == 1;
}

Vector3 MeshEmitter::CellPoint(std::uint32_t cell, MeshRandom& random) const {
    const std::uint32_t ix = cell % cells_[0], iy = cell / cells_[0] % cells_[1],
                        iz = cell / cells_[0] / cells_[1];
    const double x = static_cast<double>(ix) + random.Next();
    const double y = static_cast<double>(iy) + random.Next();
    const double z = static_cast<double>(iz) + random.Next();
    return {grid_origin_.x + x * cell_, grid_origin_.y + y * cell_, grid_origin_.z + z * cell_};
}

MeshEmitter::Problem MeshEmitter::PrepareVolume() {
    const Bounds& box = mesh_.bounds;
    const Vector3 extent = box.max - box.min;
    if (!(extent.x > 0 && extent.y > 0 && extent.z > 0)) return Problem::NoVolume;
    bvh_ = std::make_unique<TriangleBvh>(mesh_);

    // Cubic cells, about GridCells of them, never more than four times as many; larger while
    // large faces would mark more than 32 cells a face and twice the cells there are.
    const std::uint64_t target = GridCells(mesh_.triangles.size());
    grid_origin_ = box.min;
    auto marked = [&](std::uint32_t t, std::uint32_t* lo, std::uint32_t* hi) {
        Bounds tb;
        for (int c = 0; c < 3; ++c) tb.Add(mesh_.Corner(t, c));
        for (int a = 0; a < 3; ++a) {
            const double o = Component(grid_origin_, a);
            const double from = (Component(tb.min, a) - o) / cell_ - 1e-6;
            const double to = (Component(tb.max, a) - o) / cell_ + 1e-6;
            lo[a] = static_cast<std::uint32_t>(std::clamp(std::floor(from), 0.0, cells_[a] - 1.0));
            hi[a] = static_cast<std::uint32_t>(std::clamp(std::floor(to), 0.0, cells_[a] - 1.0));
        }
    };
    cell_ = std::cbrt(extent.x * extent.y * extent.z / static_cast<double>(target));
    for (;;) {
        std::uint64_t total = 1;
        for (int a = 0; a < 3; ++a) {
            const double n = std::ceil(Component(extent, a) / cell_);
            cells_[a] = static_cast<std::uint32_t>(std::clamp(n, 1.0, 1e6));
            total *= cells_[a];
        }
        double marks = 0;
        for (std::uint32_t t = 0; t < mesh_.triangles.size() && total <= 4 * target; ++t) {
            std::uint32_t lo[3], hi[3];
            marked(t, lo, hi);
            marks += (hi[0] - lo[0] + 1.0) * (hi[1] - lo[1] + 1.0) * (hi[2] - lo[2] + 1.0);
        }
        if (total <= 4 * target &&
            marks <= 32.0 * static_cast<double>(mesh_.triangles.size()) + 2.0 * static_cast<double>(total)) {
            break;
        }
        cell_ *= 1.25;
    }
    const std::size_t count = std::size_t{cells_[0]} * cells_[1] * cells_[2];
    auto cell_of = [&](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
        return (std::size_t{z} * cells_[1] + y) * cells_[0] + x;
    };
    // A cell a triangle's box touches may hold surface; the others lie wholly on one side.
    surface_cell_.assign(count, false);
    for (std::uint32_t t = 0; t < mesh_.triangles.size(); ++t) {
        std::uint32_t lo[3], hi[3];
        marked(t, lo, hi);
        for (std::uint32_t z = lo[2]; z <= hi[2]; ++z)
            for (std::uint32_t y = lo[1]; y <= hi[1]; ++y)
                for (std::uint32_t x = lo[0]; x <= hi[0]; ++x) surface_cell_[cell_of(x, y, z)] = true;
    }
    // The cells free of surface, in groups that touch face to face: each group lies wholly
    // inside or wholly outside, decided by the majority of three rays from one of its cells.
    std::vector<bool> seen(count, false);
    std::vector<bool> inside(count, false);
    std::vector<std::uint32_t> group;
    bool found = false;
    for (std::size_t start = 0; start < count; ++start) {
        if (seen[start] || surface_cell_[start]) continue;
        group.clear();
        std::queue<std::uint32_t> open;
        open.push(static_cast<std::uint32_t>(start));
        seen[start] = true;
        while (!open.empty()) {
            const std::uint32_t c = open.front();
            open.pop();
            group.push_back(c);
            const std::uint32_t x = c % cells_[0], y = c / cells_[0] % cells_[1],
                                z = c / cells_[0] / cells_[1];
            const std::int64_t step[3] = {1, cells_[0], std::int64_t{cells_[0]} * cells_[1]};
            const std::uint32_t at[3] = {x, y, z};
            for (int a = 0; a < 3; ++a) {
                for (int dir : {-1, 1}) {
                    if ((dir < 0 && at[a] == 0) || (dir > 0 && at[a] + 1 == cells_[a])) continue;
                    const auto n = static_cast<std::size_t>(static_cast<std::int64_t>(c) + dir * step[a]);
                    if (seen[n] || surface_cell_[n]) continue;
                    seen[n] = true;
                    open.push(static_cast<std::uint32_t>(n));
                }
            }
        }
        const std::uint32_t c = group.front();
        const Vector3 centre{grid_origin_.x + (c % cells_[0] + 0.5) * cell_,
                             grid_origin_.y + (c / cells_[0] % cells_[1] + 0.5) * cell_,
                             grid_origin_.z + (c / cells_[0] / cells_[1] + 0.5) * cell_};
        int votes = 0;
        for (const Vector3& ray : kRays) votes += bvh_->Crossings(centre, ray) % 2 == 1 ? 1 : 0;
        if (votes >= 2) {
            for (std::uint32_t g : group) inside[g] = true;
            if (!found) fallback_ = centre;
            found = true;
        }
    }
    for (std::size_t c = 0; c < count; ++c) {
        if (inside[c] || surface_cell_[c]) candidates_.push_back(static_cast<std::uint32_t>(c));
    }
    if (!found) {
        // Thinner than a cell everywhere: look for a point inside among the surface cells.
        MeshRandom random(0);
        for (int probe = 0; probe < kVolumeProbes && !found; ++probe) {
            const Vector3 p =
                CellPoint(candidates_[random.Below(static_cast<std::uint32_t>(candidates_.size()))], random);
            if (Inside(p)) {
                fallback_ = p;
                found = true;
            }
        }
    }
    return found ? Problem::None : Problem::NoVolume;
}

MeshPlace MeshEmitter::Pick(std::uint32_t seed, const EmitterPose& pose) const {
    MeshRandom random(seed);
    switch (from_) {
        case EmitFrom::Vertices:
            return PickVertex(random, pose);
        case EmitFrom::Surface:
            return PickSurface(random, pose);
        case EmitFrom::Volume:
            return PickVolume(random, pose);
        case EmitFrom::Point:
            break;
    }
    return {pose.position, {}};
}

MeshPlace MeshEmitter::PickVertex(MeshRandom& random, const EmitterPose& pose) const {
    const std::uint32_t v = random.Below(static_cast<std::uint32_t>(mesh_.points.size()));
    return {pose.Place(mesh_.points[v]), pose.Turn(vertex_normals_[v])};
}

MeshPlace MeshEmitter::PickSurface(MeshRandom& random, const EmitterPose& pose) const {
    // Unequal size channels stretch some faces more than others: a face is kept with the share
    // of its stretched area in the largest stretch any face can have, so that the places stay
    // even over the stretched surface.
    const Vector3& s = pose.scale;
    const Vector3 stretch{std::fabs(s.y * s.z), std::fabs(s.x * s.z), std::fabs(s.x * s.y)};
    const double most = std::max({stretch.x, stretch.y, stretch.z});
    const bool even = stretch.x == stretch.y && stretch.y == stretch.z;
    MeshPlace place;
    for (int attempt = 0; attempt < kSurfaceTries; ++attempt) {
        const double u = random.Next() * area_sums_.back();
        const auto found = std::upper_bound(area_sums_.begin(), area_sums_.end(), u);
        const auto t = static_cast<std::uint32_t>(std::min<std::ptrdiff_t>(
            found - area_sums_.begin(), static_cast<std::ptrdiff_t>(area_sums_.size()) - 1));
        double r1 = random.Next(), r2 = random.Next();
        if (r1 + r2 > 1.0) {
            r1 = 1.0 - r1;
            r2 = 1.0 - r2;
        }
        const Vector3 a = mesh_.Corner(t, 0);
        const Vector3 local = a + (mesh_.Corner(t, 1) - a) * r1 + (mesh_.Corner(t, 2) - a) * r2;
        const Vector3 normal = Unit(mesh_.FaceNormal(t));
        place = {pose.Place(local), pose.Turn(normal)};
        if (even || !(most > 0)) break;
        const Vector3 n{normal.x * stretch.x, normal.y * stretch.y, normal.z * stretch.z};
        if (random.Next() * most < Length(n)) break;
    }
    return place;
}

MeshPlace MeshEmitter::PickVolume(MeshRandom& random, const EmitterPose& pose) const {
    const auto count = static_cast<std::uint32_t>(candidates_.size());
    for (int attempt = 0; attempt < kVolumeTries; ++attempt) {
        const std::uint32_t cell = candidates_[random.Below(count)];
        const Vector3 p = CellPoint(cell, random);
        if (!surface_cell_[cell] || Inside(p)) return {pose.Place(p), {}};
    }
    return {pose.Place(fallback_), {}};
}

}  // namespace vexo
