#include "engine/random.hpp"

#include <cmath>

namespace vexo {

double Random::rndbetween(double lo, double hi) { return std::fma(rnd(), hi - lo, lo); }

}  // namespace vexo
