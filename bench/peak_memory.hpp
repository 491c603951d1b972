// Peak resident memory of a benchmark, from /proc/self: reset the peak, run, then read it.
#pragma once

#include <cstring>
#include <fstream>
#include <string>

namespace vexo {

// A line "Name:   N kB" of /proc/self/status, in bytes.
inline double StatusBytes(const char* name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name, 0) == 0) return std::stod(line.substr(std::strlen(name))) * 1024.0;
    }
    return 0;
}

// Resets the peak resident memory to what is resident now, and returns that.
inline double ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusBytes("VmRSS:");
}

// The peak resident memory since ResetPeakMemory returned `resident`, in bytes.
inline double PeakSince(double resident) {
    return StatusBytes("VmHWM:") - resident;
}

}  // namespace vexo
