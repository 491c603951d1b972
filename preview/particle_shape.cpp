#include "preview/particle_shape.hpp"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/writers/object_mesh.hpp"

namespace vexo::preview {
namespace {

// Above this many triangles the union of their shadows costs too much to cache per rotation;
// the convex hull of the vertices stands for the outline instead.
constexpr std::size_t kUnionTriangleLimit = 400;
// Rotations are cached in steps of a quarter degree.
constexpr double kRotationSteps = 4.0;
// Spinning particles turn every frame, so a scene can show millions of rotations as it plays:
// past this many outlines the cache starts afresh rather than grow with the animation.
constexpr std::size_t kCachedOutlines = std::size_t{1} << 16;

double Dot(const Axis& a, const Axis& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

QPolygonF ConvexHull(std::vector<QPointF> points) {
    std::sort(points.begin(), points.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    if (points.size() < 3) return QPolygonF(QList<QPointF>(points.begin(), points.end()));
    auto cross = [](const QPointF& o, const QPointF& a, const QPointF& b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    std::vector<QPointF> hull(2 * points.size());
    std::size_t k = 0;
    for (const QPointF& p : points) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    for (std::size_t i = points.size() - 1, t = k + 1; i-- > 0;) {
        while (k >= t && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return QPolygonF(QList<QPointF>(hull.begin(), hull.end()));
}

}  // namespace

Axis Rotate(const Axis& p, const Axis& rotation_degrees) {
    constexpr double k = std::numbers::pi / 180.0;
    const double ch = std::cos(rotation_degrees[0] * k), sh = std::sin(rotation_degrees[0] * k);
    const double cp = std::cos(rotation_degrees[1] * k), sp = std::sin(rotation_degrees[1] * k);
    const double cb = std::cos(rotation_degrees[2] * k), sb = std::sin(rotation_degrees[2] * k);
    const double x1 = p[0] * cb - p[1] * sb, y1 = p[0] * sb + p[1] * cb, z1 = p[2];
    // A positive pitch tips +z down; a positive heading turns +z towards +x.
    const double y2 = y1 * cp - z1 * sp, z2 = y1 * sp + z1 * cp;
    return {x1 * ch + z2 * sh, y2, -x1 * sh + z2 * ch};
}

ParticleShape ParticleShape::FromObject(const std::string& object_path) {
    ParticleShape shape = Square();
    const std::optional<Mesh> mesh = LoadObjectMesh(object_path);
    if (!mesh) return shape;
    double radius = 0;
    for (std::size_t i = 0; i + 2 < mesh->positions.size(); i += 3) {
        // The reader hands the mesh over with z mirrored for glTF; the keys are in LightWave's axes.
        const Axis v{mesh->positions[i], mesh->positions[i + 1], -double{mesh->positions[i + 2]}};
        shape.vertices_.push_back(v);
        radius = std::max(radius, std::sqrt(Dot(v, v)));
    }
    for (std::size_t i = 0; i + 2 < mesh->indices.size(); i += 3) {
        const std::array<std::uint32_t, 3> t{mesh->indices[i], mesh->indices[i + 1], mesh->indices[i + 2]};
        if (std::max({t[0], t[1], t[2]}) < shape.vertices_.size()) shape.triangles_.push_back(t);
    }
    if (shape.triangles_.empty()) return Square();
    shape.radius_ = radius;
    return shape;
}

ParticleShape ParticleShape::Square() {
    ParticleShape shape;
    shape.square_ << QPointF(-0.5, -0.5) << QPointF(0.5, -0.5) << QPointF(0.5, 0.5) << QPointF(-0.5, 0.5);
    shape.radius_ = 0.5;
    return shape;
}

const QPolygonF& ParticleShape::Outline(int view, const Axis& right, const Axis& up, const Axis& rotation) {
    if (triangles_.empty()) return square_;
    auto step = [](double degrees) {
        const double wrapped = std::fmod(degrees, 360.0);
        return static_cast<std::uint64_t>(
                   std::lround((wrapped < 0 ? wrapped + 360.0 : wrapped) * kRotationSteps)) &
               0xFFFF;
    };
    const std::uint64_t key = (static_cast<std::uint64_t>(view) << 48) | (step(rotation[0]) << 32) |
                              (step(rotation[1]) << 16) | step(rotation[2]);
    const auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;

    const Axis snapped{static_cast<double>(step(rotation[0])) / kRotationSteps,
                       static_cast<double>(step(rotation[1])) / kRotationSteps,
                       static_cast<double>(step(rotation[2])) / kRotationSteps};
    std::vector<QPointF> points;
    points.reserve(vertices_.size());
    for (const Axis& v : vertices_) {
        const Axis r = Rotate(v, snapped);
        points.emplace_back(Dot(r, right), -Dot(r, up));
    }
    QPolygonF outline;
    if (triangles_.size() > kUnionTriangleLimit) {
        outline = ConvexHull(points);
    } else {
        // Every triangle's shadow turned the same way round, so that the winding rule fills their
        // union whichever way the faces point.
        QPainterPath shadows;
        shadows.setFillRule(Qt::WindingFill);
        for (const auto& t : triangles_) {
            const QPointF a = points[t[0]], b = points[t[1]], c = points[t[2]];
            const double area = (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
            if (area == 0) continue;
            QPolygonF triangle;
            triangle << a << (area > 0 ? b : c) << (area > 0 ? c : b) << a;
            shadows.addPolygon(triangle);
        }
        outline = shadows.simplified().toFillPolygon();
        if (outline.isEmpty()) outline = ConvexHull(points);
    }
    if (cache_.size() >= kCachedOutlines) cache_.clear();  // no outline handed out is still in use
    return cache_.emplace(key, std::move(outline)).first->second;
}

}  // namespace vexo::preview
