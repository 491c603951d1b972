#include "engine/generation/pass_poll.hpp"

namespace vexo {
namespace {

// Per thread, so the writer and every worker keep their own.
thread_local ScopedPassPoll* current_poll = nullptr;

}  // namespace

ScopedPassPoll::ScopedPassPoll(std::function<bool()> stop_now)
    : stop(std::move(stop_now)), previous(current_poll) {
    current_poll = this;
}

ScopedPassPoll::~ScopedPassPoll() {
    current_poll = previous;
}

bool PassInterrupted(std::uint64_t work) {
    ScopedPassPoll* poll = current_poll;
    if (poll == nullptr) return false;
    if (poll->stopped) return true;
    poll->work += work;
    if (poll->work < kPollWork) return false;
    poll->work = 0;
    poll->stopped = poll->stop();
    return poll->stopped;
}

bool AskPassPoll() {
    ScopedPassPoll* poll = current_poll;
    if (poll == nullptr) return false;
    if (!poll->stopped) poll->stopped = poll->stop();
    return poll->stopped;
}

}  // namespace vexo
