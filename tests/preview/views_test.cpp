// Whatever the settings, every view of a picture holds what it draws: each visible particle's
// outline at every frame, the parent's path, the emitter and collision meshes' outlines, and the
// ground beneath them all, in every layout and shape of picture. Checked on the drawn geometry
// itself (the cameras' projections and the outlines), over many random generations.
#include <gtest/gtest.h>

#include <random>

#include "preview/picture.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::preview {
namespace {

using namespace vexo::testing;

// What of `p`, drawn by `camera`, lies outside its area ("" when nothing does).
std::string Outside(const Camera& camera, ParticleShape& shape, const ParticleAt& p) {
    const QRectF area = camera.area.adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    const Camera::Point at = camera.Project(p.position);
    if (!at.visible || !area.contains(at.at)) return "the particle's centre";
    const QPolygonF& unit = shape.Outline(static_cast<int>(camera.view), camera.right, camera.up, p.rotation);
    for (const QPointF& corner : unit) {
        if (!area.contains(at.at + corner * p.size * at.pixels_per_unit)) return "the particle's outline";
    }
    const Camera::Point ground = camera.Project({p.position[0], 0, p.position[2]});
    if (!ground.visible || !area.contains(ground.at)) return "the ground beneath the particle";
    return "";
}

// A stream of one frame whose particles stretch far along one axis from a point.
Stream Stretched(const Vec3& far) {
    Stream s;
    s.first_frame = s.last_frame = 1;
    for (double t : {-1.0, 1.0, 0.5}) {
        s.objects.push_back(
            {SceneKey{{far[0] * t, far[1] * t + 1, far[2] * t, 30 * t, 0, 0, 0.4, 0.4, 0.4}, 1}});
    }
    s.path = {{0, 1, 0}};
    ComputeBounds(s);
    return s;
}

TEST(PictureViews, HoldEveryParticleThePathAndTheGround) {
    std::mt19937 gen(20260107);
    ParticleShape wedge = ParticleShape::FromObject((DataDir() / "wedge.obj").string());
    ParticleShape square = ParticleShape::Square();
    const QRectF areas[] = {QRectF(0, 0, 1280, 680), QRectF(3, 5, 300, 500)};
    const Layout layouts[] = {Layout::AllFour, Layout::Front, Layout::Side, Layout::Top, Layout::Perspective};
    std::size_t checked = 0;
    // Streams long in depth, height and width first, then random generations.
    const Vec3 stretched[] = {{0, 0, 40}, {0, 30, 0}, {40, 0, 0}, {25, 0, 25}, {-25, 20, 25}};
    for (int run = -5; run < 120; ++run) {
        TempDir dir;
        Stream stream;
        if (run < 0) {
            stream = Stretched(stretched[run + 5]);
        } else {
            Settings s = RandomSettings(gen, dir);
            s.start_size *= 0.4 * (1 + gen() % 4);  // particles from small to larger than the path
            EngineState state;
            ScriptedHook hook;
            ASSERT_EQ(ComputeStream(s, state, hook, stream).report.outcome, WriteOutcome::Complete)
                << "run " << run;
        }
        ParticleShape& shape = run % 2 == 0 ? wedge : square;
        for (const QRectF& area : areas) {
            for (Layout layout : layouts) {
                for (const Camera& camera : PictureCameras(stream, shape.radius(), area, layout)) {
                    const std::string where = "run " + std::to_string(run) + " view " + ViewName(camera.view);
                    for (const Vec3& point : stream.path) {
                        const Camera::Point at = camera.Project(point);
                        const Camera::Point ground = camera.Project({point[0], 0, point[2]});
                        ASSERT_TRUE(at.visible && camera.area.contains(at.at)) << where << ": the path";
                        ASSERT_TRUE(ground.visible && camera.area.contains(ground.at))
                            << where << ": the ground";
                    }
                    const MeshOutline::Viewer viewer{
                        {camera.forward[0], camera.forward[1], camera.forward[2]},
                        camera.view == View::Perspective,
                        {camera.eye[0], camera.eye[1], camera.eye[2]}};
                    for (std::int32_t f = stream.first_frame; f <= stream.last_frame; ++f) {
                        // The emitter mesh where the parent holds it, the collision mesh where it stands.
                        for (const auto& [mesh, pose] :
                             {std::pair{stream.emitter_mesh.get(), EmitterPoseAt(stream, f)},
                              std::pair{stream.collision_mesh.get(), EmitterPose{}}}) {
                            for (const auto& ends : mesh ? mesh->Segments(viewer, pose)
                                                         : decltype(mesh->Segments(viewer, pose)){}) {
                                for (const Vector3& e : ends) {
                                    const Camera::Point at = camera.Project({e.x, e.y, e.z});
                                    ASSERT_TRUE(at.visible && camera.area.contains(at.at))
                                        << where << ": a mesh";
                                }
                            }
                        }
                        for (const ParticleAt& p : ParticlesAt(stream, f)) {
                            ASSERT_EQ(Outside(camera, shape, p), "")
                                << where << " frame " << f << " object " << p.object;
                            ++checked;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 50000u);
}

}  // namespace
}  // namespace vexo::preview
