// One particle over 5,000,000 frames with a key every frame: an object far longer than any
// buffer. Reported per format: wall time, "peak_MB" (how far the peak resident memory rose
// above where it stood when the benchmark started) and "file_MB".
//   build/bench/vexo_bench --benchmark_filter=LongObject
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_settings.hpp"
#include "bench/peak_memory.hpp"
#include "engine/create_scene.hpp"

namespace vexo {
namespace {

void LongObject(benchmark::State& bench, SceneFormat format, const char* target) {
    Settings s = BenchSettings(1, 5'000'000, false);
    SetPathText(s.target_scene, Scratch(target).string());
    const double resident = ResetPeakMemory();
    for (auto _ : bench) TimedScene(bench, s, {GenerationPath::Scheduled, 0, format});
    bench.counters["peak_MB"] = PeakSince(resident) / 1e6;
    bench.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(s.target_scene.data())) / 1e6;
    std::filesystem::remove(s.target_scene.data());
}

void BM_LongObject_Lwsc1(benchmark::State& bench) {
    LongObject(bench, SceneFormat::Lwsc1, "vexo-long.lws");
}
void BM_LongObject_Lwsc3(benchmark::State& bench) {
    LongObject(bench, SceneFormat::Lwsc3, "vexo-long-v3.lws");
}
void BM_LongObject_Glb(benchmark::State& bench) {
    LongObject(bench, SceneFormat::Glb, "vexo-long.glb");
}
BENCHMARK(BM_LongObject_Lwsc1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LongObject_Lwsc3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LongObject_Glb)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace vexo
