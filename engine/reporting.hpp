// The two seams through which the engine reaches its caller: messages for the user, and the
// hook called at the start of every pass. The engine knows nothing else of windows or terminals.
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

enum class PassAction {
    Continue,
    Abort,  // stop now and delete the file
    Break,  // stop now and keep the header and the complete object blocks
};

// Called at the start of pass `pass` of `passes` (one pass per object block).
class PassHook {
public:
    virtual ~PassHook() = default;
    virtual PassAction OnPassStart(std::uint32_t pass, std::uint32_t passes) = 0;
};

}  // namespace vexo
