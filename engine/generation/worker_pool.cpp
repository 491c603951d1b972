#include "engine/generation/worker_pool.hpp"

#include <system_error>

#include "engine/generation/pass_poll.hpp"

namespace vexo {

WorkerPool::WorkerPool(unsigned threads) {
    try {
        threads_.reserve(threads);
        for (unsigned t = 0; t < threads; ++t) threads_.emplace_back([this, t] { Run(t); });
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones started do the work.
    }
}

WorkerPool::~WorkerPool() {
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Start(std::uint64_t count, std::uint64_t block, Work work) {
    {
        std::lock_guard lock(mutex_);
        work_ = std::move(work);
        count_ = count;
        block_ = block == 0 ? 1 : block;
        next_ = 0;
        finished_ = 0;
        stopping_ = false;
        failed_ = false;
        busy_ = static_cast<unsigned>(threads_.size());
        ++piece_;
    }
    changed_.notify_all();
}

// Takes the next block of the piece and does it; false when none is left or the work stops.
bool WorkerPool::RunBlock(unsigned worker) {
    if (stopping_.load(std::memory_order_relaxed)) return false;
    const std::uint64_t begin = next_.fetch_add(block_);
    if (begin >= count_) return false;
    const std::uint64_t end = std::min(count_, begin + block_);
    try {
        work_(worker, begin, end);
    } catch (...) {
        failed_ = true;
        stopping_ = true;
        return false;
    }
    finished_.fetch_add(end - begin, std::memory_order_relaxed);
    return true;
}

void WorkerPool::Run(unsigned worker) {
    const ScopedPassPoll poll([this] { return stopping_.load(std::memory_order_relaxed); });
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return quit_ || piece_ != seen; });
            if (quit_) return;
            seen = piece_;
        }
        while (RunBlock(worker)) {
        }
        {
            std::lock_guard lock(mutex_);
            --busy_;
        }
        changed_.notify_all();
    }
}

WorkerPool::Outcome WorkerPool::Wait(const std::function<bool()>& poll) {
    if (threads_.empty()) {
        const ScopedPassPoll inline_poll([&] {
            if (poll()) stopping_ = true;
            return stopping_.load();
        });
        while (RunBlock(0)) {
            if (AskPassPoll()) break;
        }
    } else {
        std::unique_lock lock(mutex_);
        while (!changed_.wait_for(lock, kWaitPoll, [&] { return busy_ == 0; })) {
            lock.unlock();
            const bool stop = poll();
            lock.lock();
            if (stop) stopping_ = true;
        }
    }
    if (failed_) return Outcome::Failed;
    return stopping_ || finished_ < count_ ? Outcome::Stopped : Outcome::Done;
}

}  // namespace vexo
