// The preview's speed beside the scene writer's, in one run:
//   build/bench/vexo_preview_bench
// PreviewData and WriteScene run the same 2,000-particle generation with a key every frame (the
// one keeps the keys, the other writes the LightWave scene); DrawAllFour draws one 1280 x 720
// picture of all four views on the calling thread with every particle visible.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <clocale>
#include <cstdlib>

#include "bench/bench_settings.hpp"
#include "engine/create_scene.hpp"
#include "preview/picture.hpp"
#include "preview/stream.hpp"

namespace vexo {
namespace {

void BM_PreviewData(benchmark::State& bench) {
    const Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, false);
    NoHook hook;
    for (auto _ : bench) {
        EngineState state;
        preview::Stream stream;
        const auto result = preview::ComputeStream(s, state, hook, stream);
        if (result.report.outcome != WriteOutcome::Complete) bench.SkipWithError("generation failed");
        benchmark::DoNotOptimize(stream.bounds);
    }
}

void BM_WriteScene(benchmark::State& bench) {
    const Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, false);
    for (auto _ : bench) TimedScene(bench, s);
}

// Every particle lives to the end, so all 2,000 are visible at frame 250.
void Draw(benchmark::State& bench, bool warm) {
    Settings s = BenchSettings(static_cast<std::int32_t>(bench.range(0)), 300, false);
    s.limited_lifespan = 0;
    s.start_size = 0.3;
    NoHook hook;
    EngineState state;
    preview::Stream stream;
    preview::ComputeStream(s, state, hook, stream);
    const std::string cube = std::string(VEXO_SOURCE_DIR) + "/samples/simple_cube.lwo";
    preview::ParticleShape shape = preview::ParticleShape::FromObject(cube);
    preview::PictureRequest request;
    request.frame = 250;
    request.name = "bench";
    for (auto _ : bench) {
        if (!warm) {
            bench.PauseTiming();
            shape = preview::ParticleShape::FromObject(cube);
            bench.ResumeTiming();
        }
        benchmark::DoNotOptimize(preview::DrawPicture(stream, shape, request).constBits());
    }
    bench.counters["visible"] = static_cast<double>(preview::ParticlesAt(stream, 250).size());
    bench.counters["object"] = shape.is_object() ? 1 : 0;
}
void BM_DrawAllFour(benchmark::State& bench) {
    Draw(bench, true);
}
void BM_DrawAllFour_FirstPicture(benchmark::State& bench) {
    Draw(bench, false);
}

BENCHMARK(BM_PreviewData)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteScene)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawAllFour)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawAllFour_FirstPicture)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexo

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
