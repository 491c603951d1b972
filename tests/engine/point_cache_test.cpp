// Point caches against their definition. Every case of tests/data/cache_cases.txt is written as a
// GLB and as caches: every point of every frame must be where the GLB's node puts its mesh, the
// GLB read back with tinygltf and its keys interpolated here as glTF defines (straight, the
// rotation by slerp); the MDD holds the PC2's points in LightWave's axes and byte order; the
// reference engine, one thread and small buffers write the same bytes. A small cache byte for
// byte with hand-worked points; the LightWave object and the OBJ read back by assimp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "engine/create_scene.hpp"
#include "engine/generation/worker_pool.hpp"
#include "engine/writers/cache_files.hpp"
#include "engine/writers/gltf_scene.hpp"
#include "engine/writers/object_mesh.hpp"
#include "prefs/settings_text.hpp"
#include "tests/engine/case_file.hpp"

namespace vexo {
namespace {

using testing::DataDir;
using testing::ReadFile;
using testing::TempDir;
using Vec = std::array<double, 3>;

SceneReport Write(Settings s, const std::string& path, const GenerateOptions& options) {
    SetPathText(s.target_scene, path);
    EngineState state;
    testing::RecordingSink sink;
    testing::ScriptedHook hook;
    return CreateScene(s, state, sink, hook, options);
}

std::string Generate(const Settings& s, const std::string& path, const GenerateOptions& options) {
    EXPECT_EQ(Write(s, path, options).outcome, WriteOutcome::Complete) << path;
    return ReadFile(path);
}

template <bool kBig>
std::uint32_t Bits(const std::string& bytes, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = bits << 8 | static_cast<unsigned char>(bytes[at + (kBig ? i : 3 - i)]);
    return bits;
}
constexpr auto LeBits = Bits<false>, BeBits = Bits<true>;
float Le(const std::string& bytes, std::size_t at) {
    return std::bit_cast<float>(LeBits(bytes, at));
}
float Be(const std::string& bytes, std::size_t at) {
    return std::bit_cast<float>(BeBits(bytes, at));
}

// The points of the first copy in an OBJ ("v" lines), the count of "v" lines and of the triangles
// the "f" lines make.
std::vector<Vec> ObjCopy(const std::string& text, std::size_t copy_points, std::size_t& v, std::size_t& f) {
    std::istringstream in(text);
    std::vector<Vec> points;
    v = f = 0;
    for (std::string word; in >> word;) {
        if (word == "v" && v++ < copy_points) points.push_back({});
        if (word == "v" && points.size() == v) {
            for (double& c : points.back()) {
                in >> c;
                c = static_cast<float>(c);  // the shortest text of a float reads back as that float
            }
        }
        if (word == "f") {  // f counts the triangles of the faces: n corners make n - 2
            std::string corners;
            std::getline(in, corners);
            f += static_cast<std::size_t>(std::ranges::count(corners, ' ')) - 2;
        }
    }
    return points;
}

const float* Floats(const tinygltf::Model& m, int accessor) {
    const tinygltf::Accessor& a = m.accessors[static_cast<std::size_t>(accessor)];
    const tinygltf::BufferView& view = m.bufferViews[static_cast<std::size_t>(a.bufferView)];
    return reinterpret_cast<const float*>(m.buffers[0].data.data() + view.byteOffset + a.byteOffset);
}

// A channel's value at time t as glTF defines LINEAR: held outside the keys, straight between
// them, rotations by spherical interpolation along the shorter arc.
std::vector<double> Sample(const tinygltf::Model& m, const tinygltf::AnimationSampler& sampler, int n,
                           float t) {
    const float* times = Floats(m, sampler.input);
    const float* values = Floats(m, sampler.output);
    const std::size_t keys = m.accessors[static_cast<std::size_t>(sampler.input)].count;
    std::size_t i = 0;
    while (i + 1 < keys && times[i + 1] <= t) ++i;
    const double u =
        i + 1 < keys && t > times[i] ? (double{t} - times[i]) / (double{times[i + 1]} - times[i]) : 0;
    std::vector<double> a(values + n * i, values + n * (i + 1)), b = a;
    if (u > 0) b.assign(values + n * (i + 1), values + n * (i + 2));
    double dot = 0, wa = 1 - u, wb = u;
    for (int c = 0; c < n; ++c) dot += a[c] * b[c];
    if (n == 4 && dot < 0) {
        for (double& c : b) c = -c;
        dot = -dot;
    }
    if (n == 4 && dot < 0.9999) {
        const double angle = std::acos(dot);
        wa = std::sin((1 - u) * angle) / std::sin(angle);
        wb = std::sin(u * angle) / std::sin(angle);
    }
    for (int c = 0; c < n; ++c) a[c] = wa * a[c] + wb * b[c];
    return a;
}

// Where the GLB puts point m of particle p at time t.
Vec GlbPoint(const tinygltf::Model& model, std::size_t p, const Vec& point, float t) {
    const tinygltf::Node& node = model.nodes[p];  // Vexo's nodes hold all three, animated or still
    std::vector<double> tr = node.translation, r = node.rotation, s = node.scale;
    for (const tinygltf::AnimationChannel& c : model.animations[0].channels) {
        if (c.target_node != static_cast<int>(p)) continue;
        const auto& sampler = model.animations[0].samplers[static_cast<std::size_t>(c.sampler)];
        (c.target_path == "translation" ? tr
         : c.target_path == "rotation"  ? r
                                        : s) = Sample(model, sampler, c.target_path == "rotation" ? 4 : 3, t);
    }
    const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]);
    const double x = r[0] / len, y = r[1] / len, z = r[2] / len, w = r[3] / len;
    const double v[3] = {point[0] * s[0], point[1] * s[1], point[2] * s[2]};
    return {
        tr[0] + (1 - 2 * (y * y + z * z)) * v[0] + 2 * (x * y - z * w) * v[1] + 2 * (x * z + y * w) * v[2],
        tr[1] + 2 * (x * y + z * w) * v[0] + (1 - 2 * (x * x + z * z)) * v[1] + 2 * (y * z - x * w) * v[2],
        tr[2] + 2 * (x * z - y * w) * v[0] + 2 * (y * z + x * w) * v[1] + (1 - 2 * (x * x + y * y)) * v[2]};
}

