// Meshes, side by side in one run:
//   build/bench/vexo_bench --benchmark_filter=Collision   (a scene with and without a collision
//                                                           mesh of 100,000 triangles, interleaved)
//   build/bench/vexo_bench --benchmark_filter=MeshStart   (a generation emitting from a mesh of
//                                                           1,000,000 triangles: read, prepared, run)
// The meshes are written to the temporary folder once, before the first run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "bench/bench_settings.hpp"
#include "engine/create_scene.hpp"

namespace vexo {
namespace {

struct Soup {
    std::vector<float> points;  // x y z, glTF axes (y up)
    std::vector<std::uint32_t> triangles;
};

// A closed sphere of radius 1: `rings` rings of `segments` points between two poles,
// 2 * segments * (rings - 1) triangles.
Soup Sphere(std::uint32_t rings, std::uint32_t segments) {
    Soup s;
    s.points = {0, 1, 0};
    for (std::uint32_t i = 1; i < rings; ++i) {
        const double theta = std::numbers::pi * i / rings;
        for (std::uint32_t j = 0; j < segments; ++j) {
            const double phi = 2 * std::numbers::pi * j / segments;
            s.points.insert(s.points.end(), {static_cast<float>(std::sin(theta) * std::cos(phi)),
                                             static_cast<float>(std::cos(theta)),
                                             static_cast<float>(std::sin(theta) * std::sin(phi))});
        }
    }
    s.points.insert(s.points.end(), {0, -1, 0});
    const std::uint32_t south = 1 + (rings - 1) * segments;
    auto at = [&](std::uint32_t ring, std::uint32_t j) { return 1 + (ring - 1) * segments + j % segments; };
    for (std::uint32_t j = 0; j < segments; ++j) {
        s.triangles.insert(s.triangles.end(), {0, at(1, j + 1), at(1, j)});
        s.triangles.insert(s.triangles.end(), {south, at(rings - 1, j), at(rings - 1, j + 1)});
        for (std::uint32_t i = 1; i + 1 < rings; ++i) {
            s.triangles.insert(s.triangles.end(), {at(i, j), at(i, j + 1), at(i + 1, j)});
            s.triangles.insert(s.triangles.end(), {at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
        }
    }
    return s;
}

// Rolling ground of about 2 * n * n triangles over x and z from -8 to 8, 0.05 to 0.35 below the
// ground plane: the fountain's particles land on it everywhere.
Soup Terrain(std::uint32_t n) {
    Soup s;
    for (std::uint32_t i = 0; i <= n; ++i) {
        for (std::uint32_t j = 0; j <= n; ++j) {
            const double x = -8 + 16.0 * i / n, z = -8 + 16.0 * j / n;
            s.points.insert(s.points.end(), {static_cast<float>(x),
                                             static_cast<float>(-0.2 + 0.15 * std::sin(x) * std::cos(z)),
                                             static_cast<float>(z)});
        }
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t a = i * (n + 1) + j, b = a + 1, c = a + n + 1, d = c + 1;
            s.triangles.insert(s.triangles.end(), {a, b, c, b, d, c});
        }
    }
    return s;
}

void WriteObj(const Soup& s, const std::string& path) {
    std::string text;
    char line[96];
    for (std::size_t i = 0; i < s.points.size(); i += 3) {
        text.append(line, std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", s.points[i], s.points[i + 1],
                                        s.points[i + 2]));
    }
    for (std::size_t i = 0; i < s.triangles.size(); i += 3) {
        text.append(line, std::snprintf(line, sizeof line, "f %u %u %u\n", s.triangles[i] + 1,
                                        s.triangles[i + 1] + 1, s.triangles[i + 2] + 1));
    }
    std::ofstream(path, std::ios::binary) << text;
}

void WriteGlb(const Soup& s, const std::string& path) {
    const std::size_t position_bytes = 4 * s.points.size(), index_bytes = 4 * s.triangles.size();
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], s.points[i]);
        hi[i % 3] = std::max(hi[i % 3], s.points[i]);
    }
    char json[2048];
    int length =
        std::snprintf(json, sizeof json,
                      "{\"asset\":{\"version\":\"2.0\"},\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}]"
                      ",\"meshes\":[{\"primitives\":"
                      "[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],\"buffers\":[{\"byteLength\":%zu}]"
                      ",\"bufferViews\":[{\"buffer\":0,"
                      "\"byteLength\":%zu},{\"buffer\":0,\"byteOffset\":%zu,\"byteLength\":%zu}],"
                      "\"accessors\":[{\"bufferView\":0,"
                      "\"componentType\":5126,\"count\":%zu,\"type\":\"VEC3\",\"min\":[%g,%g,%g],\"max\":[%g,"
                      "%g,%g]},{\"bufferView\":1,"
                      "\"componentType\":5125,\"count\":%zu,\"type\":\"SCALAR\"}]}",
                      position_bytes + index_bytes, position_bytes, position_bytes, index_bytes,
                      s.points.size() / 3, lo[0], lo[1], lo[2], hi[0], hi[1], hi[2], s.triangles.size());
    while (length % 4 != 0) json[length++] = ' ';
    auto u32 = [](std::ofstream& out, std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    std::ofstream out(path, std::ios::binary);
    const auto body = static_cast<std::uint32_t>(position_bytes + index_bytes);
    u32(out, 0x46546C67u);
    u32(out, 2);
    u32(out, static_cast<std::uint32_t>(12 + 8 + length + 8 + body));
    u32(out, static_cast<std::uint32_t>(length));
    u32(out, 0x4E4F534Au);
    out.write(json, length);
    u32(out, body);
    u32(out, 0x004E4942u);
    out.write(reinterpret_cast<const char*>(s.points.data()), static_cast<std::streamsize>(position_bytes));
    out.write(reinterpret_cast<const char*>(s.triangles.data()), static_cast<std::streamsize>(index_bytes));
}

