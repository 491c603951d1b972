// The generator a mesh emission draws its places from. One number of the main generator seeds
// it, so that an emission always takes the same count of main numbers however many attempts a
// place takes; the i-th value depends only on the seed and i (SplitMix64 at seed + i * gamma).
#pragma once

#include <cstdint>

namespace vexo {

class MeshRandom {
  public:
    static constexpr std::uint64_t kGamma = 0x9E3779B97F4A7C15u;

    explicit MeshRandom(std::uint64_t seed) : state_(seed) {}
    // Uniform in [0, 1), 53 bits.
    double Next() {
        state_ += kGamma;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-53;
    }
    // Uniform in 0 .. n - 1 (n > 0).
    std::uint32_t Below(std::uint32_t n) {
        const auto i = static_cast<std::uint32_t>(Next() * n);
        return i < n ? i : n - 1;
    }

  private:
    std::uint64_t state_;
};

}  // namespace vexo
