// A one-line progress bar for a terminal, redrawn in place with a carriage return.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace vexo::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::ostream& out) : out_(out) {}
    // Draws `done` of `total` objects; redraws at most about ten times a second.
    void Update(std::uint32_t done, std::uint32_t total);
    // Clears the bar's line, if one was drawn.
    void Finish();

    bool counts_objects = true;  // says "object N of M" after the percentage

  private:
    std::ostream& out_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace vexo::cli
