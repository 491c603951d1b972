// Pixels of the pictures: particles at known places in each view, one scale for the three
// orthographic views, nearer particles over farther ones, a frame that does not move the
// views, the outline of the particle object, and the caption.
#include "preview/picture.hpp"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "tests/support/test_support.hpp"

namespace vexo::preview {
namespace {

SceneKey At(const Vec3& p, double size, std::int32_t frame = 1) {
    return SceneKey{{p[0], p[1], p[2], 0, 0, 0, size, size, size}, frame};
}

// A stream of still particles at one frame; the bounds are those of all of them.
Stream Still(const std::vector<Vec3>& places, double size) {
    Stream s;
    s.first_frame = 1;
    s.last_frame = 2;
    for (const Vec3& p : places) s.objects.push_back({At(p, size)});
    s.path = {places.front(), places.front()};
    ComputeBounds(s);
    return s;
}

QImage Draw(const Stream& s, Layout layout, int w = 1000, int h = 560, std::int32_t frame = 1) {
    ParticleShape shape = ParticleShape::Square();
    PictureRequest r;
    r.width = w;
    r.height = h;
    r.layout = layout;
    r.frame = frame;
    return DrawPicture(s, shape, r);
}

void Hide(SceneKey& key) {
    key.value[6] = key.value[7] = key.value[8] = 0;
}

// Where particle i is drawn: the centre of the pixels it alone adds to a picture of none, with
// the bounds of all of them. The caption strip (which counts the particles) is left out.
QPointF Centre(const Stream& all, std::size_t i, Layout layout, int w = 1000, int h = 560) {
    Stream only = all, without = all;
    for (std::size_t k = 0; k < all.objects.size(); ++k) {
        Hide(without.objects[k].front());
        if (k != i) Hide(only.objects[k].front());
    }
    const QImage a = Draw(only, layout, w, h), b = Draw(without, layout, w, h);
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < h * 9 / 10; ++y) {
        for (int x = 0; x < w; ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }
        }
    }
    EXPECT_GT(n, 0) << "particle " << i << " is not drawn";
    return n == 0 ? QPointF(-1, -1) : QPointF(sx / n, sy / n);
}

// Worked by hand for a 1000 x 560 picture (caption 27 pixels, views 533 high): the box spans
// x -5.05..5.05 and y -0.05..4.05 with particles of size 0.1, so the scale is 0.86 * 1000 / 10.1
// = 85.149 pixels per unit, centred on x 0, y 2.
TEST(PicturePixels, ParticlesAtKnownPlacesInTheFrontView) {
    const Stream s = Still({{-5, 0, 0}, {5, 4, 0}}, 0.1);
    const QPointF left = Centre(s, 0, Layout::Front), right = Centre(s, 1, Layout::Front);
    EXPECT_NEAR(left.x(), 500 - 5 * 85.149, 1.5);
    EXPECT_NEAR(left.y(), 266.5 + 2 * 85.149, 1.5);
    EXPECT_NEAR(right.x(), 500 + 5 * 85.149, 1.5);
    EXPECT_NEAR(right.y(), 266.5 - 2 * 85.149, 1.5);
}

// Each view's directions: front x right and y up; side (from +x) z right and y up; top x right
// and z up; and the three at one scale, with top above front and side beside it sharing axes.
TEST(PicturePixels, EveryViewShowsTheAxesItShouldAtOneScale) {
    const Stream s = Still({{0, 1, 0}, {3, 1, 0}, {0, 4, 0}, {0, 1, 3}}, 0.2);
    struct Cell {
        Layout only;
        std::size_t moved;     // the particle moved along the axis the view shows across
        std::size_t moved_up;  // the particle moved along the axis the view shows upwards
    } const cells[] = {{Layout::Front, 1, 2}, {Layout::Side, 3, 2}, {Layout::Top, 1, 3}};
    for (const Cell& c : cells) {
        const QPointF origin = Centre(s, 0, c.only);
        const QPointF across = Centre(s, c.moved, c.only) - origin;
        const QPointF up = Centre(s, c.moved_up, c.only) - origin;
        EXPECT_GT(across.x(), 50) << static_cast<int>(c.only);
        EXPECT_NEAR(across.y(), 0, 1) << static_cast<int>(c.only);
        EXPECT_LT(up.y(), -50) << static_cast<int>(c.only);
        EXPECT_NEAR(up.x(), 0, 1) << static_cast<int>(c.only);
    }
    // The same 3 units are the same number of pixels in all three views.
    const double front_x =
        (Centre(s, 1, Layout::Front, 499, 280) - Centre(s, 0, Layout::Front, 499, 280)).x();
    const double side_z = (Centre(s, 3, Layout::Side, 499, 280) - Centre(s, 0, Layout::Side, 499, 280)).x();
    const double top_z = -(Centre(s, 3, Layout::Top, 499, 280) - Centre(s, 0, Layout::Top, 499, 280)).y();
    const double front_y =
        -(Centre(s, 2, Layout::Front, 499, 280) - Centre(s, 0, Layout::Front, 499, 280)).y();
    EXPECT_NEAR(front_x, side_z, 1);
    EXPECT_NEAR(front_x, top_z, 1);
    EXPECT_NEAR(front_x, front_y, 1);
}

