// Bounces off collision meshes over many random particles, checked with geometry of the tests'
// own: no particle ever ends a frame on the other side of a surface (an open plane, a thin
// closed slab, a cube round a cavity), however fast; the hierarchy's first hit is the nearest
// crossing a plain search finds; and a generated scene's keys all stay above a tilted plane.
#include <gtest/gtest.h>

#include <random>

#include "engine/create_scene.hpp"
#include "engine/simulation/collision_mesh.hpp"
#include "engine/simulation/triangle_bvh.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/mesh_geometry.hpp"

namespace vexo {
namespace {

using namespace vexo::testing;

TriangleMesh LoadMesh(const std::filesystem::path& path) {
    Mesh read;
    std::string reason;
    EXPECT_EQ(ReadMeshTriangles(path.string(), read, reason), MeshFileRead::Read) << reason;
    TriangleMesh mesh;
    EXPECT_EQ(MakeTriangleMesh(read, mesh), MeshProblem::None);
    return mesh;
}

// Which side of the surfaces a point is on, in LightWave's axes (z of the files negated): 3 on a
// surface, which no particle should ever be; 0 beyond an open mesh's edges.
struct SideCase {
    std::string name;
    std::string obj;  // the file's text
    int (*side)(const Vector3&);
};

int Sign(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

std::vector<SideCase> SideCases() {
    return {
        {"tilted plane", ReadFile(DataDir() / "tilted_plane.obj"),
         [](const Vector3& p) {
             // Only above the plane's own square counts; beyond its edges a particle may pass.
             if (std::fabs(p.x) > 8 || std::fabs(p.z) > 7.5) return 0;
             const int side = Sign(p.y - 0.75 * p.x);
             return side == 0 ? 3 : side;
         }},
        {"thin slab", "v -5 0 -5\nv 5 0 -5\nv 5 0 5\nv -5 0 5\nv -5 0.001 -5\nv 5 0.001 -5\nv 5 0.001 5\nv -5 0.001 5\n"
                      "f 1 2 3 4\nf 5 8 7 6\nf 1 5 6 2\nf 2 6 7 3\nf 3 7 8 4\nf 4 8 5 1\n",
         [](const Vector3& p) {
             if (std::fabs(p.x) >= 5 || std::fabs(p.z) >= 5) return 0;
             return p.y > 0.001 ? 1 : p.y < 0 ? -1 : p.y > 0 && p.y < 0.001 ? 2 : 3;
         }},
        {"hollow cube", ReadFile(DataDir() / "hollow_cube.obj"),
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
        TempDir dir;
        WriteFile(dir.path("mesh.obj"), c.obj);
        const CollisionMesh mesh(LoadMesh(dir.path("mesh.obj")));
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
                const int now = c.side(p);
                ASSERT_TRUE(now == side || now == 0)
                    << c.name << " particle " << n << " frame " << frame << " at " << p.x << " " << p.y << " " << p.z;
                if (now == 0) break;  // gone past the mesh's edge
                v.y -= 0.01 * size;
            }
        }
        EXPECT_GT(bounced, 1000) << c.name;
    }
}

// Elasticity 1 and no friction keep the speed through every bounce; a bounce never speeds up.
TEST(CollisionMesh, BouncesKeepOrLoseSpeedAsTold) {
    const CollisionMesh mesh(LoadMesh(DataDir() / "hollow_cube.obj"));
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> unit(-1, 1), share(0, 1);
    for (int n = 0; n < 2000; ++n) {
        Vector3 p{unit(gen) * 0.2, unit(gen) * 0.2, unit(gen) * 0.2}, v{unit(gen), unit(gen), unit(gen)};
        const double speed = Length(v);
        mesh.Move(p, v, 1, 0);
        ASSERT_NEAR(Length(v), speed, 1e-12 * speed);
        const double e = share(gen), f = share(gen);
        for (int frame = 0; frame < 5; ++frame) {
            const double before = Length(v);
            mesh.Move(p, v, e, f);
            ASSERT_LE(Length(v), before * (1 + 1e-12));
        }
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

// Both searches, the hierarchy and the collision grid, against the plain one; the hierarchy's
// crossings of a ray tell inside from outside.
TEST(TriangleSearch, TheFirstHitIsTheNearestCrossing) {
    const ObjFaces obj = ReadObj("ell.obj");
    const TriangleMesh mesh = LoadMesh(DataDir() / "ell.obj");
    const TriangleBvh bvh(mesh);
    const TriangleGrid grid(mesh);
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> coord(-1, 3);
    int hits = 0;
    for (int n = 0; n < 20000; ++n) {
        const Vector3 p{coord(gen), coord(gen), -coord(gen)}, q{coord(gen), coord(gen), -coord(gen)};
        const double expected = NearestCrossing(obj, p, q - p);
        for (const auto& hit : {bvh.FirstHit(p, q - p), grid.FirstHit(p, q - p)}) {
            if (expected > 1) {
                ASSERT_FALSE(hit && hit->t < 1 - 1e-6) << n;
                continue;
            }
            ASSERT_TRUE(hit) << n;
            ASSERT_NEAR(hit->t, expected, 1e-9) << n;
        }
        if (expected > 1) continue;
        ++hits;
        const bool inside = p.z <= 0 && p.z >= -1 && p.x >= 0 && p.y >= 0 &&
                            ((p.x <= 2 && p.y <= 1) || (p.x <= 1 && p.y <= 2));
        EXPECT_EQ(bvh.Crossings(p, {0.3, 0.2, 0.9}) % 2 == 1, inside) << n;
    }
    EXPECT_GT(hits, 5000);
}

// A fountain over the tilted plane, with a key every frame: every key of every particle lies
// above the plane wherever the plane is below it, on both generation paths alike.
class KeysAbove : public KeyReceiver {
  public:
    void Motion(const MotionTable&, const EngineState&) override {}
    void Object(std::uint32_t p, ObjectKeys& keys) override {
        for (const SceneKey& k : keys) {
            const double x = k.value[0], y = k.value[1], z = k.value[2];
            if (std::fabs(x) <= 8 && std::fabs(z) <= 7.5 && k.value[6] != 0) {
                EXPECT_GE(y - 0.75 * x, 0) << "object " << p << " frame " << k.frame;
                keys_near += y - 0.75 * x < 0.05 ? 1 : 0;
            }
        }
    }
    int keys_near = 0;  // just above the plane: resting or bouncing
};

TEST(CollisionMesh, AGeneratedSceneStaysAboveThePlane) {
    TempDir dir;
    Settings s = SceneSettings(dir, "LWMO\n1\n9\n2\n-3 2 0 0 0 0 1 1 1\n0 1 0 0 0\n3 6 1 90 0 0 1 1 1\n30 1 0 0 0\n");
    for (const char* a : {"num_particles=60", "particles_per_frame=3", "velocity=0.1", "velocity_variation=80",
                          "heading_spread=360", "pitch_spread=180", "gravity=2", "linear_path=off", "last_frame=60",
                          "elasticity=0.3", "friction=0.8", "oversampling=on"}) {
        ASSERT_TRUE(AssignSetting(s, a).ok) << a;
    }
    ASSERT_TRUE(SetPathText(s.collision_object, (DataDir() / "tilted_plane.obj").string()));
    for (const GenerationPath path : {GenerationPath::Reference, GenerationPath::Scheduled}) {
        EngineState state;
        RecordingSink sink;
        ScriptedHook hook;
        KeysAbove keys;
        EXPECT_EQ(CollectSceneKeys(s, state, sink, hook, keys, {path}).outcome, WriteOutcome::Complete);
        EXPECT_GT(keys.keys_near, 1000);
    }
}

}  // namespace
}  // namespace vexo
