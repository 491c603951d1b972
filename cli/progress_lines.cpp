#include "cli/progress_lines.hpp"

namespace vexo::cli {

void ProgressLines::Update(std::uint32_t done, std::uint32_t total) {
    const std::int64_t percent = total == 0 ? 100 : std::int64_t{done} * 100 / total;
    if (percent == percent_) return;
    percent_ = percent;
    Line(done, total);
}

void ProgressLines::Finish(std::uint32_t total) {
    Line(total, total);
}

void ProgressLines::Line(std::uint32_t done, std::uint32_t total) {
    out_ << "progress " << done << ' ' << total << '\n' << std::flush;
}

}  // namespace vexo::cli
