// Computes object blocks on worker threads, ahead of the writer, and hands them over strictly in
// order. At most a fixed window of blocks is held at once, so memory is bounded by the thread
// count and the size of one block, never by the number of blocks.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/generation/scene_key.hpp"

namespace vexo {

class BlockPipeline {
public:
    static constexpr std::chrono::milliseconds kTakePoll{10};

    using Producer = std::function<void(std::uint32_t index, Block& out)>;

    // Starts `threads` workers on blocks 0 .. count - 1. `produce` must be safe to call from
    // several threads at once. Throws std::system_error when a thread cannot be started.
    BlockPipeline(std::uint32_t count, unsigned threads, Producer produce);
    // Stops the workers; blocks computed ahead and not taken are dropped.
    ~BlockPipeline();
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;

    // Waits for block `index` (taken in order from 0) and moves it into `out`, asking this
    // thread's pass poll every kTakePoll while it waits. Returns false if a worker failed (for
    // want of memory) or the poll said stop.
    bool Take(std::uint32_t index, Block& out);

private:
    struct Slot {
        Block block;
        std::uint32_t index = 0;
        bool ready = false;
    };
    void Work();
    void Stop();

    const std::uint32_t count_;
    Producer produce_;
    std::vector<Slot> window_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t next_ = 0;   // the next block a worker starts
    std::uint32_t taken_ = 0;  // blocks the writer has taken
    bool stop_ = false;
    std::atomic<bool> stopping_{false};  // read by the workers' frame loops without the lock
    bool failed_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace vexo
