// Worker threads that share out ranges of items, started once and given one piece of work after
// another. The calling thread starts a piece, is free meanwhile (to write what the previous
// piece made) and then waits for it, asking its poll every 10 ms; the poll can stop the work.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vexo {

class WorkerPool {
  public:
    static constexpr std::chrono::milliseconds kWaitPoll{10};

    // Items begin .. end - 1 of the current piece, on worker `worker` (0 .. size() - 1).
    using Work = std::function<void(unsigned worker, std::uint64_t begin, std::uint64_t end)>;
    enum class Outcome { Done, Stopped, Failed };

    // Starts `threads` workers; with 0 (or when no thread can be started) the work runs on the
    // calling thread, within Wait. Each worker's pass poll (pass_poll.hpp) reports a stop.
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The number of workers (1 when the calling thread does the work).
    unsigned size() const { return threads_.empty() ? 1 : static_cast<unsigned>(threads_.size()); }

    // Hands out items 0 .. count - 1 in blocks of `block` and returns at once.
    void Start(std::uint64_t count, std::uint64_t block, Work work);
    // Waits until the piece is done. `poll` is asked every kWaitPoll (and, on the calling thread,
    // between blocks); true from it stops the work: Stopped. Failed when the work threw.
    Outcome Wait(const std::function<bool()>& poll);
    // Items of the current piece finished so far.
    std::uint64_t finished() const { return finished_.load(std::memory_order_relaxed); }

  private:
    void Run(unsigned worker);
    bool RunBlock(unsigned worker);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Work work_;
    std::uint64_t count_ = 0, block_ = 1;
    std::uint64_t piece_ = 0;  // counts the pieces started, so a worker takes each once
    unsigned busy_ = 0;        // workers still in the current piece
    bool quit_ = false;
    std::atomic<std::uint64_t> next_{0}, finished_{0};
    std::atomic<bool> stopping_{false}, failed_{false};
};

}  // namespace vexo
