// Bounces off collision meshes over many random particles, checked with geometry of the tests'
// own: no particle ever ends a frame on the other side of a surface (an open plane, a thin
// closed slab, a cube round a cavity), however fast, and none speeds up at a bounce; the grid's
// first hit is the nearest crossing a plain search finds. (A whole generation above a
// plane made in Blender: tests/blender/meshes_in.py.)
#include "engine/simulation/collision_mesh.hpp"

#include <gtest/gtest.h>

#include <random>

#include "tests/engine/mesh_geometry.hpp"

namespace vexo {
namespace {

using namespace vexo::testing;

// Which side of the surfaces a point is on, in LightWave's axes (z of the files negated): 3 on a
// surface, which no particle should ever be; 0 beyond an open mesh's edges.
struct SideCase {
    std::string name;
    std::string file;
    int (*side)(const Vector3&);
};

int Sign(double v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

std::vector<SideCase> SideCases() {
    return {
        {"tilted plane", "tilted_plane.obj",
         [](const Vector3& p) {
             // Only above the plane's own square counts; beyond its edges a particle may pass.
             if (std::fabs(p.x) > 8 || std::fabs(p.z) > 7.5) return 0;
             const int side = Sign(p.y - 0.75 * p.x);
             return side == 0 ? 3 : side;
         }},
        {"thin slab", "thin_slab.obj",
         [](const Vector3& p) {
             if (std::fabs(p.x) >= 5 || std::fabs(p.z) >= 5) return 0;
             return p.y > 0.001 ? 1 : p.y < 0 ? -1 : p.y > 0 && p.y < 0.001 ? 2 : 3;
         }},
        {"hollow cube", "hollow_cube.obj",
         [](const Vector3& p) {
             const double m = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
             return m > 1 ? 1 : m < 0.5 ? -1 : m > 0.5 && m < 1 ? 2 : 3;
         }},
    };
}

// Random particles on every side, at speeds from a thousandth to ten thousand times the mesh's
// size a frame, under gravity, bouncing with random elasticity and friction for 60 frames: the
// side each starts on is where it ends every frame.
TEST(CollisionMesh, NoParticleEverEndsAFrameOnTheOtherSide) {
    std::mt19937 gen(1712);
    std::uniform_real_distribution<double> unit(-1, 1), share(0, 1), power(-3, 4);
    for (const SideCase& c : SideCases()) {
        const CollisionMesh mesh(LoadMesh(DataDir() / c.file));
        const double size = mesh.mesh().bounds.Diagonal();
        int bounced = 0;
        for (int n = 0; n < 3000; ++n) {
            Vector3 p{unit(gen) * 6, unit(gen) * 6, unit(gen) * 6};
            if (c.side(p) == 0 || c.side(p) == 3) continue;
            const double speed = size * std::pow(10.0, power(gen));
            Vector3 v = Unit(Vector3{unit(gen), unit(gen), unit(gen)}) * speed;
            const double elasticity = share(gen), friction = share(gen);
            const int side = c.side(p);
            for (int frame = 0; frame < 60; ++frame) {
                const Vector3 before = v;
                mesh.Move(p, v, elasticity, friction);
                bounced += before == v ? 0 : 1;
                ASSERT_LE(Length(v), Length(before) * (1 + 1e-12)) << c.name << " particle " << n;
                const int now = c.side(p);
                ASSERT_TRUE(now == side || now == 0) << c.name << " particle " << n << " frame " << frame
                                                     << " at " << p.x << " " << p.y << " " << p.z;
                if (now == 0) break;  // gone past the mesh's edge
                v.y -= 0.01 * size;
            }
        }
        EXPECT_GT(bounced, 1000) << c.name;
    }
}

// Where the segment p + t d first crosses a face, found face by face with signed distances
// to the plane (not the engine's intersection), or 2 when it crosses none.
double NearestCrossing(const ObjFaces& obj, const Vector3& p, const Vector3& d) {
    double best = 2;
    for (const auto& f : obj.faces) {
        const Vector3 n = Cross(f[1] - f[0], f[2] - f[0]);
        const double s0 = Dot(n, p - f[0]), s1 = Dot(n, p + d - f[0]);
        if (Sign(s0) == Sign(s1) || s0 == 0) continue;
        const double t = s0 / (s0 - s1);
        if (FaceOf(obj, p + d * t, 1e-9 * Length(n)) >= 0) best = std::min(best, t);
    }
    return best;
}

// The collision grid's first hit against a plain search.
TEST(TriangleGrid, TheFirstHitIsTheNearestCrossing) {
    const ObjFaces obj = ReadObj("ell.obj");
    const TriangleMesh mesh = LoadMesh(DataDir() / "ell.obj");
    const TriangleGrid grid(mesh);
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> coord(-1, 3);
    int hits = 0;
    for (int n = 0; n < 20000; ++n) {
        const Vector3 p{coord(gen), coord(gen), -coord(gen)}, q{coord(gen), coord(gen), -coord(gen)};
        const double expected = NearestCrossing(obj, p, q - p);
        const auto hit = grid.FirstHit(p, q - p);
        if (expected > 1) {
            ASSERT_FALSE(hit && hit->t < 1 - 1e-6) << n;
        } else {
            ASSERT_TRUE(hit) << n;
            ASSERT_NEAR(hit->t, expected, 1e-9) << n;
        }
        hits += expected <= 1 ? 1 : 0;
    }
    EXPECT_GT(hits, 5000);
}

}  // namespace
}  // namespace vexo