// In the four-view picture the top view sits above the front view with x lined up, and the side
// view beside the front view with y lined up.
TEST(PicturePixels, FourViewsLineUpTheirSharedAxes) {
    const Stream s = Still({{0, 1, 0}, {2, 3, 1}}, 0.2);
    Stream one = s, none = s;
    Hide(one.objects[1].front());
    Hide(none.objects[0].front());
    Hide(none.objects[1].front());
    const QImage with = Draw(one, Layout::AllFour), without = Draw(none, Layout::AllFour);
    // The pixels particle 0 adds, per quarter of the picture.
    double sx[4] = {}, sy[4] = {}, n[4] = {};
    for (int yy = 0; yy < 500; ++yy) {
        for (int xx = 0; xx < 1000; ++xx) {
            if (with.pixel(xx, yy) == without.pixel(xx, yy)) continue;
            const int q = (xx >= 500 ? 1 : 0) + (yy >= 267 ? 2 : 0);
            sx[q] += xx, sy[q] += yy, ++n[q];
        }
    }
    for (int q = 0; q < 4; ++q) ASSERT_GT(n[q], 0) << "quarter " << q;
    const double top_x = sx[0] / n[0], front_x = sx[2] / n[2];
    const double front_y = sy[2] / n[2], side_y = sy[3] / n[3];
    EXPECT_NEAR(top_x, front_x, 1);
    EXPECT_NEAR(front_y, side_y, 1);
}

// Nearer particles cover farther ones in the perspective view: two on one line of sight.
TEST(PicturePixels, NearerParticlesCoverFartherOnesInPerspective) {
    const Stream probe = Still({{0, 0, 0}, {4, 4, 4}}, 0.3);
    const Box box = FitBox(probe, 0.5);
    const Camera cam = MakeCamera(View::Perspective, QRectF(0, 0, 1000, 533), box, 1);
    const Vec3 far = cam.target;
    const Vec3 near{far[0] - cam.forward[0] * 3, far[1] - cam.forward[1] * 3, far[2] - cam.forward[2] * 3};
    // The particles themselves sit inside the probe's box, so the camera is the same.
    Stream s = probe;
    s.objects = {{At(far, 0.3)}, {At(near, 0.3)}};
    // The centre shows the nearer particle, whichever order the objects come in.
    Stream near_only = s, far_only = s;
    Hide(near_only.objects[0].front());
    Hide(far_only.objects[1].front());
    const QColor near_colour = Draw(near_only, Layout::Perspective).pixelColor(QPoint(500, 266));
    const QColor far_colour = Draw(far_only, Layout::Perspective).pixelColor(QPoint(500, 266));
    ASSERT_NE(near_colour, far_colour);
    Stream swapped = s;
    std::swap(swapped.objects[0], swapped.objects[1]);
    for (const Stream& ordered : {s, swapped}) {
        EXPECT_EQ(Draw(ordered, Layout::Perspective).pixelColor(QPoint(500, 266)), near_colour)
            << "the farther particle is drawn over the nearer one";
    }
}

// The views fit the whole animation: a particle that stands still is drawn at the same place at
// every frame while another one flies far away.
TEST(PicturePixels, TheViewsDoNotMoveFromFrameToFrame) {
    Stream s;
    s.first_frame = 1;
    s.last_frame = 30;
    s.objects = {{At({1, 1, 1}, 1.5, 1)}, {At({0, 0, 0}, 1.5, 1), At({40, 20, -30}, 1.5, 30)}};
    s.path = {{0, 0, 0}};
    ComputeBounds(s);
    const QImage first = Draw(s, Layout::AllFour, 640, 360, 1);
    const QImage last = Draw(s, Layout::AllFour, 640, 360, 30);
    Stream moving_only = s;
    Hide(moving_only.objects[0].front());
    const QImage first_without = Draw(moving_only, Layout::AllFour, 640, 360, 1);
    const QImage last_without = Draw(moving_only, Layout::AllFour, 640, 360, 30);
    std::size_t same = 0, changed = 0;
    for (int y = 0; y < 320; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool still_here_first = first.pixel(x, y) != first_without.pixel(x, y);
            const bool still_here_last = last.pixel(x, y) != last_without.pixel(x, y);
            same += still_here_first && still_here_last ? 1 : 0;
            changed += still_here_first != still_here_last ? 1 : 0;
        }
    }
    EXPECT_GT(same, 20u);
    EXPECT_LT(changed, same / 4);  // only where the flying particle passes over it
}