TEST(PointCache, EveryFrameIsWhereTheGlbKeysPutTheParticle) {
    for (const testing::TextCase& c : testing::ReadCases("cache_cases.txt")) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Settings s = testing::SceneSettings(dir, "");
        SetPathText(s.parent_motion, (DataDir() / "emitter_v1.mot").string());
        SetPathText(s.particle_object, (DataDir() / "simple_cube.lwo").string());
        s.num_particles = 12;
        double fps = 24;
        for (const std::string& line : c.lines) {
            std::istringstream in(line);
            std::string word, value;
            in >> word >> value;
            if (word == "motion") SetPathText(s.parent_motion, (DataDir() / value).string());
            if (word == "object") SetPathText(s.particle_object, (DataDir() / value).string());
            if (word == "emitter") SetPathText(s.emitter_object, (DataDir() / value).string());
            if (word == "collision") SetPathText(s.collision_object, (DataDir() / value).string());
            if (word == "fps") fps = std::stod(value);
            ASSERT_TRUE(line.find('=') == std::string::npos || AssignSetting(s, line).ok) << line;
        }
        const auto P = static_cast<std::size_t>(s.num_particles),
                   S = static_cast<std::size_t>(s.last_frame) + 1;
        const GenerateOptions glb{GenerationPath::Scheduled, 2, SceneFormat::Glb, fps};
        GenerateOptions pc2 = glb, mdd = glb, reference = glb, small = glb, rows = glb;
        pc2.format = small.format = rows.format = reference.format = SceneFormat::Pc2;
        mdd.format = SceneFormat::Mdd;
        reference.path = GenerationPath::Reference;
        small.threads = 1, small.cache_buffer = 1;  // a particle at a time
        Generate(s, dir.str("g.glb"), glb);
        const std::string cache = Generate(s, dir.str("c.pc2"), pc2),
                          lwo_cache = Generate(s, dir.str("c.mdd"), mdd);
        std::size_t v = 0, f = 0;
        const std::string obj = ReadFile(dir.path("c.obj"));
        const std::size_t points = LeBits(cache, 16);
        ASSERT_EQ(points % P, 0u);
        const std::vector<Vec> copy = ObjCopy(obj, points / P, v, f);
        rows.threads = 3, rows.cache_buffer = 12 * points;  // a whole frame at a time
        EXPECT_EQ(cache, Generate(s, dir.str("r.pc2"), reference)) << "the reference engine";
        EXPECT_EQ(cache, Generate(s, dir.str("s.pc2"), small)) << "a particle at a time";
        EXPECT_EQ(cache, Generate(s, dir.str("w.pc2"), rows)) << "a frame at a time";

        ASSERT_EQ(cache.size(), 32 + 12 * points * S);
        ASSERT_EQ(cache.substr(0, 16), std::string("POINTCACHE2\0\1\0\0\0", 16));
        EXPECT_TRUE(Le(cache, 20) == 0.0f && Le(cache, 24) == 1.0f && LeBits(cache, 28) == S);
        EXPECT_TRUE(BeBits(lwo_cache, 0) == S && BeBits(lwo_cache, 4) == points);
        ASSERT_EQ(lwo_cache.size(), 8 + 4 * S + 12 * points * S);
        EXPECT_EQ(v, points);

        tinygltf::Model model;
        std::string error, warning;
        EXPECT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&model, &error, &warning, dir.str("g.glb")))
            << error;
        ASSERT_EQ(model.nodes.size(), P);
        EXPECT_EQ(f, P * model.accessors[1].count / 3);
        // The GLB's mesh shows the OBJ copy's points (the cache welds the corners of one point).
        const float* mesh = Floats(model, 0);
        for (std::size_t i = 0; i < model.accessors[0].count; ++i) {
            const Vec m{mesh[3 * i], mesh[3 * i + 1], mesh[3 * i + 2]};
            EXPECT_NE(std::find(copy.begin(), copy.end(), m), copy.end()) << "mesh point " << i;
        }
        std::size_t hidden = 0, far = 0;
        for (std::size_t k = 0; k < S; ++k) {
            const float t = static_cast<float>(static_cast<double>(k) / fps);
            EXPECT_EQ(Be(lwo_cache, 8 + 4 * k), t) << "MDD time of frame " << k;
            for (std::size_t p = 0; p < P; ++p) {
                bool collapsed = true;
                for (std::size_t i = 0; i < copy.size(); ++i) {
                    const std::size_t at = (k * points + p * copy.size() + i) * 12;
                    const Vec want = GlbPoint(model, p, copy[i], t);
                    for (std::size_t a = 0; a < 3; ++a) {
                        const float got = Le(cache, 32 + at + 4 * a);
                        far += std::fabs(got - want[a]) > 1e-4 * (1 + std::fabs(want[a]));
                        EXPECT_EQ(Be(lwo_cache, 8 + 4 * S + at + 4 * a), a == 2 ? -got : got);
                        collapsed =
                            collapsed && got == Le(cache, 32 + (k * points + p * copy.size()) * 12 + 4 * a);
                    }
                }
                hidden += collapsed;
            }
        }
        EXPECT_EQ(far, 0u) << "coordinates away from the GLB's";
        EXPECT_GT(hidden, 0u) << "no hidden particle was compared";
        EXPECT_LT(hidden, P * S) << "no visible particle was compared";
    }
}

