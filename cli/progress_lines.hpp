// Progress for programs that run vexo-cli (the Blender add-on): "progress DONE TOTAL" lines,
// flushed one by one, whenever the whole percentage changes, so a run prints at most 102 of them
// and the same settings always print the same lines.
#pragma once

#include <cstdint>
#include <ostream>

namespace vexo::cli {

class ProgressLines {
  public:
    explicit ProgressLines(std::ostream& out) : out_(out) {}
    // At the start of pass `done` of `total`: a line for the first pass and for a new percentage.
    void Update(std::uint32_t done, std::uint32_t total);
    // "progress TOTAL TOTAL" once the work is complete.
    void Finish(std::uint32_t total);

  private:
    void Line(std::uint32_t done, std::uint32_t total);

    std::ostream& out_;
    std::int64_t percent_ = -1;  // of the last line; -1 before the first
};

}  // namespace vexo::cli