const std::string& TerrainPath() {
    static const std::string path = [] {
        const std::string p = Scratch("vexo-bench-terrain.glb").string();
        WriteGlb(Terrain(224), p);  // 100,352 triangles
        return p;
    }();
    return path;
}

const std::string& SpherePath(bool obj) {
    static const std::string glb = [] {
        const std::string p = Scratch("vexo-bench-sphere.glb").string();
        WriteGlb(Sphere(501, 1000), p);  // 1,000,000 triangles
        return p;
    }();
    static const std::string text = [] {
        const std::string p = Scratch("vexo-bench-sphere.obj").string();
        WriteObj(Sphere(501, 1000), p);
        return p;
    }();
    return obj ? text : glb;
}

// The fountain of 2,000 particles over 300 frames (a key every frame: second argument 0, linear
// keys: 1) without and with a collision mesh of 100,352 triangles, one after the other in every
// iteration. The mesh is the ground here: the ground plane's bounce is off in both, so that no
// particle is caught between the plane and the mesh. Counters: each one's mean time and
// "mesh/plain", the ratio of the totals.
void BM_CollisionRatio(benchmark::State& bench) {
    Settings plain = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, bench.range(1) != 0);
    plain.ground_bounce = 0;
    Settings with = plain;
    SetPathText(with.collision_object, TerrainPath());
    double seconds[2] = {0, 0};
    for (auto _ : bench) {
        seconds[0] += TimedScene(bench, plain);
        seconds[1] += TimedScene(bench, with);
    }
    const auto runs = static_cast<double>(bench.iterations());
    bench.counters["plain_ms"] = 1e3 * seconds[0] / runs;
    bench.counters["mesh_ms"] = 1e3 * seconds[1] / runs;
    bench.counters["mesh/plain"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_CollisionRatio)
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

// From the call to the finished scene, emitting from a sphere of 1,000,000 triangles: its
// vertices (argument 1), surface (2) or volume (3), read from GLB (second argument 0) or OBJ
// (1); ten particles over 30 frames, so the time is the mesh's reading and preparation.
void BM_MeshStart(benchmark::State& bench) {
    Settings s = BenchSettings(10, 30, true);
    s.emit_from = static_cast<std::int32_t>(bench.range(0));
    SetPathText(s.emitter_object, SpherePath(bench.range(1) != 0));
    for (auto _ : bench) TimedScene(bench, s);
}
BENCHMARK(BM_MeshStart)
    ->ArgsProduct({{1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace vexo
