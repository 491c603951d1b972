#include "engine/simulation/triangle_bvh.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexo {
namespace {

constexpr std::uint32_t kLeafSize = 4;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

float Down(double v) {
    const auto f = static_cast<float>(v);
    return static_cast<double>(f) > v ? std::nextafter(f, -std::numeric_limits<float>::infinity()) : f;
}
float Up(double v) {
    const auto f = static_cast<float>(v);
    return static_cast<double>(f) < v ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

struct Barycentric {
    double u, v, t;
    bool parallel;
};

// Moller and Trumbore's intersection of the line p + t d with the triangle's plane.
Barycentric Intersect(const Vector3& p, const Vector3& d, const Vector3& a, const Vector3& b,
                      const Vector3& c) {
    const Vector3 e1 = b - a, e2 = c - a;
    const Vector3 pv = Cross(d, e2);
    const double det = Dot(e1, pv);
    if (det == 0.0) return {0, 0, 0, true};
    const double inv = 1.0 / det;
    const Vector3 tv = p - a;
    const Vector3 qv = Cross(tv, e1);
    return {Dot(tv, pv) * inv, Dot(d, qv) * inv, Dot(e2, qv) * inv, false};
}

}  // namespace

TriangleBvh::TriangleBvh(const TriangleMesh& mesh) : mesh_(mesh) {
    const auto count = static_cast<std::uint32_t>(mesh.triangles.size());
    order_.resize(count);
    std::vector<float> centroids(3 * std::size_t{count});
    for (std::uint32_t t = 0; t < count; ++t) {
        order_[t] = t;
        const Vector3 c = (mesh.Corner(t, 0) + mesh.Corner(t, 1) + mesh.Corner(t, 2)) * (1.0 / 3.0);
        centroids[3 * std::size_t{t}] = static_cast<float>(c.x);
        centroids[3 * std::size_t{t} + 1] = static_cast<float>(c.y);
        centroids[3 * std::size_t{t} + 2] = static_cast<float>(c.z);
    }
    nodes_.reserve(2 * (std::size_t{count} / kLeafSize + 1));
    if (count > 0) Build(0, count, centroids);
}

std::uint32_t TriangleBvh::Build(std::uint32_t begin, std::uint32_t end, std::vector<float>& centroids) {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(Node{});
    if (end - begin <= kLeafSize) {
        Bounds box;
        for (std::uint32_t i = begin; i < end; ++i) {
            for (int c = 0; c < 3; ++c) box.Add(mesh_.Corner(order_[i], c));
        }
        Node& leaf = nodes_[index];
        for (int a = 0; a < 3; ++a) {
            leaf.lo[a] = Down(Component(box.min, a));
            leaf.hi[a] = Up(Component(box.max, a));
        }
        leaf.first = begin;
        leaf.count = end - begin;
        return index;
    }
    // The median along the axis where the centroids spread most.
    float lo[3] = {centroids[3 * std::size_t{order_[begin]}], centroids[3 * std::size_t{order_[begin]} + 1],
                   centroids[3 * std::size_t{order_[begin]} + 2]};
    float hi[3] = {lo[0], lo[1], lo[2]};
    for (std::uint32_t i = begin; i < end; ++i) {
        for (std::size_t a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], centroids[3 * std::size_t{order_[i]} + a]);
            hi[a] = std::max(hi[a], centroids[3 * std::size_t{order_[i]} + a]);
        }
    }
    std::size_t axis = 0;
    for (std::size_t a = 1; a < 3; ++a) {
        if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
    }
    const std::uint32_t middle = begin + (end - begin) / 2;
    std::nth_element(order_.begin() + begin, order_.begin() + middle, order_.begin() + end,
                     [&](std::uint32_t x, std::uint32_t y) {
                         const float cx = centroids[3 * std::size_t{x} + axis],
                                     cy = centroids[3 * std::size_t{y} + axis];
                         return cx < cy || (cx == cy && x < y);
                     });
    const std::uint32_t left = Build(begin, middle, centroids);
    const std::uint32_t right = Build(middle, end, centroids);
    Node& node = nodes_[index];
    for (int a = 0; a < 3; ++a) {
        node.lo[a] = std::min(nodes_[left].lo[a], nodes_[right].lo[a]);
        node.hi[a] = std::max(nodes_[left].hi[a], nodes_[right].hi[a]);
    }
    node.first = right;
    node.count = 0;
    return index;
}

