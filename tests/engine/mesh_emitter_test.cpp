// Places on emitter meshes over many emissions, checked with geometry of the tests' own
// (mesh_geometry.hpp): every surface place lies on a face, each face gets its share of the
// area, volume places lie inside and fill it evenly, vertices are chosen evenly, and emission
// along the normal leaves within the spreads round the face's outward normal.
#include "engine/simulation/mesh_emitter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "engine/simulation/emission.hpp"
#include "engine/simulation/scene_meshes.hpp"
#include "tests/engine/mesh_geometry.hpp"

namespace vexo {
namespace {

using namespace vexo::testing;

constexpr std::uint32_t kDraws = 60000;

std::unique_ptr<MeshEmitter> Emitter(const std::string& name, EmitFrom from) {
    MeshEmitter::Problem problem;
    std::uint64_t odd = 0;
    auto emitter = MeshEmitter::Make(LoadMesh(DataDir() / name), from, problem, odd);
    EXPECT_EQ(problem, MeshEmitter::Problem::None) << name;
    return emitter;
}

struct PoseCase {
    const char* mesh;
    EmitterPose pose;
};
// Still, turned and moved, and stretched unequally (which changes the faces' shares of area).
const PoseCase kPoses[] = {
    {"wedge.obj", {}},
    {"wedge.obj", {{3, -1, 2}, 30, -50, 70, {1, 1, 1}}},
    {"wedge.obj", {{0, 5, 0}, 10, 20, 0, {1, 1, 4}}},
    {"ell.obj", {{-2, 0, 1}, 200, 10, -30, {0.5, 2, -1}}},
};

Vector3 Local(const EmitterPose& pose, const Vector3& p) {
    return Solve(PoseMatrix(pose.heading, pose.pitch, pose.bank, pose.scale), p - pose.position);
}

TEST(MeshEmitter, SurfacePlacesLieOnFacesInProportionToTheirArea) {
    for (const PoseCase& c : kPoses) {
        const ObjFaces obj = ReadObj(c.mesh);
        const auto emitter = Emitter(c.mesh, EmitFrom::Surface);
        const Matrix3 m = PoseMatrix(c.pose.heading, c.pose.pitch, c.pose.bank, c.pose.scale);
        std::vector<double> share;  // of each face's area after the pose
        double total = 0;
        for (const auto& f : obj.faces) {
            share.push_back(Area({Apply(m, f[0]), Apply(m, f[1]), Apply(m, f[2])}));
            total += share.back();
        }
        std::vector<double> count(obj.faces.size(), 0);
        for (std::uint32_t seed = 0; seed < kDraws; ++seed) {
            const MeshPlace place = emitter->Pick(seed * 2654435761u, c.pose);
            const Vector3 p = Local(c.pose, place.point);
            const int face = FaceOf(obj, p, 1e-9);
            ASSERT_GE(face, 0) << c.mesh << " seed " << seed << ": " << p.x << " " << p.y << " " << p.z;
            ++count[face];
            const auto& f = obj.faces[face];
            // The outward normal of the posed face (a mirroring pose turns the cross product round).
            const double det = Dot(Apply(m, {1, 0, 0}), Cross(Apply(m, {0, 1, 0}), Apply(m, {0, 0, 1})));
            const Vector3 normal =
                Unit(Cross(Apply(m, f[1]) - Apply(m, f[0]), Apply(m, f[2]) - Apply(m, f[0]))) *
                (det < 0 ? -1 : 1);
            ASSERT_LT(Length(place.normal - normal), 1e-9) << c.mesh << " face " << face;
        }
        for (std::size_t i = 0; i < count.size(); ++i) {
            EXPECT_TRUE(Binomial(count[i], kDraws, share[i] / total))
                << c.mesh << " face " << i << ": " << count[i];
        }
    }
}

// Places inside the L-shaped prism and the hollow cube (as the files give them, before the
// mirror of z): every one inside, and each part gets its share of the volume.
struct VolumeCase {
    const char* mesh;
    bool (*inside)(const Vector3&);
    std::vector<std::pair<bool (*)(const Vector3&), double>> parts;  // and their shares
};

TEST(MeshEmitter, VolumePlacesLieInsideAndFillItEvenly) {
    const VolumeCase cases[] = {
        {"ell.obj",
         [](const Vector3& p) {
             return p.z >= 0 && p.z <= 1 && p.x >= 0 && p.y >= 0 &&
                    ((p.x <= 2 && p.y <= 1) || (p.x <= 1 && p.y <= 2));
         },
         {{[](const Vector3& p) { return p.x > 1; }, 1 / 3.0},
          {[](const Vector3& p) { return p.y > 1; }, 1 / 3.0},
          {[](const Vector3& p) { return p.z > 0.5; }, 0.5}}},
        {"hollow_cube.obj",
         [](const Vector3& p) {
             const double m = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
             return m <= 1 && m >= 0.5;
         },
         {{[](const Vector3& p) { return p.x > 0 && p.y > 0 && p.z > 0; }, 1 / 8.0},
          {[](const Vector3& p) {
               return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}) < 0.75;
           },
           (1.5 * 1.5 * 1.5 - 1) / 7}}},
    };
    const EmitterPose poses[] = {{}, {{1, 2, 3}, -40, 25, 100, {2, 0.5, 1.5}}};
    for (const VolumeCase& c : cases) {
        const auto emitter = Emitter(c.mesh, EmitFrom::Volume);
        for (const EmitterPose& pose : poses) {
            std::vector<double> counts(c.parts.size(), 0);
            for (std::uint32_t seed = 0; seed < kDraws; ++seed) {
                const MeshPlace place = emitter->Pick(seed * 2654435761u, pose);
                Vector3 p = Local(pose, place.point);
                p.z = -p.z;  // back into the file's axes
                ASSERT_TRUE(c.inside({p.x, p.y, p.z}) ||
                            c.inside({p.x * (1 - 1e-12), p.y * (1 - 1e-12), p.z}))
                    << c.mesh << " seed " << seed << ": " << p.x << " " << p.y << " " << p.z;
                for (std::size_t i = 0; i < c.parts.size(); ++i) counts[i] += c.parts[i].first(p) ? 1 : 0;
            }
            for (std::size_t i = 0; i < c.parts.size(); ++i) {
                EXPECT_TRUE(Binomial(counts[i], kDraws, c.parts[i].second))
                    << c.mesh << " part " << i << ": " << counts[i];
            }
        }
    }
}

