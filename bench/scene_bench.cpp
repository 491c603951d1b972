// Generation speed, side by side in one run:
//   build/bench/vexo_bench                 (everything; the reference at 2,000 particles takes a while)
//   build/bench/vexo_bench --benchmark_filter=Linear
//   build/bench/vexo_bench --benchmark_filter=Writer   (every writer side by side, peak memory)
//   build/bench/vexo_bench --benchmark_filter=WriterRatios   (glTF against version 1 text)
//   (meshes: bench/mesh_bench.cpp)
// Reported per benchmark: wall time, "us/object" (wall time per written object), and for the
// writers "peak_MB": how far the process's peak resident memory rose above where it stood when
// the benchmark started (the kernel's high-water mark, reset first through /proc/self/clear_refs).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"
#include "bench/bench_settings.hpp"
#include "bench/peak_memory.hpp"

namespace vexo {
namespace {

void Generate(benchmark::State& bench, bool linear, GenerationPath path, unsigned threads,
              SceneFormat format = SceneFormat::Lwsc1, const char* target = "vexo-bench.lws") {
    const auto particles = static_cast<std::int32_t>(bench.range(0));
    Settings s = BenchSettings(particles, 300, linear);
    SetPathText(s.target_scene, Scratch(target).string());
    const double resident = ResetPeakMemory();
    for (auto _ : bench) TimedScene(bench, s, {path, threads, format});
    bench.counters["us/object"] = benchmark::Counter(static_cast<double>(particles) / 1e6,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    bench.counters["peak_MB"] = (PeakSince(resident)) / 1e6;
    bench.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(s.target_scene.data())) / 1e6;
    bench.SetBytesProcessed(bench.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(s.target_scene.data())));
    std::filesystem::remove(s.target_scene.data());  // large scenes take gigabytes
}

void BM_NonLinear_Reference(benchmark::State& bench) { Generate(bench, false, GenerationPath::Reference, 1); }
void BM_NonLinear_Scheduled(benchmark::State& bench) { Generate(bench, false, GenerationPath::Scheduled, 0); }
void BM_NonLinear_Scheduled1Thread(benchmark::State& bench) { Generate(bench, false, GenerationPath::Scheduled, 1); }
void BM_Linear_Reference(benchmark::State& bench) { Generate(bench, true, GenerationPath::Reference, 1); }
void BM_Linear_Scheduled(benchmark::State& bench) { Generate(bench, true, GenerationPath::Scheduled, 0); }

BENCHMARK(BM_NonLinear_Reference)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_NonLinear_Scheduled)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NonLinear_Scheduled1Thread)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Linear_Reference)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Linear_Scheduled)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same scene written by each writer: 2,000 and 20,000 particles, a key every frame (second
// argument 0) and linear keys (1), side by side in one run; and once each at 100,000 particles
// for the peak memory. `Writer_Lwsc1` is the version 1 text the others are measured against.
void WriterArgs(benchmark::internal::Benchmark* b) {
    for (const std::int64_t linear : {0, 1}) {
        for (const std::int64_t particles : {2000, 20000}) b->Args({particles, linear});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
}
void Writer(benchmark::State& bench, SceneFormat format, const char* target) {
    Generate(bench, bench.range(1) != 0, GenerationPath::Scheduled, 0, format, target);
}
void BM_Writer_Lwsc1(benchmark::State& bench) { Writer(bench, SceneFormat::Lwsc1, "vexo-bench.lws"); }
void BM_Writer_Lwsc3(benchmark::State& bench) { Writer(bench, SceneFormat::Lwsc3, "vexo-bench-v3.lws"); }
void BM_Writer_Gltf(benchmark::State& bench) { Writer(bench, SceneFormat::Gltf, "vexo-bench.gltf"); }
void BM_Writer_Glb(benchmark::State& bench) { Writer(bench, SceneFormat::Glb, "vexo-bench.glb"); }
BENCHMARK(BM_Writer_Lwsc1)->Apply(WriterArgs);
BENCHMARK(BM_Writer_Glb)->Apply(WriterArgs);
BENCHMARK(BM_Writer_Gltf)->Apply(WriterArgs);
BENCHMARK(BM_Writer_Lwsc3)->Apply(WriterArgs);
void Writer100k(benchmark::internal::Benchmark* b) {
    b->Args({100000, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}
BENCHMARK(BM_Writer_Lwsc1)->Apply(Writer100k);
BENCHMARK(BM_Writer_Glb)->Apply(Writer100k);
BENCHMARK(BM_Writer_Gltf)->Apply(Writer100k);
BENCHMARK(BM_Writer_Lwsc3)->Apply(Writer100k);

// The ratios the writers are held to, from runs interleaved in every iteration (version 1 text,
// GLB, .gltf, one after the other), so that a busy machine weighs on all three alike. Counters:
// each writer's mean time in ms, and "glb/lws1" and "gltf/lws1", the ratios of the total times.
void BM_WriterRatios(benchmark::State& bench) {
    const auto particles = static_cast<std::int32_t>(bench.range(0));
    Settings s = BenchSettings(particles, 300, bench.range(1) != 0);
    const std::pair<SceneFormat, const char*> writers[] = {
        {SceneFormat::Lwsc1, "vexo-ratio.lws"}, {SceneFormat::Glb, "vexo-ratio.glb"}, {SceneFormat::Gltf, "vexo-ratio.gltf"}};
    double seconds[3] = {0, 0, 0};
    for (auto _ : bench) {
        for (int w = 0; w < 3; ++w) {
            SetPathText(s.target_scene, Scratch(writers[w].second).string());
            seconds[w] += TimedScene(bench, s, {GenerationPath::Scheduled, 0, writers[w].first});
            std::filesystem::remove(s.target_scene.data());
        }
    }
    const auto runs = static_cast<double>(bench.iterations());
    bench.counters["lws1_ms"] = 1e3 * seconds[0] / runs;
    bench.counters["glb_ms"] = 1e3 * seconds[1] / runs;
    bench.counters["gltf_ms"] = 1e3 * seconds[2] / runs;
    bench.counters["glb/lws1"] = seconds[1] / seconds[0];
    bench.counters["gltf/lws1"] = seconds[2] / seconds[0];
}
BENCHMARK(BM_WriterRatios)
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({20000, 0})
    ->Args({20000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(5.0);

// The floor for non-linear mode: formatting and writing exactly the bytes of the 2,000-particle
// scene on one core, with the numbers already known.
void BM_NonLinear_FormatAndWriteOnly(benchmark::State& bench) {
    const Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, false);
    TimedScene(bench, s);
    std::ifstream in(s.target_scene.data());
    std::stringstream text;
    text << in.rdbuf();
    // Every line, with its numbers parsed back; integers and words stay as text.
    struct Line {
        std::vector<double> values;
        std::string rest;
    };
    std::vector<Line> lines;
    for (std::string line; std::getline(text, line);) {
        Line parsed;
        if (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line.find('.') != std::string::npos) {
            const char* p = line.data() + 2;
            const char* end = line.data() + line.size();
            for (int i = 0; i < 9; ++i) {
                double v = 0;
                p = std::from_chars(p, end, v).ptr + 1;
                parsed.values.push_back(v);
            }
            parsed.rest = std::string(p - 1, end);
        } else {
            parsed.rest = line;
        }
        lines.push_back(std::move(parsed));
    }
    const std::string target = Scratch("vexo-bench-floor.lws").string();
    for (auto _ : bench) {
        SceneFile file;
        file.Open(target);
        std::string out;
        for (const Line& line : lines) {
            if (!line.values.empty()) out += ' ';
            for (double v : line.values) {
                out += ' ';
                AppendFixed(out, v);
            }
            out += line.rest;
            out += '\n';
            if (out.size() > (1 << 18)) {
                file.Write(out);
                out.clear();
            }
        }
        file.Write(out);
        file.Close();
    }
    bench.SetBytesProcessed(bench.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(target)));
}
BENCHMARK(BM_NonLinear_FormatAndWriteOnly)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Large requests whose cost must follow the work, not a number in a file. Run them one by one
// (bench/compare_large.sh runs each in its own process, for the peak memory, against an older
// build), e.g. build/bench/vexo_bench --benchmark_filter=Large_V3Keys.
Settings LargeSettings(const std::string& motion_text, const char* name) {
    const std::string path = Scratch(name).string();
    std::ofstream(path, std::ios::binary) << motion_text;
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "Objects/particle.lwo");
    SetPathText(s.parent_motion, path);
    SetPathText(s.target_scene, Scratch("vexo-bench-large.lws").string());
    s.num_particles = 2;
    s.particles_per_frame = 1;
    s.velocity = 0.5;
    return s;
}

void RunLarge(benchmark::State& bench, const Settings& s, GenerationPath path = GenerationPath::Scheduled) {
    for (auto _ : bench) TimedScene(bench, s, {path, 0, SceneFormat::Lwsc1});
}

// A 74-byte version 1 motion whose last key is at frame 89,478,485 (a table of 6.4 GB), in a
// 30-frame scene.
void BM_Large_V1LastKeyFar(benchmark::State& bench) {
    RunLarge(bench, LargeSettings("LWMO\n1\n9\n2\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n1 2 3 0 0 0 1 1 1\n89478485 1 0 0 0\n",
                                  "vexo-bench-far.mot"));
}
// A version 3 motion whose last key is 1,242,757 s (29.8 million frames, 2.1 GB of table) after
// its first, in a 30-frame scene.
void BM_Large_V3LastKeyFar(benchmark::State& bench) {
    RunLarge(bench, LargeSettings("LWMO\n3\n\nNumChannels 1\nChannel 0\n{ Envelope\n  2\n  Key 0 0 3 0 0 0 0 0 0\n"
                                  "  Key 5 1242757 3 0 0 0 0 0 0\n  Behaviors 1 1\n}\n",
                                  "vexo-bench-far3.mot"));
}
// A version 3 motion of range(0) keys, one a frame, sampled over all of them by two particles.
void BM_Large_V3Keys(benchmark::State& bench) {
    const auto keys = static_cast<int>(bench.range(0));
    Settings s;
    {
        std::string text = "LWMO\n3\n\nNumChannels 9\n";
        for (int c = 0; c < 9; ++c) {
            text += "Channel " + std::to_string(c) + "\n{ Envelope\n  " + std::to_string(keys) + "\n";
            for (int k = 0; k < keys; ++k) {
                text += "  Key " + std::to_string(k % 7) + " " + std::to_string((k + 0.5) / 24.0) + " 0 0 0 0 0 0 0\n";
            }
            text += "  Behaviors 1 1\n}\n";
        }
        s = LargeSettings(text, "vexo-bench-keys.mot");
    }
    s.last_frame = keys;
    RunLarge(bench, s);
}
// A 100 MB version 3 motion whose unknown line holds 50 million one-letter words.
void BM_Large_V3ShortWords100MB(benchmark::State& bench) {
    Settings s;
    {
        std::string text = "LWMO\n3\n\nNumChannels 1\nUnknown";
        text.reserve(100u << 20);
        while (text.size() < (100u << 20)) text += " a";
        text += "\nChannel 0\n{ Envelope\n  1\n  Key 1 0 3 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
        s = LargeSettings(text, "vexo-bench-words.mot");
    }  // the text is freed before the generation, so the peak is the reader's
    RunLarge(bench, s);
}
// No particles over frames 1 to 2^31 - 1: nothing to do on either path.
void BM_Large_ZeroParticlesLastFrame2p31(benchmark::State& bench) {
    Settings s = LargeSettings("LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n", "vexo-bench-still.mot");
    s.num_particles = 0;
    s.last_frame = 2147483647;
    RunLarge(bench, s, bench.range(0) == 0 ? GenerationPath::Scheduled : GenerationPath::Reference);
}
// Three particles with range(0) emission attempts a frame on the reference path.
void BM_Large_ReferencePerFrame(benchmark::State& bench) {
    Settings s = LargeSettings("LWMO\n1\n9\n1\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n", "vexo-bench-still.mot");
    s.num_particles = 3;
    s.particles_per_frame = static_cast<std::int32_t>(bench.range(0));
    RunLarge(bench, s, GenerationPath::Reference);
}
BENCHMARK(BM_Large_V1LastKeyFar)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Large_V3LastKeyFar)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Large_V3Keys)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Large_V3ShortWords100MB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Large_ZeroParticlesLastFrame2p31)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Large_ReferencePerFrame)
    ->Arg(1 << 24)
    ->Arg(2147483647)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

std::vector<double> Values() {
    std::mt19937_64 gen(1);
    std::uniform_real_distribution<double> d(-100.0, 100.0);
    std::vector<double> v(1 << 16);
    for (double& x : v) x = d(gen);
    return v;
}

void BM_FormatToChars(benchmark::State& bench) {
    const auto values = Values();
    std::string out;
    for (auto _ : bench) {
        out.clear();
        for (double v : values) AppendFixed(out, v);
        benchmark::DoNotOptimize(out.data());
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_FormatToChars);

void BM_FormatSnprintf(benchmark::State& bench) {
    const auto values = Values();
    std::string out;
    for (auto _ : bench) {
        out.clear();
        char buffer[400];
        for (double v : values) out.append(buffer, std::snprintf(buffer, sizeof buffer, "%f", v));
        benchmark::DoNotOptimize(out.data());
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_FormatSnprintf);

}  // namespace
}  // namespace vexo

BENCHMARK_MAIN();
