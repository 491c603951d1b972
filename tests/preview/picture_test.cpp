// The pictures against golden images (looked at by eye), a view's geometry worked by hand, and
// the texts of the caption.
#include "preview/picture.hpp"

#include <gtest/gtest.h>

#include "tests/support/picture_golden.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::preview {
namespace {

using namespace vexo::testing;

SceneKey At(const Vec3& p, double size, std::int32_t frame = 1, double heading = 0) {
    return SceneKey{{p[0], p[1], p[2], heading, 0, 0, size, size, size}, frame};
}

// A small scene of wedges: one flies from the origin up, right and towards the front while
// turning; two turned ones overlap in the front view, the one at z 2 farther than the one at
// z -1; one is hidden; the emitter moves along x. Frame 10 of 1 to 20.
TEST(Picture, FourViewsAndContactSheetMatchTheirGoldens) {
    Stream s;
    s.first_frame = 1;
    s.last_frame = 20;
    s.objects = {{At({0, 0, 0}, 1, 1), At({6, 4, -3}, 0.5, 20, 180)},
                 {At({-2, 1, 2}, 0.8, 1, 30)},
                 {At({-2.2, 1.2, -1}, 0.8, 1, 60)},
                 {At({5, 5, 5}, 0, 1)}};
    for (int f = 1; f <= 20; ++f) s.path.push_back({0.1 * f, 0, 0});
    ComputeBounds(s);
    ParticleShape wedge = ParticleShape::FromObject((DataDir() / "wedge.obj").string());
    ASSERT_TRUE(wedge.is_object());
    PictureRequest request{.width = 640, .height = 360, .frame = 10, .name = "fountain.prefs"};
    EXPECT_TRUE(MatchesGoldenPicture(DrawPicture(s, wedge, request), "picture_four_views.png"));
    request.layout = Layout::Perspective;  // alone, and drawing objects 0 and 2 of the 3 visible
    request.draw_limit = 2;
    EXPECT_TRUE(MatchesGoldenPicture(DrawPicture(s, wedge, request), "picture_one_in_two.png"));
    EXPECT_TRUE(
        MatchesGoldenPicture(DrawContactSheet(s, wedge, 6, "fountain.prefs"), "picture_contact_sheet.png"));
}

std::shared_ptr<const MeshOutline> Outline(const char* name) {
    Mesh read;
    std::string reason;
    EXPECT_EQ(ReadMeshTriangles((DataDir() / name).string(), read, reason), MeshFileRead::Read);
    auto mesh = std::make_shared<TriangleMesh>();
    EXPECT_EQ(MakeTriangleMesh(read, *mesh), MeshProblem::None);
    return std::make_shared<const MeshOutline>(mesh);
}

// The L prism riding on a parent that climbs, turns and grows, over the tilted plane: at frame 10
// it stands turned by 90 degrees and one and a half times its size; the box holds the plane.
TEST(Picture, EmitterAndCollisionMeshesAreOutlinedInEveryView) {
    Stream s;
    s.first_frame = 1;
    s.last_frame = 20;
    s.objects = {{At({0, 4, 0}, 0.3, 1), At({-3, 1, 2}, 0.3, 20)}};
    s.emitter_mesh = Outline("ell.obj");
    s.collision_mesh = Outline("tilted_plane.obj");
    for (int f = 1; f <= 20; ++f) {
        s.path.push_back({0.2 * f, 3 + 0.1 * f, 0});
        s.path_pose.push_back(
            {10.0 * (f - 1), 0, 0, 1 + 0.05 * (f - 1), 1 + 0.05 * (f - 1), 1 + 0.05 * (f - 1)});
    }
    ComputeBounds(s);
    ParticleShape square = ParticleShape::Square();
    PictureRequest request{.width = 640, .height = 360, .frame = 10, .name = "meshes.prefs"};
    EXPECT_TRUE(MatchesGoldenPicture(DrawPicture(s, square, request), "picture_meshes.png"));
}

// Worked by hand for the front view of a 1000 x 533 area: the box spans x -5.05..5.05 and
// y -0.05..4.05 with particles of size 0.1, so the scale is 0.86 * 1000 / 10.1 = 85.149 pixels
// per unit, centred on x 0, y 2; the same scale in every orthographic view.
TEST(Picture, ParticlesAtKnownPlacesInTheFrontView) {
    Stream s;
    s.objects = {{At({-5, 0, 0}, 0.1)}, {At({5, 4, 0}, 0.1)}};
    s.path = {{-5, 0, 0}};
    ComputeBounds(s);
    const Box box = FitBox(s, 0.5);
    const double px = SharedScale(box, 1000, 533);
    EXPECT_NEAR(px, 85.149, 1e-3);
    const Camera front = MakeCamera(View::Front, QRectF(0, 0, 1000, 533), box, px);
    EXPECT_LT((front.Project({-5, 0, 0}).at - QPointF(500 - 5 * px, 266.5 + 2 * px)).manhattanLength(), 0.02);
    EXPECT_LT((front.Project({5, 4, 0}).at - QPointF(500 + 5 * px, 266.5 - 2 * px)).manhattanLength(), 0.02);
}

TEST(Picture, CaptionSaysFrameCountAndName) {
    const std::string dot = "   \u00b7   ";
    EXPECT_EQ(CaptionText(60, 1, 120, 143, 1, "fountain.prefs"),
              "Frame 60 of 1\u2013120" + dot + "143 particles visible" + dot + "fountain.prefs");
    EXPECT_EQ(CaptionText(1, 1, 1, 1, 1, "s.lws"),
              "Frame 1 of 1\u20131" + dot + "1 particle visible" + dot + "s.lws");
    EXPECT_EQ(CaptionText(0, 0, 30, 0, 1, ""), "Frame 0 of 0\u201330" + dot + "0 particles visible");
    EXPECT_EQ(CaptionText(5, 1, 9, 25000, 2, "big.prefs"),
              "Frame 5 of 1\u20139" + dot + "25000 particles visible, 1 in 2 drawn" + dot + "big.prefs");
    EXPECT_EQ(SubsetStride(20000, 20000), 1u);
    EXPECT_EQ(SubsetStride(20001, 20000), 2u);
    EXPECT_EQ(SubsetStride(5, 0), 1u);
    EXPECT_EQ(ContactFrames(1, 120, 12),
              (std::vector<std::int32_t>{1, 12, 23, 33, 44, 55, 66, 77, 88, 98, 109, 120}));
    EXPECT_EQ(ContactFrames(1, 120, 1), std::vector<std::int32_t>{60});
    EXPECT_EQ(ContactFrames(7, 7, 3), (std::vector<std::int32_t>{7, 7, 7}));
}

}  // namespace
}  // namespace vexo::preview
