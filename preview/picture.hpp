// Draws the picture of a stream with QPainter onto a QImage: the four views (or one of them),
// each with the ground grid, the parent's path, the emitter and the particles, and a caption.
// QtGui only, no widgets: the batch tool draws the same pictures without a display.
#pragma once

#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <string>

#include "preview/particle_shape.hpp"
#include "preview/stream.hpp"
#include "preview/views.hpp"

namespace vexo::preview {

enum class Layout { AllFour, Front, Side, Top, Perspective };

// Texts of the pictures, word for word.
namespace picture_text {
inline constexpr const char* kFront = "Front";
inline constexpr const char* kSide = "Side";
inline constexpr const char* kTop = "Top";
inline constexpr const char* kPerspective = "Perspective";
inline constexpr const char* kSeparator = "   \u00b7   ";
}  // namespace picture_text

struct PictureRequest {
    int width = 1280, height = 720;
    Layout layout = Layout::AllFour;
    std::int32_t frame = 0;
    std::string name;            // the settings file or the scene, for the caption
    std::size_t draw_limit = 0;  // 0: every particle; else an evenly spread subset of about this many
};

// "Frame 60 of 1–120   ·   143 particles visible   ·   fountain.prefs"; with a subset,
// "25000 particles visible, 1 in 2 drawn".
std::string CaptionText(std::int32_t frame, std::int32_t first, std::int32_t last, std::size_t visible,
                        std::size_t stride, const std::string& name);

// The label of a view.
const char* ViewName(View view);

// Every `stride`-th object is drawn so that about `limit` of `visible` particles are (1 for all).
std::size_t SubsetStride(std::size_t visible, std::size_t limit);

// The views of a picture in `views` (its area above the caption): each one's camera on its part,
// all fitting the same box, the animation's with the ground and room for particles of
// `object_radius` (ParticleShape::radius) at their size.
std::vector<Camera> PictureCameras(const Stream& stream, double object_radius, const QRectF& views,
                                   Layout layout);

QImage DrawPicture(const Stream& stream, ParticleShape& shape, const PictureRequest& request);
void DrawPicture(QPainter& painter, const QRect& area, const Stream& stream, ParticleShape& shape,
                 const PictureRequest& request);

// A grid of small perspective views at `frames` evenly spaced frames of the range.
QImage DrawContactSheet(const Stream& stream, ParticleShape& shape, int frames, const std::string& name);
// The frames a contact sheet of `count` pictures shows.
std::vector<std::int32_t> ContactFrames(std::int32_t first, std::int32_t last, int count);

// A picture holding only a message, for settings or files that give no stream.
void DrawMessage(QPainter& painter, const QRect& area, const std::string& message);

}  // namespace vexo::preview
