// Generation and formatting speed. Run: build/bench/vexo_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/create_scene.hpp"
#include "engine/scene_format.hpp"

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

Settings BenchSettings(std::int32_t particles, std::int32_t frames, bool linear) {
    static const std::string motion = [] {
        const std::string path = (std::filesystem::temp_directory_path() / "vexo-bench.mot").string();
        std::ofstream(path) << "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n"
                               "2 1 0 90 0 0 1 1 1\n100 1 0 0 0\n0 3 5 180 0 0 1 1 1\n300 1 0 0 0\n";
        return path;
    }();
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "Objects/particle.lwo");
    SetPathText(s.parent_motion, motion);
    SetPathText(s.target_scene, (std::filesystem::temp_directory_path() / "vexo-bench.lws").string());
    s.num_particles = particles;
    s.particles_per_frame = std::max(1, particles / frames * 2);
    s.velocity = 0.3;
    s.velocity_variation = 25;
    s.heading_spread = 360;
    s.pitch_angle = 60;
    s.pitch_spread = 30;
    s.gravity = 0.4;
    s.ground_bounce = kFlagTicked;
    s.limited_lifespan = kFlagTicked;
    s.lifespan = 80;
    s.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    s.last_frame = frames;
    s.linear_path = linear ? 1 : 0;
    return s;
}

void Generate(benchmark::State& bench, bool linear) {
    const Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, linear);
    NullSink sink;
    NoHook hook;
    for (auto _ : bench) {
        EngineState state;
        const SceneReport report = CreateScene(s, state, sink, hook);
        if (report.outcome != WriteOutcome::Complete) bench.SkipWithError("generation failed");
    }
    bench.counters["objects"] = static_cast<double>(bench.range(0));
    bench.counters["s/object"] = benchmark::Counter(static_cast<double>(bench.range(0)),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void BM_ReferenceNonLinear(benchmark::State& bench) { Generate(bench, false); }
void BM_ReferenceLinear(benchmark::State& bench) { Generate(bench, true); }
BENCHMARK(BM_ReferenceNonLinear)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceLinear)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

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
