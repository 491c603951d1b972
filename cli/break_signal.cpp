#include "cli/break_signal.hpp"

#include <csignal>

namespace vexo::cli {
namespace {

volatile std::sig_atomic_t break_requested = 0;

extern "C" void OnInterrupt(int) { break_requested = 1; }

}  // namespace

void InstallBreakHandler() {
    break_requested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // One-shot: the handler resets itself, so a second Ctrl-C ends a pass that runs too long.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void RemoveBreakHandler() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool BreakRequested() { return break_requested != 0; }

}  // namespace vexo::cli
