// A one-line progress bar for a terminal, redrawn in place with a carriage return.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

#include "engine/generation/scene_estimate.hpp"

namespace vexo::cli {

class ProgressBar {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressBar(std::ostream& out) : out_(out) {}
    // Draws `done` of `total` objects; redraws at most ten times a second (kRedrawGap apart), so
    // many quick objects cost the terminal nothing.
    void Update(std::uint32_t done, std::uint32_t total);
    // Clears the bar's line, if one was drawn.
    void Finish();

    static constexpr std::chrono::milliseconds kRedrawGap{100};
    bool counts_objects = true;  // says "object N of M" after the percentage
    // When set, the bytes written so far and the scene's size follow: "1.2 MB of 3.4 MB".
    const SceneEstimate* estimate = nullptr;
    std::function<Clock::time_point()> now = [] { return Clock::now(); };  // tests set the time

  private:
    std::ostream& out_;
    bool drawn_ = false;
    Clock::time_point last_draw_{};
};

}  // namespace vexo::cli
