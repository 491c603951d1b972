// What the benchmarks share: a fountain from a moving parent, a sink and hook that do nothing, and
// one timed generation.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/create_scene.hpp"
#include "engine/reporting.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {

using NullSink = vexo::QuietSink;

class NoHook : public PassHook {
  public:
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override { return PassAction::Continue; }
};

inline std::filesystem::path Scratch(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

// A fountain: emitted upwards in all directions from a moving parent, falling under gravity,
// bouncing, recycled after 80 frames.
inline Settings BenchSettings(std::int32_t particles, std::int32_t frames, bool linear) {
    static const std::string motion = [] {
        const std::string path = Scratch("vexo-bench.mot").string();
        std::ofstream(path) << "LWMO\n1\n9\n3\n0 0 0 0 0 0 1 1 1\n0 1 0 0 0\n"
                               "2 1 0 90 0 0 1 1 1\n100 1 0 0 0\n0 3 5 180 0 0 1 1 1\n300 1 0 0 0\n";
        return path;
    }();
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "Objects/particle.lwo");
    SetPathText(s.parent_motion, motion);
    SetPathText(s.target_scene, Scratch("vexo-bench.lws").string());
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

// One generation of `s` from a fresh engine state, its messages dropped: its time in seconds. One
// that does not complete marks the benchmark failed.
inline double TimedScene(benchmark::State& bench, const Settings& s, const GenerateOptions& options = {}) {
    NullSink sink;
    NoHook hook;
    EngineState state;
    const auto start = std::chrono::steady_clock::now();
    const SceneReport report = CreateScene(s, state, sink, hook, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (report.outcome != WriteOutcome::Complete) bench.SkipWithError("generation failed");
    return seconds;
}

}  // namespace vexo
