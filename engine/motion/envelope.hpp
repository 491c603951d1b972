// LightWave envelopes (motion files from version 6 on): keys with span types and the
// behaviours before the first and after the last key, evaluated at any time.
#pragma once

#include <array>
#include <vector>

namespace vexo {

enum class SpanType { TCB = 0, Hermite = 1, Bezier1D = 2, Linear = 3, Stepped = 4, Bezier2D = 5 };
enum class Behavior { Reset = 0, Constant = 1, Repeat = 2, Oscillate = 3, OffsetRepeat = 4, Linear = 5 };

struct EnvelopeKey {
    double value = 0.0;
    double time = 0.0;  // seconds
    SpanType shape = SpanType::TCB;  // the span that ends at this key
    // p1..p6: tension, continuity, bias (TCB); in and out tangent as p4, p5 (Hermite, 1-D Bezier);
    // in handle (time, value) as p1, p2 and out handle as p3, p4 (2-D Bezier).
    std::array<double, 6> p{};
};

struct Envelope {
    std::vector<EnvelopeKey> keys;  // in rising time
    Behavior pre = Behavior::Constant;
    Behavior post = Behavior::Constant;
};

// The envelope's value at time t (seconds). Outside the keys the behaviours apply with the
// period taken from the first key's time (t' = t - n L, n = floor((t - tS) / L)), and Oscillate
// mirrors about the middle of the keys (tS + tE - t').
double Evaluate(const Envelope& envelope, double t);

}  // namespace vexo
