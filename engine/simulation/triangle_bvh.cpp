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

}  // namespace

struct TriangleBvh::Item {
    float centre[3];
    std::uint32_t triangle;
};

TriangleBvh::TriangleBvh(const TriangleMesh& mesh) : mesh_(mesh) {
    const auto count = static_cast<std::uint32_t>(mesh.triangles.size());
    // Centres and indices side by side in one small array: the build moves little memory.
    std::vector<Item> items(count);
    for (std::uint32_t t = 0; t < count; ++t) {
        const Vector3 c = (mesh.Corner(t, 0) + mesh.Corner(t, 1) + mesh.Corner(t, 2)) * (1.0 / 3.0);
        items[t] = {{static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)}, t};
    }
    nodes_.reserve(2 * (std::size_t{count} / kLeafSize + 1));
    first_item_ = items.data();
    if (count > 0) Build(items.data(), items.data() + count);
    first_item_ = nullptr;
    order_.reserve(count);
    for (const Item& item : items) order_.push_back(item.triangle);
}

std::uint32_t TriangleBvh::Build(Item* begin, Item* end) {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(Node{});
    const auto count = static_cast<std::uint32_t>(end - begin);
    if (count <= kLeafSize) {
        Bounds box;
        for (const Item* i = begin; i < end; ++i) {
            for (int c = 0; c < 3; ++c) box.Add(mesh_.Corner(i->triangle, c));
        }
        Node& leaf = nodes_[index];
        for (int a = 0; a < 3; ++a) {
            leaf.lo[a] = Down(Component(box.min, a));
            leaf.hi[a] = Up(Component(box.max, a));
        }
        // Items stay where the build left them: order_ takes their triangles in that order.
        leaf.first = static_cast<std::uint32_t>(begin - first_item_);
        leaf.count = count;
        return index;
    }
    // The median along the axis where the centres spread most.
    float lo[3] = {begin->centre[0], begin->centre[1], begin->centre[2]};
    float hi[3] = {lo[0], lo[1], lo[2]};
    for (const Item* i = begin; i < end; ++i) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], i->centre[a]);
            hi[a] = std::max(hi[a], i->centre[a]);
        }
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
    }
    // Split at the middle of the centres' spread (one pass); when that leaves less than a
    // quarter on a side, at the median instead. Each side then holds at most three quarters, so
    // the tree is at most 77 levels deep for 2^32 triangles.
    const float split = lo[axis] + (hi[axis] - lo[axis]) * 0.5f;
    Item* middle =
        std::partition(begin, end, [axis, split](const Item& item) { return item.centre[axis] < split; });
    const auto quarter = static_cast<std::ptrdiff_t>(count / 4);
    if (middle - begin < quarter || end - middle < quarter) {
        middle = begin + count / 2;
        std::nth_element(begin, middle, end, [axis](const Item& x, const Item& y) {
            return x.centre[axis] < y.centre[axis] ||
                   (x.centre[axis] == y.centre[axis] && x.triangle < y.triangle);
        });
    }
    const std::uint32_t left = Build(begin, middle);
    const std::uint32_t right = Build(middle, end);
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
    Entry stack[128];  // a walk holds at most one entry more than the tree has levels
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

std::uint64_t TriangleBvh::Crossings(const Vector3& p, const Vector3& d) const {
    double t_max = kInfinity;
    std::uint64_t crossings = 0;
    Walk(p, d, t_max, [&](std::uint32_t t) {
        const Vector3 a = mesh_.Corner(t, 0);
        const Barycentric b = Intersect(p, d, a, mesh_.Corner(t, 1) - a, mesh_.Corner(t, 2) - a);
        if (b.parallel || !(b.t > 0.0)) return;
        if (b.u < 0.0 || b.v < 0.0 || b.u + b.v > 1.0) return;
        ++crossings;
    });
    return crossings;
}

}  // namespace vexo
