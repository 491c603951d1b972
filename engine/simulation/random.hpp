// The program's own pseudo-random generator and the two exact constants emission uses.
// The scene's numbers depend on this exact sequence; never substitute a library generator.
#pragma once

#include <cstdint>

namespace vexo {

// Degrees to radians as 3.14159 / 180 taken exactly (bits 0x3F91DF45A50DE271); evaluating
// 3.14159 / 180.0 in double arithmetic would give the neighbouring value.
inline constexpr double K = 0.01745327777777778;
// The double nearest to 1 / 2147483647 (bits 0x3E00000000200000): scales rand() into [0, 1).
inline constexpr double D = 4.656612875245797e-10;

// Linear congruential generator; state 1 at program start, never reseeded.
class Random {
public:
    static constexpr std::uint32_t kStartState = 1;
    static constexpr std::uint32_t kMultiplier = 1103515245u;
    static constexpr std::uint32_t kIncrement = 12345u;

    // A value from 0 to 2147483646.
    std::uint32_t rand() {
        state_ = state_ * kMultiplier + kIncrement;
        return state_ % 2147483647u;
    }
    // Uniform in [0, 1).
    double rnd() { return static_cast<double>(rand()) * D; }
    // Uniform in [lo, hi): one fused multiply-add, a single rounding.
    double rndbetween(double lo, double hi);

    // The state `steps` calls after `state`, in O(log steps): the generator's affine step
    // composed with itself by repeated squaring.
    static std::uint32_t Advance(std::uint32_t state, std::uint64_t steps);
    // The value rand() returns from `state` (the state after one more step, modulo 2^31 - 1).
    static std::uint32_t NextValue(std::uint32_t state) {
        return (state * kMultiplier + kIncrement) % 2147483647u;
    }

    std::uint32_t state() const { return state_; }
    void set_state(std::uint32_t state) { state_ = state; }

private:
    std::uint32_t state_ = kStartState;
};

}  // namespace vexo
