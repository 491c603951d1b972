#include "engine/simulation/random.hpp"

#include <cmath>

namespace vexo {

std::uint32_t Random::Advance(std::uint32_t state, std::uint64_t steps) {
    // x -> a x + c, applied `steps` times: square (a, c) -> (a a, a c + c) per bit.
    std::uint32_t a = kMultiplier, c = kIncrement;
    while (steps != 0) {
        if ((steps & 1u) != 0) state = a * state + c;
        c = a * c + c;
        a = a * a;
        steps >>= 1;
    }
    return state;
}

double Random::rndbetween(double lo, double hi) { return std::fma(rnd(), hi - lo, lo); }

}  // namespace vexo
