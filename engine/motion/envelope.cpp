#include "engine/motion/envelope.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vexo {
namespace {

using Keys = std::vector<EnvelopeKey>;

// The cubic Bezier through x0 .. x3 at s, in the polynomial form LightWave's evaluator uses.
double Bezier(double x0, double x1, double x2, double x3, double s) {
    const double c = 3.0 * (x1 - x0);
    const double b = 3.0 * (x2 - x1) - c;
    const double a = x3 - x0 - c - b;
    return ((a * s + b) * s + c) * s + x0;
}

double Handle(double value, double scale) { return std::fabs(scale) > 1e-5 ? value / scale : value * 1e5; }

// The tangent leaving key i towards key i + 1, in value units per span; key i's own shape decides.
double Outgoing(const Keys& keys, std::size_t i) {
    const EnvelopeKey& k0 = keys[i];
    const EnvelopeKey& k1 = keys[i + 1];
    const double d = k1.value - k0.value;
    const bool previous = i > 0;
    const double r = previous ? (k1.time - k0.time) / (k1.time - keys[i - 1].time) : 1.0;
    switch (k0.shape) {
        case SpanType::TCB: {
            const double t = k0.p[0], c = k0.p[1], b = k0.p[2];
            const double a = (1 - t) * (1 + c) * (1 + b);
            const double bb = (1 - t) * (1 - c) * (1 - b);
            return previous ? r * (a * (k0.value - keys[i - 1].value) + bb * d) : bb * d;
        }
        case SpanType::Linear:
            return previous ? r * ((k0.value - keys[i - 1].value) + d) : d;
        case SpanType::Hermite:
        case SpanType::Bezier1D:
            return previous ? r * k0.p[4] : k0.p[4];
        case SpanType::Bezier2D:
            return Handle(k0.p[3] * (k1.time - k0.time), k0.p[2]);
        case SpanType::Stepped:
            break;
    }
    return 0.0;
}

// The tangent arriving at key i + 1 from key i; key i + 1's own shape decides.
double Incoming(const Keys& keys, std::size_t i) {
    const EnvelopeKey& k0 = keys[i];
    const EnvelopeKey& k1 = keys[i + 1];
    const double d = k1.value - k0.value;
    const bool next = i + 2 < keys.size();
    const double r = next ? (k1.time - k0.time) / (keys[i + 2].time - k0.time) : 1.0;
    switch (k1.shape) {
        case SpanType::TCB: {
            const double t = k1.p[0], c = k1.p[1], b = k1.p[2];
            const double a = (1 - t) * (1 - c) * (1 + b);
            const double bb = (1 - t) * (1 + c) * (1 - b);
            return next ? r * (bb * (keys[i + 2].value - k1.value) + a * d) : a * d;
        }
        case SpanType::Linear:
            return next ? r * (d + (keys[i + 2].value - k1.value)) : d;
        case SpanType::Hermite:
        case SpanType::Bezier1D:
            return next ? r * k1.p[3] : k1.p[3];
        case SpanType::Bezier2D:
            return Handle(k1.p[1] * (k1.time - k0.time), k1.p[0]);
        case SpanType::Stepped:
            break;
    }
    return 0.0;
}

// A 2-D Bezier span: find the curve parameter whose time is within 1e-4 s of t by bisection,
// then take the curve's value there.
double Bezier2D(const Keys& keys, std::size_t i, double t) {
    const EnvelopeKey& k0 = keys[i];
    const EnvelopeKey& k1 = keys[i + 1];
    const bool both = k0.shape == SpanType::Bezier2D;
    const double x1 = both ? k0.time + k0.p[2] : k0.time + (k1.time - k0.time) / 3.0;
    const double y1 = both ? k0.value + k0.p[3] : k0.value + k0.p[4] / 3.0;
    const double x2 = k1.time + k1.p[0];
    const double y2 = k1.value + k1.p[1];
    double lo = 0.0, hi = 1.0, s = 0.5;
    for (int step = 0; step < 200; ++step) {
        s = lo + (hi - lo) * 0.5;
        const double x = Bezier(k0.time, x1, x2, k1.time, s);
        if (std::fabs(t - x) <= 1e-4) break;
        (x > t ? hi : lo) = s;
    }
    return Bezier(k0.value, y1, y2, k1.value, s);
}

// The value inside the keys' time range.
double Inside(const Keys& keys, double t) {
    // The span is the first whose end is not before t (the last span for anything later),
    // found by bisection so that sampling every frame costs n log n, not n squared.
    const auto later = std::lower_bound(keys.begin() + 1, keys.end() - 1, t,
                                        [](const EnvelopeKey& key, double time) { return key.time < time; });
    const auto i = static_cast<std::size_t>(later - keys.begin()) - 1;
    const EnvelopeKey& k0 = keys[i];
    const EnvelopeKey& k1 = keys[i + 1];
    if (t == k0.time) return k0.value;
    if (t == k1.time) return k1.value;
    const double u = (t - k0.time) / (k1.time - k0.time);
    switch (k1.shape) {
        case SpanType::TCB:
        case SpanType::Hermite:
        case SpanType::Bezier1D: {
            const double u2 = u * u, u3 = u2 * u;
            const double h1 = 2 * u3 - 3 * u2 + 1;
            const double h2 = -2 * u3 + 3 * u2;
            const double h3 = u3 - 2 * u2 + u;
            const double h4 = u3 - u2;
            return h1 * k0.value + h2 * k1.value + h3 * Outgoing(keys, i) + h4 * Incoming(keys, i);
        }
        case SpanType::Bezier2D:
            return Bezier2D(keys, i, t);
        case SpanType::Linear:
            return k0.value + u * (k1.value - k0.value);
        case SpanType::Stepped:
            return k0.value;
    }
    return 0.0;
}

}  // namespace

double Evaluate(const Envelope& envelope, double t) {
    const Keys& keys = envelope.keys;
    if (keys.empty()) return 0.0;
    if (keys.size() == 1) return keys.front().value;
    const EnvelopeKey& first = keys.front();
    const EnvelopeKey& last = keys.back();
    if (t >= first.time && t <= last.time) return Inside(keys, t);

    const bool before = t < first.time;
    const double length = last.time - first.time;
    const double n = length > 0 ? std::floor((t - first.time) / length) : 0.0;
    const double folded = length > 0 ? t - n * length : first.time;
    switch (before ? envelope.pre : envelope.post) {
        case Behavior::Reset:
            return 0.0;
        case Behavior::Constant:
            return before ? first.value : last.value;
        case Behavior::Repeat:
            return Inside(keys, folded);
        case Behavior::Oscillate: {
            const bool odd = std::fmod(std::fabs(n), 2.0) == 1.0;
            return Inside(keys, odd ? first.time + last.time - folded : folded);
        }
        case Behavior::OffsetRepeat:
            return Inside(keys, folded) + n * (last.value - first.value);
        case Behavior::Linear: {
            // An end span of no length has no slope: the end key's value holds.
            if (before) {
                const double span = keys[1].time - first.time;
                return span > 0 ? first.value + (t - first.time) * Outgoing(keys, 0) / span : first.value;
            }
            const double span = last.time - keys[keys.size() - 2].time;
            return span > 0 ? last.value + (t - last.time) * Incoming(keys, keys.size() - 2) / span : last.value;
        }
    }
    return 0.0;
}

}  // namespace vexo
