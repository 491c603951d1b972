#include "engine/block_pipeline.hpp"

#include <new>

namespace vexo {

BlockPipeline::BlockPipeline(std::uint32_t count, unsigned threads, Producer produce)
    : count_(count), produce_(std::move(produce)), window_(2 * static_cast<std::size_t>(threads)) {
    workers_.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
}

BlockPipeline::~BlockPipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void BlockPipeline::Work() {
    std::string text;
    for (;;) {
        std::uint32_t block;
        {
            std::unique_lock lock(mutex_);
            if (stop_ || failed_ || next_ >= count_) return;
            block = next_++;
        }
        text.clear();
        try {
            produce_(block, text);
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            changed_.notify_all();
            return;
        }
        std::unique_lock lock(mutex_);
        // A block waits until the writer has taken the one a window earlier.
        changed_.wait(lock, [&] { return stop_ || block < taken_ + window_.size(); });
        if (stop_) return;
        Slot& slot = window_[block % window_.size()];
        slot.text.swap(text);
        slot.block = block;
        slot.ready = true;
        changed_.notify_all();
    }
}

bool BlockPipeline::Take(std::uint32_t block, std::string& out) {
    std::unique_lock lock(mutex_);
    Slot& slot = window_[block % window_.size()];
    changed_.wait(lock, [&] { return failed_ || (slot.ready && slot.block == block); });
    if (!slot.ready || slot.block != block) return false;
    out.swap(slot.text);
    slot.ready = false;
    ++taken_;
    changed_.notify_all();
    return true;
}

}  // namespace vexo