// Two particles worked by hand (tests/data/cache_worked.txt) in both path modes; the four files of
// the key-every-frame cache byte for byte.
TEST(PointCache, SmallCachesHoldTheWorkedPoints) {
    TempDir dir;
    Settings s = testing::SceneSettings(dir, "LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n");
    for (const char* line :
         {"num_particles=2", "particles_per_frame=1", "velocity=1", "heading_angle=-90", "last_frame=3"})
        ASSERT_TRUE(AssignSetting(s, line).ok) << line;
    std::map<std::string, std::pair<std::string, std::string>> caches;
    for (const std::string mode : {"off", "on"}) {
        ASSERT_TRUE(AssignSetting(s, "linear_path=" + mode).ok);
        caches[mode] = {
            Generate(s, dir.str(mode + ".pc2"), {GenerationPath::Scheduled, 2, SceneFormat::Pc2}),
            Generate(s, dir.str(mode + ".mdd"), {GenerationPath::Scheduled, 2, SceneFormat::Mdd})};
    }
    const auto& [pc2, mdd] = caches["off"];
    EXPECT_EQ(pc2.substr(0, 32),
              std::string("POINTCACHE2\0\1\0\0\0\x10\0\0\0\0\0\0\0\0\0\x80\x3f\4\0\0\0", 32));
    EXPECT_EQ(mdd.substr(0, 24),
              std::string("\0\0\0\4\0\0\0\x10\0\0\0\0\x3d\x2a\xaa\xab\x3d\xaa\xaa\xab\x3e\0\0\0", 24));
    std::istringstream worked(ReadFile(DataDir() / "cache_worked.txt"));
    int checked = 0;
    for (std::string line; std::getline(worked, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::string mode;
        std::size_t k, p, i;
        double x, y, z;
        in >> mode >> k >> p >> i >> x >> y >> z;
        const std::size_t at = (k * 16 + p * 8 + i) * 12;
        const auto& [cache, lightwave] = caches.at(mode);
        EXPECT_EQ(Vec({Le(cache, 32 + at), Le(cache, 36 + at), Le(cache, 40 + at)}), Vec({x, y, z})) << line;
        EXPECT_EQ(Vec({Be(lightwave, 24 + at), Be(lightwave, 28 + at), Be(lightwave, 32 + at)}),
                  Vec({x, y, -z}))
            << line;
        ++checked;
    }
    EXPECT_EQ(checked, 15);
    EXPECT_TRUE(testing::MatchesGolden(pc2, "cache_small.pc2"));
    EXPECT_TRUE(testing::MatchesGolden(mdd, "cache_small.mdd"));
    EXPECT_TRUE(testing::MatchesGolden(ReadFile(dir.path("off.obj")), "cache_small.obj"));
    EXPECT_TRUE(testing::MatchesGolden(ReadFile(dir.path("off.lwo")), "cache_small.lwo"));
}

// The objects beside the caches, read back by the Open Asset Import Library: the OBJ in glTF's
// axes and the LightWave object in LightWave's both come back as copies of the particle object's
// polygons (the cube's squares stay squares, the house keeps its pentagons), turned the same way
// round (each face compared as its points from its lowest). 9,400 copies of a 7-point pyramid
// take point and polygon numbers past 65,279, where a LightWave index takes 4 bytes (and one copy
// holds both kinds).
TEST(PointCache, ObjectsReadBackAsCopiesOfTheParticleObject) {
    const auto faces = [](const Mesh& mesh, std::size_t copies) {
        std::multiset<std::vector<Vec>> out;
        for (std::size_t f = 0, first = 0; f < mesh.face_count(); first += mesh.face_size(f++)) {
            std::vector<Vec> corners;
            for (std::size_t c = first; c < first + mesh.face_size(f); ++c) {
                const float* p = &mesh.positions[3 * mesh.indices[c]];
                corners.push_back({p[0], p[1], p[2]});
            }
            std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
            for (std::size_t n = 0; n < copies; ++n) out.insert(corners);
        }
        return out;
    };
    for (const auto& [object, copies, polygons] :
         {std::tuple{"simple_cube.lwo", 3, 6u}, std::tuple{"wedge.obj", 3, 4u},
          std::tuple{"house.obj", 2, 7u}, std::tuple{"hexapyramid.obj", 9400, 10u}}) {
        SCOPED_TRACE(object);
        TempDir dir;
        Settings s = testing::SceneSettings(dir, ReadFile(DataDir() / "emitter_v1.mot"));
        SetPathText(s.particle_object, (DataDir() / object).string());
        s.num_particles = copies;
        s.last_frame = 1;
        const std::optional<Mesh> source = LoadObjectPolygons((DataDir() / object).string());
        ASSERT_TRUE(source);
        EXPECT_EQ(source->face_count(), polygons);
        for (const SceneFormat format : {SceneFormat::Pc2, SceneFormat::Mdd}) {
            SCOPED_TRACE(format == SceneFormat::Pc2 ? "OBJ" : "LWO");
            Generate(s, dir.str("c.cache"), {GenerationPath::Scheduled, 2, format});
            const std::string name = dir.str(format == SceneFormat::Pc2 ? "c.cache.obj" : "c.cache.lwo");
            const std::optional<Mesh> back = LoadObjectPolygons(name);
            ASSERT_TRUE(back);
            if (format == SceneFormat::Mdd) {  // every chunk where its length says, the last at the end
                const std::string lwo = ReadFile(name);
                std::string ids;
                std::size_t at = 12;
                for (; at + 8 <= lwo.size(); at += 8 + (BeBits(lwo, at + 4) + 1) / 2 * 2)
                    ids += lwo.substr(at, 4) + " ";
                EXPECT_EQ(ids, "TAGS LAYR PNTS BBOX POLS PTAG SURF ");
                EXPECT_EQ(at, lwo.size());
                EXPECT_EQ(BeBits(lwo, 4) + 8, lwo.size());
            }
            EXPECT_EQ(faces(*back, 1), faces(*source, static_cast<std::size_t>(copies)));
        }
    }
}

// A face a LightWave object cannot hold (over 1,023 corners) has the whole object read as
// triangles, for both caches alike.
TEST(PointCache, AFaceTooLargeForLightWaveIsTriangles) {
    for (const std::uint32_t corners : {1023u, 1024u}) {
        TempDir dir;
        std::string obj, face = "f";
        for (std::uint32_t i = 0; i < corners; ++i) {
            const double turn = 2 * std::numbers::pi * i / corners;
            obj += "v " + std::to_string(std::cos(turn)) + " " + std::to_string(std::sin(turn)) + " 0\n";
            face += " " + std::to_string(i + 1);
        }
        testing::WriteFile(dir.path("disc.obj"), obj + face + "\nf 1 2 3\n");
        const std::optional<Mesh> mesh = LoadObjectPolygons(dir.str("disc.obj"));
        ASSERT_TRUE(mesh);
        EXPECT_EQ(mesh->face_count(), corners == 1023 ? 2u : 1023u) << corners;
    }
}

// The two files are put in place together: when the second cannot be (its new file is gone), the
// first is put back, and both names keep their old bytes.
TEST(PointCache, TwoFilesOrNeither) {
    TempDir dir;
    testing::WriteFile(dir.path("c.pc2"), "old cache");
    testing::WriteFile(dir.path("c.obj"), "old object");
    CacheFiles files;
    ASSERT_TRUE(files.Open(dir.str("c.pc2"), SceneFormat::Pc2));
    ASSERT_TRUE(files.WriteHeader({SceneFormat::Pc2, 8, 2}, 24) && files.WriteObject(UnitCube(), 1));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) {
        if (entry.path().filename().string().starts_with(".c.obj.")) std::filesystem::remove(entry.path());
    }
    EXPECT_FALSE(files.Commit());
    EXPECT_EQ(files.failed_file(), dir.str("c.obj"));
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"c.obj", "c.pc2"}));
    EXPECT_EQ(ReadFile(dir.path("c.pc2")) + ", " + ReadFile(dir.path("c.obj")), "old cache, old object");
}

