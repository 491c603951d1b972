// Version 3 motion files (envelopes). Bytes that do not start with the magic are taken as the
// body after "LWMO" and "3", so the fuzzer spends its time on channels, envelopes and keys.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "engine/motion/motion.hpp"
#include "fuzz/fuzz_support.hpp"
#include "fuzz/motion_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.rfind("LWMO", 0) != 0) text.insert(0, "LWMO\n3\n");
    std::istringstream in(text);
    vexo::fuzz::NullSink sink;
    vexo::EngineState state;
    if (const auto table = vexo::ReadMotion(in, sink, state)) vexo::fuzz::CheckTable(*table, state);
    return 0;
}
