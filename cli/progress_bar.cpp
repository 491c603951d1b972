#include "cli/progress_bar.hpp"

#include <string>

namespace vexo::cli {

void ProgressBar::Update(std::uint32_t done, std::uint32_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    constexpr int kWidth = 40;
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / total;
    const int filled = static_cast<int>(fraction * kWidth);
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
         << static_cast<int>(fraction * 100) << '%';
    if (counts_objects) out_ << "  object " << done << " of " << total;
    out_ << "\x1b[K" << std::flush;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) out_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace vexo::cli