// A pipe, named or reached through /proc/self/fd as /dev/stdout reaches one, takes a scene or the
// scheduled cache in file order, the same bytes as a file. What would have to write back is
// refused before anything reaches it: a GLB (its header comes last) and the reference engine's
// cache, which puts each particle's frames in place.
TEST(PointCache, APipeTakesWhatIsWrittenInFileOrder) {
    TempDir dir;
    Settings s = testing::SceneSettings(dir, ReadFile(DataDir() / "emitter_v1.mot"));
    for (const char* line :
         {"num_particles=7", "particles_per_frame=2", "velocity=0.5", "heading_spread=360"})
        ASSERT_TRUE(AssignSetting(s, line).ok);
    ASSERT_EQ(::mkfifo(dir.str("pipe.pc2").c_str(), 0600), 0);
    const std::tuple<SceneFormat, GenerationPath, std::string> cases[] = {
        {SceneFormat::Pc2, GenerationPath::Scheduled, ""},
        {SceneFormat::Pc2, GenerationPath::Reference,
         "the reference engine writes a point cache only to a regular file"},
        {SceneFormat::Lwsc1, GenerationPath::Scheduled, ""},
        {SceneFormat::Gltf, GenerationPath::Reference, ""},
        {SceneFormat::Glb, GenerationPath::Scheduled, scene_text::kGlbToPipe}};
    for (const bool named : {true, false}) {
        for (const auto& [format, path, error] : cases) {
            if (!named && IsPointCache(format)) continue;  // its object goes beside the target
            SCOPED_TRACE(std::to_string(named) + " " + std::to_string(static_cast<int>(format)));
            GenerateOptions options{path, 2, format};
            options.cache_buffer = 12 * 8 * 7;  // a frame at a time
            const std::string file = Generate(s, dir.str("file"), {GenerationPath::Scheduled, 2, format});
            int ends[2] = {-1, -1};
            ASSERT_EQ(::pipe(ends), 0);
            const std::string target =
                named ? dir.str("pipe.pc2") : "/proc/self/fd/" + std::to_string(ends[1]);
            std::string piped;
            std::thread reader([&] {
                if (named) return void(piped = ReadFile(target));
                char buffer[4096];
                for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) piped.append(buffer, n);
            });
            const SceneReport report = Write(s, target, options);
            ::close(ends[1]);
            reader.join();
            ::close(ends[0]);
            EXPECT_EQ(report.outcome, error.empty() ? WriteOutcome::Complete : WriteOutcome::CannotOpen);
            EXPECT_EQ(report.error, error);
            EXPECT_EQ(piped, error.empty() ? file : "");
        }
    }
}

