#include "cli/progress_bar.hpp"

#include <string>

namespace vexo::cli {

void ProgressBar::Update(std::uint32_t done, std::uint32_t total) {
    const auto time = now();
    if (drawn_ && time - last_draw_ < kRedrawGap) return;
    last_draw_ = time;
    constexpr int kWidth = 40;
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / total;
    const int filled = static_cast<int>(fraction * kWidth);
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
         << static_cast<int>(fraction * 100) << '%';
    // The object being made, counted from 1 (the last one while the scene is completed).
    if (counts_objects) out_ << "  object " << (done < total ? done + 1 : total) << " of " << total;
    if (estimate != nullptr) {
        out_ << "  " << ShortByteCount(estimate->BytesAfter(done)) << " of "
             << ShortByteCount(estimate->bytes);
    }
    out_ << "\x1b[K" << std::flush;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) out_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace vexo::cli