TEST(MeshEmitter, VerticesAreChosenEvenly) {
    const ObjFaces obj = ReadObj("ell.obj");
    const auto emitter = Emitter("ell.obj", EmitFrom::Vertices);
    const EmitterPose pose{{1, 0, 0}, 45, 0, 0, {2, 2, 2}};
    std::map<std::ptrdiff_t, double> counts;
    for (std::uint32_t seed = 0; seed < kDraws; ++seed) {
        const Vector3 p = Local(pose, emitter->Pick(seed * 2654435761u, pose).point);
        const auto at = std::find_if(obj.points.begin(), obj.points.end(),
                                     [&](const Vector3& q) { return Length(q - p) < 1e-12; });
        ASSERT_NE(at, obj.points.end()) << p.x << " " << p.y << " " << p.z;
        ++counts[at - obj.points.begin()];
    }
    ASSERT_EQ(counts.size(), obj.points.size());
    for (const auto& [point, count] : counts) EXPECT_TRUE(Binomial(count, kDraws, 1.0 / 12)) << point;
}

// Particles emitted along the normal from the wedge's surface through the emission itself: with
// no spreads exactly along the outward normal, with spreads within them and round it.
TEST(MeshEmitter, AlongTheNormalLeavesWithinTheSpreadsRoundIt) {
    const ObjFaces obj = ReadObj("wedge.obj");
    const auto emitter = Emitter("wedge.obj", EmitFrom::Surface);
    for (const auto& [heading_spread, pitch_spread] : {std::pair{0, 0}, std::pair{40, 20}}) {
        Settings prefs = DefaultSettings();
        prefs.num_particles = 1;
        prefs.velocity = 2;
        prefs.emit_from = static_cast<std::int32_t>(EmitFrom::Surface);
        prefs.emit_along_normal = kFlagTicked;
        prefs.heading_spread = heading_spread, prefs.pitch_spread = pitch_spread;
        prefs.heading_angle = 90;  // plays no part along the normal
        const double widest =
            std::acos(std::cos(heading_spread / 2.0 * K) * std::cos(pitch_spread / 2.0 * K));
        EngineState state;
        double largest = 0;
        Vector3 mean{};
        for (int i = 0; i < 20000; ++i) {
            Simulation sim;
            sim.ChildArray.assign(1, Particle{});
            sim.Parent.scale_x = sim.Parent.scale_y = sim.Parent.scale_z = 1;
            sim.emitter = emitter.get();
            CreateChildObject(sim, state, 1, prefs, nullptr);
            const Particle& p = sim.ChildArray[0];
            const int face = FaceOf(obj, {p.x, p.y, p.z}, 1e-9);
            ASSERT_GE(face, 0);
            const Vector3 v{p.vx, p.vy, p.vz};
            ASSERT_NEAR(Length(v), 2, 1e-12);
            const double angle = std::acos(std::min(1.0, Dot(v, OutwardNormal(obj.faces[face])) / 2));
            ASSERT_LE(angle, widest + 1e-9) << "face " << face;
            largest = std::max(largest, angle);
            if (face == 3) mean = mean + v;
        }
        EXPECT_GE(largest, widest * 0.95);                              // the spreads are used to their ends
        EXPECT_GT(Dot(Unit(mean), OutwardNormal(obj.faces[3])), 0.99);  // and centred on the normal
    }
}

}  // namespace
}  // namespace vexo
