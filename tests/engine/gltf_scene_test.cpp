// A particle's keys as glTF tracks, and the particle object's mesh.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/writers/gltf_tracks.hpp"
#include "engine/writers/object_mesh.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

// The keys of tests/data/gltf_track_keys.txt as tracks (one line each in the golden file: frame, time
// at 30 frames per second, translation, rotation x y z w, scale). The file says what each key tests.
TEST(GltfTracks, KeysBecomeTracksWithThePreBirthRotation) {
    ObjectKeys keys;
    std::istringstream lines(testing::ReadFile(testing::DataDir() / "gltf_track_keys.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        SceneKey key{};
        if (!(fields >> key.frame)) continue;  // a comment
        for (double& v : key.value) fields >> v;
        keys.push_back(key);
    }
    const GltfTracks tracks = MakeGltfTracks(keys);
    std::ostringstream out;
    out << std::fixed;
    for (std::size_t k = 0; k < tracks.frames.size(); ++k) {
        out << tracks.frames[k] << ' ' << KeyTime(tracks.frames[k], 30);
        for (std::size_t i = 0; i < 3; ++i) out << ' ' << tracks.translations[3 * k + i];
        for (std::size_t i = 0; i < 4; ++i) out << ' ' << tracks.rotations[4 * k + i];
        for (std::size_t i = 0; i < 3; ++i) out << ' ' << tracks.scales[3 * k + i];
        out << '\n';
    }
    EXPECT_TRUE(testing::MatchesGolden(out.str(), "gltf_tracks.txt"));
}

// The mesh is used as the importer hands it over: it already mirrors z and reverses the polygons of
// a LightWave object, so that the faces of the mirrored box still turn outwards.
TEST(ObjectMesh, TheObjectFileAsTheImporterHandsItOver) {
    const auto volume = [](const Mesh& mesh) {  // signed: positive when the faces turn outwards
        const auto point = [&](std::size_t i) { return &mesh.positions[3 * mesh.indices[i]]; };
        double sum = 0;
        for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
            const float *a = point(i), *b = point(i + 1), *c = point(i + 2);
            sum += a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0]);
        }
        return sum / 6;
    };
    const auto mesh = LoadObjectMesh((testing::DataDir() / "simple_cube.lwo").string());
    ASSERT_TRUE(mesh);
    // The file's points run from z = -1.2 to 0.9; mirrored they run from -0.9 to 1.2.
    std::vector<float> z;
    for (std::size_t i = 2; i < mesh->positions.size(); i += 3) z.push_back(mesh->positions[i]);
    const auto [lo, hi] = std::minmax_element(z.begin(), z.end());
    EXPECT_EQ(std::pair(*lo, *hi), std::pair(-0.9f, 1.2f));
    EXPECT_NEAR(volume(*mesh), 2.7 * 1.9 * 2.1, 1e-4);
    EXPECT_NEAR(volume(UnitCube()), 1.0, 1e-12);
    EXPECT_FALSE(LoadObjectMesh("/nonexistent/object.lwo") || LoadObjectMesh(""));
}

}  // namespace
}  // namespace vexo
