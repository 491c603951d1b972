// The two seams through which the engine reaches its caller: messages for the user, and the
// hook called at the start of every pass and polled while one runs. The engine knows nothing
// else of windows or terminals.
#pragma once

#include <cstdint>
#include <string_view>

namespace vexo {

// Receives every message the engine has for the user, word for word.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // A message the desktop program shows in its requester with the single button "Ok".
    virtual void Message(std::string_view text) = 0;
    // The motion reader's debug line, which belongs on standard output.
    virtual void DebugLine(std::string_view text) = 0;
};

// Drops every message: for work whose messages come again (a scene measured before it is
// written) or that has nobody to tell (benchmarks, fuzzing).
class QuietSink : public MessageSink {
  public:
    void Message(std::string_view) override {}
    void DebugLine(std::string_view) override {}
};

enum class PassAction {
    Continue,
    Abort,  // stop now and delete the file
    Break,  // stop now and keep the header and the complete object blocks
};

// Called at the start of pass `pass` of `passes` (one pass per object block), and polled while
// a pass runs: after every few milliseconds of work the pass does on the calling thread, and
// every 10 ms while the writer waits for a block made on another. Both always on the thread
// that called CreateScene. Abort and Break from the poll stop the pass at once; its unfinished
// block is dropped.
class PassHook {
  public:
    virtual ~PassHook() = default;
    virtual PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) = 0;
    virtual PassAction OnPassPoll(std::uint32_t /*pass*/, std::uint32_t /*passes*/) {
        return PassAction::Continue;
    }
};

}  // namespace vexo