template <class Leaf>
void TriangleBvh::Walk(const Vector3& p, const Vector3& d, double& t_max, Leaf leaf) const {
    if (nodes_.empty()) return;
    const double origin[3] = {p.x, p.y, p.z};
    const double direction[3] = {d.x, d.y, d.z};
    double inverse[3];
    for (int a = 0; a < 3; ++a) inverse[a] = direction[a] != 0.0 ? 1.0 / direction[a] : 0.0;
    // Where the segment enters the node's box, or infinity when it misses it before t_max.
    auto enter = [&](const Node& node) {
        double t0 = 0.0, t1 = t_max;
        for (int a = 0; a < 3; ++a) {
            if (direction[a] == 0.0) {
                if (origin[a] < node.lo[a] || origin[a] > node.hi[a]) return kInfinity;
                continue;
            }
            double ta = (node.lo[a] - origin[a]) * inverse[a], tb = (node.hi[a] - origin[a]) * inverse[a];
            if (ta > tb) std::swap(ta, tb);
            t0 = std::max(t0, ta);
            t1 = std::min(t1, tb);
            if (t0 > t1) return kInfinity;
        }
        return t0;
    };
    struct Entry {
        std::uint32_t node;
        double t;  // where the segment enters its box
    };
    Entry stack[64];
    int top = 0;
    const double t_root = enter(nodes_[0]);
    if (t_root == kInfinity) return;
    stack[top++] = {0, t_root};
    while (top > 0) {
        const Entry entry = stack[--top];
        if (entry.t > t_max) continue;  // a hit found since lies before this box
        const Node& node = nodes_[entry.node];
        if (node.count > 0) {
            for (std::uint32_t i = node.first; i < node.first + node.count; ++i) leaf(order_[i]);
            continue;
        }
        const Entry a{entry.node + 1, enter(nodes_[entry.node + 1])},
            b{node.first, enter(nodes_[node.first])};
        // The nearer child is walked first, so that a first hit found there cuts the farther.
        const Entry& nearer = a.t <= b.t ? a : b;
        const Entry& farther = a.t <= b.t ? b : a;
        if (farther.t != kInfinity) stack[top++] = farther;
        if (nearer.t != kInfinity) stack[top++] = nearer;
    }
}

std::optional<TriangleBvh::Hit> TriangleBvh::FirstHit(const Vector3& p, const Vector3& d) const {
    double t_max = 1.0 + kEndSlack;
    std::optional<Hit> best;
    Walk(p, d, t_max, [&](std::uint32_t t) {
        const Barycentric b = Intersect(p, d, mesh_.Corner(t, 0), mesh_.Corner(t, 1), mesh_.Corner(t, 2));
        if (b.parallel || !(b.t > 0.0) || b.t > t_max) return;
        if (b.u < -kEdgeSlack || b.v < -kEdgeSlack || b.u + b.v > 1.0 + kEdgeSlack) return;
        if (best && b.t == best->t && t > best->triangle) return;
        best = Hit{b.t, t};
        t_max = b.t;
    });
    return best;
}

std::uint64_t TriangleBvh::Crossings(const Vector3& p, const Vector3& d) const {
    double t_max = kInfinity;
    std::uint64_t crossings = 0;
    Walk(p, d, t_max, [&](std::uint32_t t) {
        const Barycentric b = Intersect(p, d, mesh_.Corner(t, 0), mesh_.Corner(t, 1), mesh_.Corner(t, 2));
        if (b.parallel || !(b.t > 0.0)) return;
        if (b.u < 0.0 || b.v < 0.0 || b.u + b.v > 1.0) return;
        ++crossings;
    });
    return crossings;
}

}  // namespace vexo
