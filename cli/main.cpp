#include <unistd.h>

#include <iostream>

#include "cli/cli_app.hpp"

int main(int argc, char** argv) {
    vexo::EngineState state;
    vexo::cli::CliStreams streams{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, {}, {}, {}};
    return vexo::cli::RunCli(argc, argv, streams, state);
}
