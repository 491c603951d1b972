// Motion files as the version 1 reader sees them (the dispatch on the version included): the
// reader either refuses the bytes or returns a table of one entry per frame up to its last key.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "engine/motion/motion.hpp"
#include "fuzz/fuzz_support.hpp"
#include "fuzz/motion_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    vexo::fuzz::NullSink sink;
    vexo::EngineState state;
    if (const auto table = vexo::ReadMotion(in, sink, state)) vexo::fuzz::CheckTable(*table, state);
    return 0;
}
