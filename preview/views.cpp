#include "preview/views.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexo::preview {
namespace {

// The perspective camera looks down 28 degrees, from 35 degrees to the right of the front view.
constexpr double kElevation = 28.0 * std::numbers::pi / 180.0;
constexpr double kAzimuth = 35.0 * std::numbers::pi / 180.0;
constexpr double kHalfFieldOfView = 20.0 * std::numbers::pi / 180.0;
// Share of a view's area the box may fill.
constexpr double kFill = 0.86;

double Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Normal(const Vec3& v) {
    const double n = std::sqrt(Dot(v, v));
    return {v[0] / n, v[1] / n, v[2] / n};
}

}  // namespace

Camera::Point Camera::Project(const Vec3& p) const {
    if (view != View::Perspective) {
        const Vec3 d{p[0] - target[0], p[1] - target[1], p[2] - target[2]};
        return {area.center() + QPointF(Dot(d, right) * scale, -Dot(d, up) * scale), Dot(d, forward), scale,
                true};
    }
    const Vec3 d{p[0] - eye[0], p[1] - eye[1], p[2] - eye[2]};
    const double z = Dot(d, forward);
    if (z <= 1e-9) return {{}, z, 0, false};
    const double k = focal / z;
    return {area.center() + QPointF(Dot(d, right) * k, -Dot(d, up) * k), z, k, true};
}

Box FitBox(const Stream& stream, double object_radius) {
    Box box = stream.bounds;
    box.Add({box.min[0], 0.0, box.min[2]});  // the ground is always in the picture
    const double margin = stream.largest_size * object_radius;
    double extent = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        box.min[i] -= margin;
        box.max[i] += margin;
        extent = std::max(extent, box.max[i] - box.min[i]);
    }
    // A flat or empty box still gets some depth, so that a single point has a scale.
    const double least = std::max(1.0, extent * 0.05);
    for (std::size_t i = 0; i < 3; ++i) {
        const double missing = least - (box.max[i] - box.min[i]);
        if (missing > 0) {
            box.min[i] -= missing / 2;
            box.max[i] += missing / 2;
        }
    }
    return box;
}

double SharedScale(const Box& box, double cell_width, double cell_height) {
    const double ex = box.max[0] - box.min[0], ey = box.max[1] - box.min[1], ez = box.max[2] - box.min[2];
    // Front shows x and y, side z and y, top x and z.
    return kFill * std::min({cell_width / ex, cell_width / ez, cell_height / ey, cell_height / ez});
}

Camera MakeCamera(View view, const QRectF& area, const Box& box, double ortho_scale) {
    Camera c;
    c.view = view;
    c.area = area;
    c.scale = ortho_scale;
    c.target = {(box.min[0] + box.max[0]) / 2, (box.min[1] + box.max[1]) / 2, (box.min[2] + box.max[2]) / 2};
    switch (view) {
        case View::Front:  // looking along +z
            c.right = {1, 0, 0}, c.up = {0, 1, 0}, c.forward = {0, 0, 1};
            break;
        case View::Side:  // from +x, looking along -x: +z to the right
            c.right = {0, 0, 1}, c.up = {0, 1, 0}, c.forward = {-1, 0, 0};
            break;
        case View::Top:  // looking down: +z up the picture
            c.right = {1, 0, 0}, c.up = {0, 0, 1}, c.forward = {0, -1, 0};
            break;
        case View::Perspective: {
            const Vec3 from{std::sin(kAzimuth) * std::cos(kElevation), std::sin(kElevation),
                            -std::cos(kAzimuth) * std::cos(kElevation)};
            c.forward = {-from[0], -from[1], -from[2]};
            c.right = Normal(Cross({0, 1, 0}, c.forward));
            c.up = Cross(c.forward, c.right);
            const Vec3 half{(box.max[0] - box.min[0]) / 2, (box.max[1] - box.min[1]) / 2,
                            (box.max[2] - box.min[2]) / 2};
            const double radius = std::sqrt(Dot(half, half));
            const double distance = radius / std::sin(kHalfFieldOfView);
            c.eye = {c.target[0] + from[0] * distance, c.target[1] + from[1] * distance,
                     c.target[2] + from[2] * distance};
            // As close as the box's corners allow: the widest of them reaches kFill of the area.
            double widest_x = 1e-9, widest_y = 1e-9;
            for (int corner = 0; corner < 8; ++corner) {
                const Vec3 p{(corner & 1) ? box.max[0] : box.min[0], (corner & 2) ? box.max[1] : box.min[1],
                             (corner & 4) ? box.max[2] : box.min[2]};
                const Vec3 d{p[0] - c.eye[0], p[1] - c.eye[1], p[2] - c.eye[2]};
                const double depth = Dot(d, c.forward);
                widest_x = std::max(widest_x, std::fabs(Dot(d, c.right)) / depth);
                widest_y = std::max(widest_y, std::fabs(Dot(d, c.up)) / depth);
            }
            c.focal = kFill * std::min(area.width() / 2 / widest_x, area.height() / 2 / widest_y);
            break;
        }
    }
    return c;
}

}  // namespace vexo::preview
