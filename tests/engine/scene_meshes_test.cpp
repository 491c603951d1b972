// Meshes as the generation reads them: points joined by position, z mirrored with the fronts
// kept, faces without area dropped; the checks the settings windows make give the very
// messages a generation gives; faces across the whole box cost no more than others.
#include "engine/simulation/scene_meshes.hpp"

#include <gtest/gtest.h>

#include "engine/create_scene.hpp"
#include "engine/simulation/triangle_grid.hpp"
#include "engine/writers/obj_triangles.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using namespace vexo::testing;

// A quad and a triangle sharing an edge, a vertex listed twice (once as -0), a triangle that
// uses one point twice and a point no face uses.
TEST(SceneMeshes, PointsAreJoinedMirroredAndFacesKeepTheirFronts) {
    TempDir dir;
    WriteFile(dir.path("m.obj"),
              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 1 0 -0\nv 2 0 0\nv 5 5 5\nv 0 0 3\n"
              "f 1 2 3 4\nf 5 6 3\nf 1 2 5\n");
    Mesh read;
    std::string reason;
    ASSERT_EQ(ReadMeshTriangles(dir.str("m.obj"), read, reason), MeshFileRead::Read);
    TriangleMesh mesh;
    ASSERT_EQ(MakeTriangleMesh(read, mesh), MeshProblem::None);
    const std::vector<Vector3> points{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
    EXPECT_EQ(mesh.points, points);
    const std::vector<std::array<std::uint32_t, 3>> triangles{{0, 2, 1}, {0, 3, 2}, {1, 2, 4}};
    EXPECT_EQ(mesh.triangles, triangles);
    // The quad faces +z in the file (counter-clockwise seen from +z), so -z in LightWave's axes.
    EXPECT_LT(mesh.FaceNormal(0).z, 0);
    EXPECT_EQ(mesh.bounds.max, (Vector3{2, 1, 0}));
    EXPECT_EQ(OddEdges(mesh), 5u);  // the quad's border and the triangle's two outer edges
}

// OBJ files of triangles are read without the library: the same points (to the float) in the same
// order and the same triangles as the library gives for the text under a name it reads by content.
TEST(SceneMeshes, PlainObjFilesReadAsTheLibraryReadsThem) {
    TempDir dir;
    std::string random = "# triangles in every corner form, a colour, negative indices\no soup\nusemtl a\n";
    for (int i = 0; i < 300; ++i) {
        random += "v " + std::to_string(i % 7 * 0.37) + " " + std::to_string(i % 11 * -1.13) + " " +
                  std::to_string(i * 0.0123) + (i % 5 == 0 ? " 0.5 0.5 0.5\n" : "\n");
        if (i >= 2)
            random += i % 3 == 0 ? "f -1 -2 -3\n"
                                 : "f " + std::to_string(i - 1) + "/1 " + std::to_string(i) + "//2 " +
                                       std::to_string(i + 1) + "/3/4\n";
    }
    WriteFile(dir.path("soup.obj"),
              "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\nvn 0 0 -1\n" + random);
    for (const std::string& name :
         {std::string("soup.obj"), std::string("ell.obj"), std::string("hollow_cube.obj")}) {
        const std::string text = name == "soup.obj" ? ReadFile(dir.path(name)) : ReadFile(DataDir() / name);
        Mesh direct;
        ASSERT_TRUE(ReadObjTriangles(text, direct)) << name;  // so the .obj name is read without the library
        WriteFile(dir.path("plain.obj"), text);
        WriteFile(dir.path("by_content.dat"), text);
        TriangleMesh mesh[2];
        for (int i = 0; i < 2; ++i) {
            Mesh read;
            std::string reason;
            ASSERT_EQ(ReadMeshTriangles(dir.str(i == 0 ? "plain.obj" : "by_content.dat"), read, reason),
                      MeshFileRead::Read)
                << reason;
            ASSERT_EQ(MakeTriangleMesh(read, mesh[i]), MeshProblem::None);
        }
        // The library rounds some decimals to the neighbouring float; this reader never does.
        ASSERT_EQ(mesh[0].points.size(), mesh[1].points.size()) << name;
        for (std::size_t i = 0; i < mesh[0].points.size(); ++i)
            EXPECT_LE(Length(mesh[0].points[i] - mesh[1].points[i]), 1e-6 * Length(mesh[1].points[i]))
                << name << i;
        EXPECT_EQ(mesh[0].triangles, mesh[1].triangles) << name;
        EXPECT_GT(mesh[0].triangles.size(), 10u);
    }
}

// Every check of a file, as the settings windows make it, against what a generation with that
// file says.
TEST(SceneMeshes, TheWindowsCheckSaysWhatTheGenerationSays) {
    TempDir dir;
    WriteFile(dir.path("flat.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n");
    Settings s = SceneSettings(dir, "LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n");
    for (const auto& [path, from] : {std::pair{dir.str("flat.obj"), EmitFrom::Volume},
                                     std::pair{(DataDir() / "ell.obj").string(), EmitFrom::Volume}}) {
        ASSERT_TRUE(SetPathText(s.emitter_object, path));
        s.emit_from = static_cast<std::int32_t>(from);
        EngineState state;
        RecordingSink sink;
        ScriptedHook hook;
        const SceneReport report = CreateScene(s, state, sink, hook);
        const std::optional<std::string> check = CheckEmitterObject(path, from);
        EXPECT_EQ(report.error, check ? "emitter object" : "") << path;
        EXPECT_EQ(sink.messages, check ? std::vector<std::string>{*check} : std::vector<std::string>{});
    }
    EXPECT_EQ(CheckCollisionObject(dir.str("none.obj")),
              "Cannot use the collision object\n" + dir.str("none.obj") + ":\nNo such file or directory.");
    EXPECT_EQ(CheckCollisionObject(dir.str("flat.obj")), std::nullopt);
}

// 20,000 slivers from corner to corner of the box, each touching every cell a grid would have:
// the collision grid grows its cells instead of listing each sliver everywhere.
TEST(SceneMeshes, FacesAcrossTheWholeBoxCostNoMoreThanOthers) {
    TempDir dir;
    std::string obj = "v 0 0 0\nv 1 1 1\n";
    for (int i = 0; i < 20000; ++i) {
        obj += "v " + std::to_string(0.5 + i * 1e-5) + " 0.5 " + std::to_string(0.5 - i * 1e-5) + "\n";
        obj += "f 1 2 " + std::to_string(i + 3) + "\n";
    }
    WriteFile(dir.path("slivers.obj"), obj);
    Mesh read;
    std::string reason;
    ASSERT_EQ(ReadMeshTriangles(dir.str("slivers.obj"), read, reason), MeshFileRead::Read);
    TriangleMesh mesh;
    ASSERT_EQ(MakeTriangleMesh(read, mesh), MeshProblem::None);
    const TriangleGrid grid(mesh);
    EXPECT_LE(grid.listed(), 32 * mesh.triangles.size() + grid.cells());
}

}  // namespace
}  // namespace vexo
