// Lets a long pass stop part-way. The frame loops report their work as they run; after every
// kPollWork particle updates the thread's poll is asked whether to stop. The writer's thread
// asks the caller's PassHook, a worker asks whether the writer has stopped. A thread with no
// poll installed never stops.
#pragma once

#include <cstdint>
#include <functional>

namespace vexo {

// Particle updates between two questions: a few milliseconds of work at most.
inline constexpr std::uint64_t kPollWork = std::uint64_t{1} << 16;

// Installs `stop` as this thread's poll for the object's life (they nest).
class ScopedPassPoll {
  public:
    explicit ScopedPassPoll(std::function<bool()> stop);
    ~ScopedPassPoll();
    ScopedPassPoll(const ScopedPassPoll&) = delete;
    ScopedPassPoll& operator=(const ScopedPassPoll&) = delete;

    std::function<bool()> stop;
    std::uint64_t work = 0;
    bool stopped = false;
    ScopedPassPoll* previous;
};

// Called by a frame loop after `work` particle updates. True when the pass must stop now;
// once true it stays true while the poll is installed.
bool PassInterrupted(std::uint64_t work);

// Asks this thread's poll at once (the writer, while it waits for a block).
bool AskPassPoll();

}  // namespace vexo
