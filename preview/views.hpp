// The four views of a picture and how each maps the scene onto its part of the image: front,
// side and top orthographic at one shared scale, and a perspective from above and to one side.
// All of them fit the bounds of the whole animation, so nothing moves when the frame changes.
#pragma once

#include <QPointF>
#include <QRectF>

#include "preview/particle_shape.hpp"
#include "preview/stream.hpp"

namespace vexo::preview {

enum class View { Front, Side, Top, Perspective };
inline constexpr View kAllViews[] = {View::Front, View::Side, View::Top, View::Perspective};

struct Camera {
    View view = View::Front;
    QRectF area;                    // the view's part of the image
    Axis right{}, up{}, forward{};  // world directions of the screen's x, y and depth
    Vec3 target{};                  // the scene point at the middle of the area
    double scale = 1;               // orthographic: pixels per scene unit
    Vec3 eye{};                     // perspective: the camera's position
    double focal = 1;               // perspective: pixels per unit of x / depth

    struct Point {
        QPointF at;
        double depth;  // larger is farther
        double pixels_per_unit;
        bool visible;  // in front of a perspective camera
    };
    Point Project(const Vec3& p) const;
};

// The scene box every view must show: the animation's bounds with the ground level and room for
// the particles' size, never flat.
Box FitBox(const Stream& stream, double object_radius);

// The orthographic scale that fits `box` into cells of the given size in all three views.
double SharedScale(const Box& box, double cell_width, double cell_height);

Camera MakeCamera(View view, const QRectF& area, const Box& box, double ortho_scale);

}  // namespace vexo::preview
