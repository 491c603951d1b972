#!/usr/bin/env python3
"""Prints the expected values of tests/data/forces_cases.txt, worked at 40 digits with mpmath
from the formulas of docs/formats.md, independently of the engine: closed forms for drag, the
turbulence sum term by term, and spin by Rodrigues' rotation matrix about the drawn axis."""
import struct

from mpmath import atan2, cos, floor, hypot, matrix, mp, mpf, nint, pi, power, sin, sqrt

mp.dps = 40

# Drag: one frame keeps f = (1 - drag)^(1 / fps); a particle moving 1 a frame, moved before each
# frame's drag, has gone 1 + f + ... + f^(fps - 1) after one second.
for fps in (24, 30):
    f = power(mpf('0.5'), mpf(1) / fps)
    print(f'drag 0.5 at {fps} fps: v {f ** fps}, x {(1 - f ** fps) / (1 - f)}')
f = power(mpf('0.5'), mpf(1) / 24)
print('terminal speed, wind 12, drag 0.5, 24 fps:', (mpf(12) / 24) / (1 - f))

# Turbulence: direction d, flow e and f (integers), wave number and phase in turns.
WAVES = [((1, 1, 1), (1, -1, 0), (1, 1, -2), 0.29, 0.08), ((1, -1, -1), (0, 1, -1), (2, 1, 1), 0.37, 0.27),
         ((-1, 1, -1), (1, 0, -1), (-1, -2, -1), 0.47, 0.46), ((-1, -1, 1), (1, -1, 0), (1, 1, 2), 0.59, 0.69)]


def shape(u):
    """The wave over a turn: y (1 - 4 y^2)(7 - 12 y^2), y = u - floor(u + 1/2)."""
    y = u - floor(u + mpf('0.5'))
    return y * (1 - 4 * y * y) * (7 - 12 * y * y)


def field(p, size):
    a = [mpf(c) / mpf(size) for c in p]
    n = [mpf(0)] * 3
    for d, e, f, w, phase in WAVES:
        t = mpf(w) * sum(d[i] * a[i] for i in range(3)) + mpf(phase)
        for i in range(3):
            n[i] += e[i] * shape(t + mpf('0.25')) * sqrt(mpf(231) / 2560) + f[i] * shape(t) * sqrt(mpf(231) / 7680)
    return n


for p, size in (((0, 0, 0), 1), ((0.3, -1.2, 2.5), 0.7), ((1, 0, 0), 1)):
    print('field at', p, 'size', size, [mp.nstr(v, 20) for v in field(p, size)])

# Spin from the first emission of a fresh generator: draws 4, 5 and 6 (the generator's values
# from the first six, the same in every run) give the rate, the axis height and the angle round.
D = struct.unpack('>d', bytes.fromhex('3E00000000200000'))[0]
values = [1103527590, 377401576, 662824084, 1147902782, 2035015475, 368800900]
rate = values[3] * D * 720.0  # two roundings in doubles, as the engine's
u = float(mpf(values[4] * D) * 2 - 1)  # one rounding: the fused multiply-add
around = values[5] * D * (2 * 3.141592653589793)
axis = [sqrt(1 - mpf(u) ** 2) * cos(mpf(around)), mpf(u), sqrt(1 - mpf(u) ** 2) * sin(mpf(around))]
print('rate', rate, 'axis height', u, 'round', around)


def rotation(angle):
    c, s = cos(angle), sin(angle)
    x, y, z = axis
    return matrix([[c + (1 - c) * x * x, (1 - c) * x * y - s * z, (1 - c) * x * z + s * y],
                   [(1 - c) * y * x + s * z, c + (1 - c) * y * y, (1 - c) * y * z - s * x],
                   [(1 - c) * z * x - s * y, (1 - c) * z * y + s * x, c + (1 - c) * z * z]])


def angles(r):
    return [-atan2(r[0, 2], r[2, 2]) * 180 / pi, atan2(r[1, 2], hypot(r[1, 0], r[1, 1])) * 180 / pi,
            atan2(r[1, 0], r[1, 1]) * 180 / pi]


def nearest(hpb, previous):
    best = None
    for name in (hpb, [hpb[0] + 180, 180 - hpb[1], hpb[2] + 180]):
        name = [name[i] - 360 * nint((name[i] - previous[i]) / 360) for i in range(3)]
        distance = sum(abs(name[i] - previous[i]) for i in range(3))
        if best is None or distance < best[0]:
            best = (distance, name)
    return best[1]


for fps in (24, 12):
    turn = mpf(rate) / fps * pi / 180
    print(f'turn at {fps} fps', [mp.nstr(c * sin(turn / 2), 20) for c in axis])
turn = mpf(rate) / 24 * pi / 180
previous = [mpf(0)] * 3
for k in range(1, 49):
    previous = nearest(angles(rotation(k * turn)), previous)
    if k in (1, 12, 24, 48):
        print('after', k, 'frames', [mp.nstr(v, 20) for v in previous])