// The particle object's outline: the bundled cube, seen from the front, then turned by 45
// degrees; a square of edge 1 when the object cannot be read.
TEST(PicturePixels, ParticlesShowTheObjectsOutline) {
    ParticleShape cube = ParticleShape::FromObject((vexo::testing::DataDir() / "simple_cube.lwo").string());
    ASSERT_TRUE(cube.is_object());
    const Axis right{1, 0, 0}, up{0, 1, 0};
    const QRectF straight = cube.Outline(0, right, up, {0, 0, 0}).boundingRect();
    const QRectF turned = cube.Outline(0, right, up, {90, 0, 0}).boundingRect();
    // Turned by 90 degrees the front view shows what the side view (z to the right) shows unturned.
    const QRectF side = cube.Outline(1, {0, 0, 1}, up, {0, 0, 0}).boundingRect();
    EXPECT_NEAR(turned.width(), side.width(), 1e-6);
    EXPECT_NEAR(turned.height(), straight.height(), 1e-9);
    EXPECT_GT(straight.width(), 0.1);
    EXPECT_NE(straight.width(), side.width()) << "the bundled object is a box, not a cube";
    EXPECT_EQ(cube.Outline(0, right, up, {0, 0, 0}).size(), 5);  // one closed square
    ParticleShape none = ParticleShape::FromObject("no/such/object.lwo");
    EXPECT_FALSE(none.is_object());
    EXPECT_EQ(none.Outline(0, right, up, {30, 0, 0}).boundingRect(), QRectF(-0.5, -0.5, 1, 1));
    // LightWave's heading turns +z towards +x.
    const Axis turned_z = Rotate({0, 0, 1}, {90, 0, 0});
    EXPECT_NEAR(turned_z[0], 1, 1e-12);
    EXPECT_NEAR(turned_z[2], 0, 1e-12);
}

TEST(PictureCaption, SaysFrameCountAndName) {
    struct {
        std::int32_t frame, first, last;
        std::size_t visible, stride;
        const char* name;
        const char* expected;
    } const cases[] = {
        {60, 1, 120, 143, 1, "fountain.prefs",
         "Frame 60 of 1\u2013120   \u00b7   143 particles visible   \u00b7   fountain.prefs"},
        {1, 1, 1, 1, 1, "s.lws", "Frame 1 of 1\u20131   \u00b7   1 particle visible   \u00b7   s.lws"},
        {0, 0, 30, 0, 1, "", "Frame 0 of 0\u201330   \u00b7   0 particles visible"},
        {5, 1, 9, 25000, 2, "big.prefs",
         "Frame 5 of 1\u20139   \u00b7   25000 particles visible, 1 in 2 drawn   \u00b7   big.prefs"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaptionText(c.frame, c.first, c.last, c.visible, c.stride, c.name), c.expected);
    }
    EXPECT_EQ(SubsetStride(20000, 20000), 1u);
    EXPECT_EQ(SubsetStride(20001, 20000), 2u);
    EXPECT_EQ(SubsetStride(5, 0), 1u);
}

// The caption is drawn in the strip below the views, in legible light text on dark.
TEST(PictureCaption, IsDrawnBelowTheViews) {
    const Stream s = Still({{0, 0, 0}}, 0.5);
    const QImage image = Draw(s, Layout::AllFour, 1280, 720);
    int light_below = 0, light_rows_top = 720, light_rows_bottom = 0;
    for (int y = 660; y < 720; ++y) {
        for (int x = 0; x < 600; ++x) {
            if (qGray(image.pixel(x, y)) > 180) {
                ++light_below;
                light_rows_top = std::min(light_rows_top, y);
                light_rows_bottom = std::max(light_rows_bottom, y);
            }
        }
    }
    EXPECT_GT(light_below, 200);
    EXPECT_GE(light_rows_bottom - light_rows_top, 10) << "text at least 10 pixels high";
    EXPECT_GT(light_rows_top, 688);
}

TEST(PictureContactSheet, FramesAreEvenlySpread) {
    EXPECT_EQ(ContactFrames(1, 120, 12),
              (std::vector<std::int32_t>{1, 12, 23, 33, 44, 55, 66, 77, 88, 98, 109, 120}));
    EXPECT_EQ(ContactFrames(1, 120, 1), std::vector<std::int32_t>{60});
    EXPECT_EQ(ContactFrames(0, 4, 5), (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ContactFrames(7, 7, 3), (std::vector<std::int32_t>{7, 7, 7}));
    Stream s = Still({{0, 0, 0}}, 0.5);
    ParticleShape shape = ParticleShape::Square();
    const QImage sheet = DrawContactSheet(s, shape, 12, "x");
    EXPECT_EQ(sheet.size(), QSize(4 * 320 + 3 * 2, 3 * 180 + 2 * 2 + 28));
}

}  // namespace
}  // namespace vexo::preview
