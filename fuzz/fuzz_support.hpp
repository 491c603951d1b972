// What the fuzz targets share: a sink that swallows the engine's messages, a hook that lets
// every pass run, and a failed check that stops the run as a crash would.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/reporting.hpp"

namespace vexo::fuzz {

using NullSink = vexo::QuietSink;

class ContinueHook : public PassHook {
  public:
    PassAction OnPassStart(std::uint32_t, std::uint32_t) override { return PassAction::Continue; }
};

// A property the code promises does not hold: report it and abort, which libFuzzer records.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace vexo::fuzz