// The workers share out every item once, with threads or (when none can be started) on the
// calling thread; a stop from the poll ends the piece early.
TEST(WorkerPool, EveryItemOnceAndStopsWhenAsked) {
    for (const unsigned threads : {0u, 3u}) {
        WorkerPool pool(threads);
        std::vector<std::atomic<int>> done(1000);
        pool.Start(done.size(), 7, [&](unsigned, std::uint64_t b, std::uint64_t e) {
            for (std::uint64_t i = b; i < e; ++i) ++done[i];
        });
        EXPECT_EQ(pool.Wait([] { return false; }), WorkerPool::Outcome::Done);
        EXPECT_TRUE(std::all_of(done.begin(), done.end(), [](const auto& n) { return n == 1; }));
        EXPECT_EQ(pool.finished(), done.size());
        pool.Start(1u << 20, 1, [](unsigned, std::uint64_t, std::uint64_t) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        });
        EXPECT_EQ(pool.Wait([] { return true; }), WorkerPool::Outcome::Stopped);
        EXPECT_LT(pool.finished(), std::uint64_t{1} << 20);
        pool.Start(5, 1, [](unsigned, std::uint64_t b, std::uint64_t) {
            if (b == 3) throw std::bad_alloc();
        });
        EXPECT_EQ(pool.Wait([] { return false; }), WorkerPool::Outcome::Failed);
    }
}

}  // namespace
}  // namespace vexo
