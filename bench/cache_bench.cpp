// Point caches against the version 1 scene of the same settings, side by side in one run:
//   build/bench/vexo_cache_bench                                  (everything; about ten minutes)
//   build/bench/vexo_cache_bench --benchmark_filter=CacheRatios   (100,000 particles, 120 frames)
//   build/bench/vexo_cache_bench --benchmark_filter=Million       (1,000,000 particles, 48 frames)
// The bundled fountain's physics, scaled up: the sample cube, the sample motion, a stream that keeps
// flowing (a lifespan of 56 frames and as many births a frame as that takes). Counters: each
// writer's time in ms and the cache's as a fraction of the scene's; the files' sizes in MB; and
// each writer's rise in peak resident memory (the kernel's high-water mark, reset before each).
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_settings.hpp"
#include "bench/peak_memory.hpp"
#include "engine/create_scene.hpp"
#include "engine/writers/point_cache.hpp"

namespace vexo {
namespace {

Settings FountainSettings(std::int32_t particles, std::int32_t frames, bool linear, const char* object) {
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, std::string(VEXO_SOURCE_DIR) + "/" + object);
    SetPathText(s.parent_motion, std::string(VEXO_SOURCE_DIR) + "/samples/emitter.mot");
    s.num_particles = particles;
    s.particles_per_frame = std::max(1, particles / 56);
    s.lifespan = 56;
    s.limited_lifespan = kFlagTicked;
    s.end_behavior = static_cast<std::int32_t>(EndBehavior::Recycle);
    s.velocity = 0.55;
    s.velocity_variation = 20;
    s.heading_spread = 360;
    s.pitch_angle = 78;
    s.pitch_spread = 12;
    s.gravity = 0.6;
    s.ground_bounce = kFlagTicked;
    s.elasticity = 0.5;
    s.particle_grow = kFlagTicked;
    s.start_size = 0.12;
    s.end_size = 0.3;
    s.first_frame = 1;
    s.last_frame = frames;
    s.linear_path = linear ? 1 : 0;
    return s;
}

struct Measured {
    double seconds = 0, peak = 0, bytes = 0;
};

// One generation: its time, its rise in peak memory, the size of the files it wrote (removed).
Measured Write(Settings s, SceneFormat format, const char* name, benchmark::State& bench) {
    const std::string target = Scratch(name).string();
    SetPathText(s.target_scene, target);
    const double resident = ResetPeakMemory();
    Measured m;
    m.seconds = TimedScene(bench, s, {GenerationPath::Scheduled, 0, format});
    m.peak = PeakSince(resident);
    for (const std::string& file :
         {target, IsPointCache(format) ? CompanionPath(target, format) : std::string()}) {
        std::error_code ec;
        if (file.empty()) continue;
        m.bytes += static_cast<double>(std::filesystem::file_size(file, ec));
        std::filesystem::remove(file, ec);  // large files take gigabytes
    }
    return m;
}

// 100,000 particles over 120 frames: the version 1 scene, the PC2 and the MDD one after the other
// in every iteration, so that a busy machine weighs on all three alike. Argument 1: linear keys.
void BM_CacheRatios(benchmark::State& bench) {
    const Settings s = FountainSettings(static_cast<std::int32_t>(bench.range(0)), 120, bench.range(1) != 0,
                                        "samples/simple_cube.lwo");
    const std::pair<SceneFormat, const char*> writers[] = {{SceneFormat::Lwsc1, "vexo-cache.lws"},
                                                           {SceneFormat::Pc2, "vexo-cache.pc2"},
                                                           {SceneFormat::Mdd, "vexo-cache.mdd"}};
    Measured total[3];
    for (auto _ : bench) {
        for (int w = 0; w < 3; ++w) {
            const Measured m = Write(s, writers[w].first, writers[w].second, bench);
            total[w].seconds += m.seconds;
            total[w].peak = std::max(total[w].peak, m.peak);
            total[w].bytes = m.bytes;
        }
    }
    const auto runs = static_cast<double>(bench.iterations());
    const char* names[] = {"lws1", "pc2", "mdd"};
    for (int w = 0; w < 3; ++w) {
        bench.counters[std::string(names[w]) + "_ms"] = 1e3 * total[w].seconds / runs;
        bench.counters[std::string(names[w]) + "_MB"] = total[w].bytes / 1e6;
        bench.counters[std::string(names[w]) + "_peak_MB"] = total[w].peak / 1e6;
    }
    bench.counters["pc2/lws1"] = total[1].seconds / total[0].seconds;
    bench.counters["mdd/lws1"] = total[2].seconds / total[0].seconds;
}
BENCHMARK(BM_CacheRatios)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// 1,000,000 particles over 48 frames with a four-point particle object (tests/data/wedge.obj).
void BM_CacheMillion(benchmark::State& bench) {
    const Settings s = FountainSettings(1000000, 48, bench.range(0) != 0, "tests/data/wedge.obj");
    Measured total;
    for (auto _ : bench) {
        const Measured m = Write(s, SceneFormat::Pc2, "vexo-million.pc2", bench);
        total.seconds += m.seconds;
        total.peak = std::max(total.peak, m.peak);
        total.bytes = m.bytes;
    }
    bench.counters["pc2_ms"] = 1e3 * total.seconds / static_cast<double>(bench.iterations());
    bench.counters["pc2_MB"] = total.bytes / 1e6;
    bench.counters["pc2_peak_MB"] = total.peak / 1e6;
}
BENCHMARK(BM_CacheMillion)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace vexo

BENCHMARK_MAIN();
