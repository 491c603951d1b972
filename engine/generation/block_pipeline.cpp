#include "engine/generation/block_pipeline.hpp"

#include <new>

#include "engine/generation/pass_poll.hpp"

namespace vexo {

BlockPipeline::BlockPipeline(std::uint32_t count, unsigned threads, Producer produce)
    : count_(count), produce_(std::move(produce)), window_(2 * static_cast<std::size_t>(threads)) {
    workers_.reserve(threads);
    try {
        for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
    } catch (...) {
        Stop();  // the workers already started must end before the error leaves the constructor
        throw;
    }
}

BlockPipeline::~BlockPipeline() {
    Stop();
}

void BlockPipeline::Stop() {
    stopping_ = true;  // a block half made is given up
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
}

void BlockPipeline::Work() {
    const ScopedPassPoll poll([this] { return stopping_.load(std::memory_order_relaxed); });
    Block made;
    for (;;) {
        std::uint32_t index;
        {
            std::unique_lock lock(mutex_);
            if (stop_ || failed_ || next_ >= count_) return;
            index = next_++;
        }
        made.keys.clear();
        try {
            produce_(index, made);
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            changed_.notify_all();
            return;
        }
        std::unique_lock lock(mutex_);
        // A block waits until the writer has taken the one a window earlier.
        changed_.wait(lock, [&] { return stop_ || index < taken_ + window_.size(); });
        if (stop_) return;
        Slot& slot = window_[index % window_.size()];
        std::swap(slot.block, made);
        slot.index = index;
        slot.ready = true;
        changed_.notify_all();
    }
}

bool BlockPipeline::Take(std::uint32_t index, Block& out) {
    std::unique_lock lock(mutex_);
    Slot& slot = window_[index % window_.size()];
    const auto arrived = [&] { return failed_ || (slot.ready && slot.index == index); };
    while (!changed_.wait_for(lock, kTakePoll, arrived)) {
        lock.unlock();
        const bool stop = AskPassPoll();
        lock.lock();
        if (stop) return false;
    }
    if (!slot.ready || slot.index != index) return false;
    std::swap(out, slot.block);
    slot.ready = false;
    ++taken_;
    changed_.notify_all();
    return true;
}

}  // namespace vexo
