// Generation speed, side by side in one run:
//   build/bench/vexo_bench                 (everything; the reference at 2,000 particles takes a while)
//   build/bench/vexo_bench --benchmark_filter=Linear
// Reported per benchmark: wall time, and "us/object" (wall time per written object).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/create_scene.hpp"
#include "engine/writers/scene_file.hpp"
#include "engine/writers/scene_format.hpp"
#include "bench/bench_settings.hpp"

namespace vexo {
namespace {

class NullSink : public MessageSink {
public:
    void Message(std::string_view) override {}
    void DebugLine(std::string_view) override {}
};
class NoHook : public PassHook {
public:
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override { return PassAction::Continue; }
};

void Generate(benchmark::State& bench, bool linear, GenerationPath path, unsigned threads,
              SceneFormat format = SceneFormat::Lwsc1, const char* target = "vexo-bench.lws") {
    const auto particles = static_cast<std::int32_t>(bench.range(0));
    Settings s = BenchSettings(particles, 300, linear);
    SetPathText(s.target_scene, Scratch(target).string());
    NullSink sink;
    NoHook hook;
    for (auto _ : bench) {
        EngineState state;
        const SceneReport report = CreateScene(s, state, sink, hook, {path, threads, format});
        if (report.outcome != WriteOutcome::Complete) bench.SkipWithError("generation failed");
    }
    bench.counters["us/object"] = benchmark::Counter(static_cast<double>(particles) / 1e6,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    bench.SetBytesProcessed(bench.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(s.target_scene.data())));
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

// The same 2,000-particle scene with a key every frame, written by each writer.
void BM_Writer_Lwsc1(benchmark::State& bench) { Generate(bench, false, GenerationPath::Scheduled, 0); }
void BM_Writer_Lwsc3(benchmark::State& bench) {
    Generate(bench, false, GenerationPath::Scheduled, 0, SceneFormat::Lwsc3, "vexo-bench-v3.lws");
}
void BM_Writer_Gltf(benchmark::State& bench) {
    Generate(bench, false, GenerationPath::Scheduled, 0, SceneFormat::Gltf, "vexo-bench.gltf");
}
void BM_Writer_Glb(benchmark::State& bench) {
    Generate(bench, false, GenerationPath::Scheduled, 0, SceneFormat::Glb, "vexo-bench.glb");
}
BENCHMARK(BM_Writer_Lwsc1)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Writer_Lwsc3)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Writer_Gltf)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Writer_Glb)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for non-linear mode: formatting and writing exactly the bytes of the 2,000-particle
// scene on one core, with the numbers already known.
void BM_NonLinear_FormatAndWriteOnly(benchmark::State& bench) {
    const Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, false);
    NullSink sink;
    NoHook hook;
    EngineState state;
    CreateScene(s, state, sink, hook, {GenerationPath::Scheduled, 0});
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
