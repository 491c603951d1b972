// The batch front end: reads the command line, builds the settings (preferences file, path
// options, --set overrides), and prints, saves or generates. main() only calls RunCli.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "engine/engine_state.hpp"

namespace vexo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;        // the scene or a preferences file could not be made
inline constexpr int kExitUsage = 2;          // bad arguments or settings; nothing was written
inline constexpr int kExitInterrupted = 130;  // Ctrl-C: the complete object blocks were kept

struct CliStreams {
    std::ostream& out;  // --print-prefs and the motion reader's debug line
    std::ostream& err;  // messages, progress and the summary
    bool err_is_terminal = false;
    // Called at the start of each pass before the break check; lets tests raise the signal.
    std::function<void(std::uint32_t pass)> on_pass;
    // The free bytes of the target's file system; when not set, the system is asked. Lets tests
    // say how much room there is.
    std::function<std::optional<std::uint64_t>(const std::string& target)> free_space;
    // As on_pass, while the scene is measured before it is written.
    std::function<void(std::uint32_t pass)> on_measure_pass;
};

int RunCli(int argc, const char* const* argv, CliStreams& streams, EngineState& state);

}  // namespace vexo::cli
