#include "preview/picture.hpp"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace vexo::preview {
namespace {

const QColor kBackground(0x2a, 0x2e, 0x35);
const QColor kSkyTop(0x3b, 0x42, 0x4c);
const QColor kSkyBottom(0x23, 0x27, 0x2d);
const QColor kGutter(0x15, 0x17, 0x1b);
const QColor kGrid(0x3a, 0x40, 0x49);
const QColor kGround(0x7a, 0x84, 0x91);
const QColor kAxisX(0xb0, 0x5a, 0x5a);
const QColor kAxisZ(0x5a, 0x7c, 0xb8);
const QColor kPath(0xe8, 0xb0, 0x4a);
const QColor kEmitter(0xff, 0xd2, 0x5c);
const QColor kNear(0xc6, 0xea, 0xff);
const QColor kFar(0x4f, 0x7d, 0xa3);
const QColor kParticleEdge(0x13, 0x2c, 0x42);
const QColor kLabel(0xc9, 0xcf, 0xd8);
const QColor kCaptionBack(0x1a, 0x1d, 0x22);
const QColor kCaptionText(0xe8, 0xeb, 0xef);
const QColor kMessageText(0xff, 0xc2, 0x7a);

// Particles smaller than this many pixels across are drawn as filled squares: an outline that
// small cannot be told from one.
constexpr double kOutlinePixels = 3.0;

QFont PictureFont(double pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(8, static_cast<int>(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// A round grid spacing: 1, 2 or 5 times a power of ten, about a tenth of the extent.
double GridStep(double extent) {
    const double raw = std::max(extent, 1e-9) / 10.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10.0 * power;
}

void DrawOrthoGrid(QPainter& p, const Camera& cam, double step) {
    const QRectF& a = cam.area;
    const double u0 =
        cam.target[0] * cam.right[0] + cam.target[1] * cam.right[1] + cam.target[2] * cam.right[2];
    const double v0 = cam.target[0] * cam.up[0] + cam.target[1] * cam.up[1] + cam.target[2] * cam.up[2];
    const double half_w = a.width() / 2 / cam.scale, half_h = a.height() / 2 / cam.scale;
    if ((2 * half_w / step) + (2 * half_h / step) > 400) step *= 10;  // never a solid wall of lines
    p.setPen(QPen(kGrid, 1));
    for (double u = std::ceil((u0 - half_w) / step) * step; u <= u0 + half_w; u += step) {
        const double x = a.center().x() + (u - u0) * cam.scale;
        p.drawLine(QPointF(x, a.top()), QPointF(x, a.bottom()));
    }
    for (double v = std::ceil((v0 - half_h) / step) * step; v <= v0 + half_h; v += step) {
        const double y = a.center().y() - (v - v0) * cam.scale;
        p.drawLine(QPointF(a.left(), y), QPointF(a.right(), y));
    }
    auto screen_x = [&](double u) { return a.center().x() + (u - u0) * cam.scale; };
    auto screen_y = [&](double v) { return a.center().y() - (v - v0) * cam.scale; };
    if (cam.view == View::Top) {
        p.setPen(QPen(kAxisX, 1.5));
        p.drawLine(QPointF(a.left(), screen_y(0)), QPointF(a.right(), screen_y(0)));
        p.setPen(QPen(kAxisZ, 1.5));
        p.drawLine(QPointF(screen_x(0), a.top()), QPointF(screen_x(0), a.bottom()));
    } else {
        // The ground plane seen edge on.
        p.setPen(QPen(kGround, 2));
        p.drawLine(QPointF(a.left(), screen_y(0)), QPointF(a.right(), screen_y(0)));
    }
}

void DrawPerspectiveGrid(QPainter& p, const Camera& cam, const Box& box, double step) {
    const double x0 = std::floor(box.min[0] / step) * step - step,
                 x1 = std::ceil(box.max[0] / step) * step + step;
    const double z0 = std::floor(box.min[2] / step) * step - step,
                 z1 = std::ceil(box.max[2] / step) * step + step;
    if ((x1 - x0) / step > 400 || (z1 - z0) / step > 400) return;
    auto line = [&](const Vec3& a, const Vec3& b) {
        const Camera::Point pa = cam.Project(a), pb = cam.Project(b);
        if (pa.visible && pb.visible) p.drawLine(pa.at, pb.at);
    };
    p.setPen(QPen(kGrid.lighter(125), 1));
    for (double x = x0; x <= x1 + step / 2; x += step) line({x, 0, z0}, {x, 0, z1});
    for (double z = z0; z <= z1 + step / 2; z += step) line({x0, 0, z}, {x1, 0, z});
    if (x0 <= 0 && 0 <= x1) {
        p.setPen(QPen(kAxisZ, 1.5));
        line({0, 0, z0}, {0, 0, z1});
    }
    if (z0 <= 0 && 0 <= z1) {
        p.setPen(QPen(kAxisX, 1.5));
        line({x0, 0, 0}, {x1, 0, 0});
    }
}

void DrawPath(QPainter& p, const Camera& cam, const Stream& stream) {
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(stream.path.size()));
    for (const Vec3& point : stream.path) {
        const Camera::Point at = cam.Project(point);
        if (at.visible) line << at.at;
    }
    p.setPen(QPen(kPath, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (line.size() == 1) {
        p.drawPoint(line.front());
    } else {
        p.drawPolyline(line);
    }
}

void DrawEmitter(QPainter& p, const Camera& cam, const Vec3& at, double radius) {
    const Camera::Point e = cam.Project(at);
    if (!e.visible) return;
    p.setPen(QPen(kGutter, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(e.at, radius, radius);
    p.setPen(QPen(kEmitter, 2));
    p.drawEllipse(e.at, radius, radius);
    p.setBrush(kEmitter);
    p.setPen(Qt::NoPen);
    p.drawEllipse(e.at, radius * 0.35, radius * 0.35);
}

struct Placed {
    Camera::Point point;
    const ParticleAt* particle;
};

// The nearest and farthest depth of the box's corners: particles are shaded by where they are in
// the whole animation's box, so a particle keeps its shade whatever the others do.
std::pair<double, double> DepthRange(const Camera& cam, const Box& box) {
    double near = 0, far = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 c{(corner & 1) ? box.max[0] : box.min[0], (corner & 2) ? box.max[1] : box.min[1],
                     (corner & 4) ? box.max[2] : box.min[2]};
        const double depth = cam.Project(c).depth;
        near = corner == 0 ? depth : std::min(near, depth);
        far = corner == 0 ? depth : std::max(far, depth);
    }
    return {near, far};
}

void DrawParticles(QPainter& p, const Camera& cam, const Box& box, ParticleShape& shape,
                   const std::vector<ParticleAt>& particles, std::size_t stride) {
    std::vector<Placed> placed;
    placed.reserve(particles.size() / stride + 1);
    for (const ParticleAt& particle : particles) {
        if (particle.object % stride != 0) continue;
        const Camera::Point at = cam.Project(particle.position);
        if (at.visible) placed.push_back({at, &particle});
    }
    if (placed.empty()) return;
    // Farther particles first, so nearer ones cover them.
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.point.depth > b.point.depth; });
    const auto [near, far] = DepthRange(cam, box);
    const double span = far - near > 1e-12 ? far - near : 1.0;
    const int view = static_cast<int>(cam.view);
    QPolygonF outline;
    for (const Placed& item : placed) {
        const double pixels = item.particle->size * item.point.pixels_per_unit;
        const QColor fill = Mix(kFar, kNear, (far - item.point.depth) / span);
        const QPolygonF& unit = shape.Outline(view, cam.right, cam.up, item.particle->rotation);
        const QRectF bounds = unit.boundingRect();
        if (std::max(bounds.width(), bounds.height()) * pixels < kOutlinePixels) {
            const double edge = std::max(1.0, std::max(bounds.width(), bounds.height()) * pixels);
            p.fillRect(QRectF(item.point.at - QPointF(edge / 2, edge / 2), QSizeF(edge, edge)), fill);
            continue;
        }
        outline.resize(unit.size());
        for (qsizetype i = 0; i < unit.size(); ++i) outline[i] = item.point.at + unit[i] * pixels;
        p.setPen(QPen(kParticleEdge, 1));
        p.setBrush(fill);
        p.drawPolygon(outline);
    }
}

void DrawLabel(QPainter& p, const QRectF& area, const QString& text, double font_pixels) {
    p.setFont(PictureFont(font_pixels, true));
    p.setPen(kLabel);
    p.drawText(area.adjusted(font_pixels * 0.6, font_pixels * 0.35, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               text);
}

void DrawView(QPainter& p, const Camera& cam, const Box& box, const Stream& stream, ParticleShape& shape,
              const std::vector<ParticleAt>& particles, std::int32_t frame, std::size_t stride,
              double font_pixels) {
    p.save();
    p.setClipRect(cam.area);
    if (cam.view == View::Perspective) {
        QLinearGradient sky(cam.area.topLeft(), cam.area.bottomLeft());
        sky.setColorAt(0, kSkyTop);
        sky.setColorAt(1, kSkyBottom);
        p.fillRect(cam.area, sky);
    } else {
        p.fillRect(cam.area, kBackground);
    }
    const double step =
        GridStep(std::max({box.max[0] - box.min[0], box.max[2] - box.min[2], box.max[1] - box.min[1]}));
    p.setRenderHint(QPainter::Antialiasing, true);
    if (cam.view == View::Perspective) {
        DrawPerspectiveGrid(p, cam, box, step);
    } else {
        DrawOrthoGrid(p, cam, step);
    }
    DrawPath(p, cam, stream);
    DrawParticles(p, cam, box, shape, particles, stride);
    DrawEmitter(p, cam, EmitterAt(stream, frame), std::max(4.0, font_pixels * 0.45));
    DrawLabel(p, cam.area, QString::fromUtf8(ViewName(cam.view)), font_pixels);
    p.restore();
}

double FontPixels(int height) {
    return std::clamp(height * 0.024, 9.0, 30.0);
}

void DrawCaption(QPainter& p, const QRectF& strip, const std::string& text, double font_pixels) {
    p.fillRect(strip, kCaptionBack);
    const QFont font = PictureFont(font_pixels);
    p.setFont(font);
    p.setPen(kCaptionText);
    const QRectF inner = strip.adjusted(font_pixels * 0.7, 0, -font_pixels * 0.7, 0);
    const QString elided =
        QFontMetricsF(font).elidedText(QString::fromStdString(text), Qt::ElideMiddle, inner.width());
    p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, elided);
}

std::string Number(std::size_t n) {
    return std::to_string(n);
}

}  // namespace

const char* ViewName(View view) {
    switch (view) {
        case View::Front:
            return picture_text::kFront;
        case View::Side:
            return picture_text::kSide;
        case View::Top:
            return picture_text::kTop;
        case View::Perspective:
            return picture_text::kPerspective;
    }
    return "";
}

std::size_t SubsetStride(std::size_t visible, std::size_t limit) {
    if (limit == 0 || visible <= limit) return 1;
    return (visible + limit - 1) / limit;
}

std::string CaptionText(std::int32_t frame, std::int32_t first, std::int32_t last, std::size_t visible,
                        std::size_t stride, const std::string& name) {
    std::string text = "Frame " + std::to_string(frame) + " of " + std::to_string(first) + "\u2013" +
                       std::to_string(last) + picture_text::kSeparator + Number(visible) +
                       (visible == 1 ? " particle visible" : " particles visible");
    if (stride > 1) text += ", 1 in " + Number(stride) + " drawn";
    if (!name.empty()) text += picture_text::kSeparator + name;
    return text;
}

void DrawPicture(QPainter& painter, const QRect& area, const Stream& stream, ParticleShape& shape,
                 const PictureRequest& request) {
    const double font_pixels = FontPixels(area.height());
    const double caption_height = std::round(font_pixels * 2.0);
    const QRectF views(area.left(), area.top(), area.width(), std::max(1.0, area.height() - caption_height));
    painter.fillRect(area, kGutter);

    const std::vector<ParticleAt> particles = ParticlesAt(stream, request.frame);
    const std::size_t stride = SubsetStride(particles.size(), request.draw_limit);
    const Box box = FitBox(stream, shape.radius());
    for (const Camera& camera : PictureCameras(stream, shape.radius(), views, request.layout)) {
        DrawView(painter, camera, box, stream, shape, particles, request.frame, stride, font_pixels);
    }
    const QRectF strip(area.left(), views.bottom(), area.width(), area.bottom() + 1 - views.bottom());
    DrawCaption(painter, strip,
                CaptionText(request.frame, stream.first_frame, stream.last_frame, particles.size(), stride,
                            request.name),
                font_pixels);
}

std::vector<Camera> PictureCameras(const Stream& stream, double object_radius, const QRectF& views,
                                   Layout layout) {
    const Box box = FitBox(stream, object_radius);
    std::vector<std::pair<View, QRectF>> cells;
    if (layout == Layout::AllFour) {
        constexpr double kGap = 2;
        const double w = (views.width() - kGap) / 2, h = (views.height() - kGap) / 2;
        // Top above front and side beside front, so that shared axes line up.
        cells = {{View::Top, QRectF(views.left(), views.top(), w, h)},
                 {View::Perspective, QRectF(views.left() + w + kGap, views.top(), w, h)},
                 {View::Front, QRectF(views.left(), views.top() + h + kGap, w, h)},
                 {View::Side, QRectF(views.left() + w + kGap, views.top() + h + kGap, w, h)}};
    } else {
        const View only = layout == Layout::Front  ? View::Front
                          : layout == Layout::Side ? View::Side
                          : layout == Layout::Top  ? View::Top
                                                   : View::Perspective;
        cells = {{only, views}};
    }
    const double scale = SharedScale(box, cells.front().second.width(), cells.front().second.height());
    std::vector<Camera> cameras;
    for (const auto& [view, cell] : cells) cameras.push_back(MakeCamera(view, cell, box, scale));
    return cameras;
}

QImage DrawPicture(const Stream& stream, ParticleShape& shape, const PictureRequest& request) {
    QImage image(std::max(1, request.width), std::max(1, request.height), QImage::Format_RGB32);
    QPainter painter(&image);
    DrawPicture(painter, image.rect(), stream, shape, request);
    return image;
}

std::vector<std::int32_t> ContactFrames(std::int32_t first, std::int32_t last, int count) {
    std::vector<std::int32_t> frames;
    if (count <= 1) return {static_cast<std::int32_t>((std::int64_t{first} + last) / 2)};
    const std::int64_t span = std::int64_t{last} - first;
    for (int i = 0; i < count; ++i) {
        frames.push_back(static_cast<std::int32_t>(first + (span * i + (count - 1) / 2) / (count - 1)));
    }
    return frames;
}

QImage DrawContactSheet(const Stream& stream, ParticleShape& shape, int frames, const std::string& name) {
    const std::vector<std::int32_t> shown = ContactFrames(stream.first_frame, stream.last_frame, frames);
    const int count = static_cast<int>(shown.size());
    const int columns = count <= 4 ? count : count <= 12 ? 4 : count <= 30 ? 6 : 8;
    const int rows = (count + columns - 1) / columns;
    const int cell_w = std::min(320, 1920 / columns), cell_h = cell_w * 9 / 16;
    constexpr int kGap = 2;
    const double font_pixels = 13;
    const int caption_height = 28;
    QImage image(columns * cell_w + (columns - 1) * kGap, rows * cell_h + (rows - 1) * kGap + caption_height,
                 QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), kGutter);
    const Box box = FitBox(stream, shape.radius());
    for (int i = 0; i < count; ++i) {
        const QRectF cell((i % columns) * (cell_w + kGap), (i / columns) * (cell_h + kGap), cell_w, cell_h);
        const std::vector<ParticleAt> particles = ParticlesAt(stream, shown[static_cast<std::size_t>(i)]);
        const Camera cam = MakeCamera(View::Perspective, cell, box, 1.0);
        p.save();
        p.setClipRect(cell);
        QLinearGradient sky(cell.topLeft(), cell.bottomLeft());
        sky.setColorAt(0, kSkyTop);
        sky.setColorAt(1, kSkyBottom);
        p.fillRect(cell, sky);
        p.setRenderHint(QPainter::Antialiasing, true);
        DrawPerspectiveGrid(p, cam, box,
                            GridStep(std::max(box.max[0] - box.min[0], box.max[2] - box.min[2])));
        DrawPath(p, cam, stream);
        DrawParticles(p, cam, box, shape, particles, 1);
        DrawEmitter(p, cam, EmitterAt(stream, shown[static_cast<std::size_t>(i)]), 4);
        const std::string label = "Frame " + std::to_string(shown[static_cast<std::size_t>(i)]) +
                                  picture_text::kSeparator + Number(particles.size()) + " visible";
        DrawLabel(p, cell, QString::fromStdString(label), font_pixels);
        p.restore();
    }
    const std::string caption =
        Number(static_cast<std::size_t>(count)) + " frames from " + std::to_string(stream.first_frame) +
        " to " + std::to_string(stream.last_frame) + (name.empty() ? "" : picture_text::kSeparator + name);
    DrawCaption(p, QRectF(0, image.height() - caption_height, image.width(), caption_height), caption,
                font_pixels);
    return image;
}

void DrawMessage(QPainter& painter, const QRect& area, const std::string& message) {
    painter.fillRect(area, kBackground);
    const double font_pixels = FontPixels(area.height()) * 1.1;
    painter.setFont(PictureFont(font_pixels));
    painter.setPen(kMessageText);
    painter.drawText(area.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromStdString(message));
}

}  // namespace vexo::preview
