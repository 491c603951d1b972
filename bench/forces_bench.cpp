// What the forces and spin cost, side by side in one run: the fountain of bench_settings.hpp
// as it is, with turbulence, with spin, and with every force and spin at once, one after the
// other in every iteration (so that a busy machine weighs on all alike).
//   build/bench/vexo_bench --benchmark_filter=ForceRatios
// Arguments: particles, then 0 for a key every frame or 1 for linear keys. Counters: each
// scene's mean time in ms and its ratio to the scene without them.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench/bench_settings.hpp"
#include "engine/create_scene.hpp"

namespace vexo {
namespace {

void BM_ForceRatios(benchmark::State& bench) {
    Settings plain = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, bench.range(1) != 0);
    Settings turbulence = plain, spin = plain, all = plain;
    turbulence.turbulence = 2;
    turbulence.turbulence_size = 1.5;
    spin.spin = 360;
    all.turbulence = 2;
    all.turbulence_size = 1.5;
    all.spin = 360;
    all.drag = 0.3;
    all.wind_x = 0.2;
    const std::pair<const char*, Settings*> scenes[] = {
        {"none", &plain}, {"turbulence", &turbulence}, {"spin", &spin}, {"all", &all}};
    double seconds[4] = {0, 0, 0, 0};
    for (auto _ : bench) {
        for (int i = 0; i < 4; ++i) {
            Settings& s = *scenes[i].second;
            SetPathText(s.target_scene, Scratch("vexo-forces.lws").string());
            seconds[i] += TimedScene(bench, s);
            std::filesystem::remove(s.target_scene.data());
        }
    }
    const auto runs = static_cast<double>(bench.iterations());
    for (int i = 0; i < 4; ++i) {
        bench.counters[std::string(scenes[i].first) + "_ms"] = 1e3 * seconds[i] / runs;
        if (i > 0) bench.counters[std::string(scenes[i].first) + "/none"] = seconds[i] / seconds[0];
    }
}
BENCHMARK(BM_ForceRatios)
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({20000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace
}  // namespace vexo
