#!/usr/bin/env python3
"""Derives the constants of FallDetector/FallDetectorMath.cpp (needs python3-mpmath).

Prints C++ initialisers; the source carries the printed values. Run it again after
changing a degree or an interval and paste the output back.
"""
import mpmath as mp

mp.mp.prec = 1600


def d(v):
    """Nearest double, printed so that it reads back exactly."""
    return repr(float(v))


def split(v, bits):
    """Leading part with at most `bits` significant bits, and the nearest double to the rest."""
    m, e = mp.frexp(v)
    hi = mp.floor(m * 2**bits) / 2**bits * mp.mpf(2)**e
    return float(hi), float(v - hi)


ln2 = mp.log(2)
hi, lo = split(ln2, 32)
print("ln2: 32-bit head %s, tail %s, 1/ln2 %s" % (repr(hi), repr(lo), d(1 / ln2)))
pio2 = mp.pi / 2
h = float(pio2)
print("pi/2 as double-double: %s, %s" % (repr(h), d(pio2 - h)))
print("pi, pi/4, 3pi/4 doubles: %s %s %s" % (d(mp.pi), d(mp.pi / 4), d(3 * mp.pi / 4)))

# Bits of 2/pi after the binary point, 32 per word: enough for a 256-bit window that
# starts at the bit of weight 2^-(e-1) for the largest double (e = 971).
words = []
f = 2 / mp.pi
for _ in range(40):
    f *= 2**32
    w = int(mp.floor(f))
    words.append(w)
    f -= w
print("2/pi words:")
for i in range(0, 40, 5):
    print("    " + ", ".join("0x%08X" % w for w in words[i:i + 5]) + ",")

print("atan(k/8), k = 0..8:")
print("    " + ", ".join(d(mp.atan(mp.mpf(k) / 8)) for k in range(9)))

print("Taylor coefficients 1/n!, n = 2..18:")
for n in range(2, 19):
    print("  n=%d: %s" % (n, d(1 / mp.factorial(n))))

# asin(s) = s + s*z*R(z), z = s^2 <= 1/4. R is fitted by Chebyshev interpolation, which
# is within a small factor of the minimax polynomial for a function this smooth.
mp.mp.prec = 200


def R(z):
    if z == 0:
        return mp.mpf(1) / 6
    s = mp.sqrt(z)
    return (mp.asin(s) - s) / (z * s)


for deg in (12, 13, 14):
    poly, err = mp.chebyfit(R, [0, 0.25], deg + 1, error=True)
    # Relative to R >= 1/6; the term s*z*R is at most 4.6% of asin(s).
    print("asin kernel degree %d: max abs error %s" % (deg, mp.nstr(err, 5)))
poly, err = mp.chebyfit(R, [0, 0.25], 13, error=True)
coeffs = list(reversed(poly))  # lowest degree first
# check with doubles exactly as the C++ evaluates it (Horner from the top)
cd = [float(c) for c in coeffs]
worst = 0
for i in range(2001):
    z = mp.mpf(i) / 8000
    acc = mp.mpf(cd[-1])
    for c in reversed(cd[:-1]):
        acc = acc * z + c
    worst = max(worst, abs(acc - R(z)) / R(z))
print("asin kernel (degree 12) relative error with double coefficients: %s" % mp.nstr(worst, 5))
for i, c in enumerate(cd):
    print("  z^%d: %s" % (i, repr(c)))

# asinf's kernel: the same R to float needs (relative error 2^-41.6 over [0, 1/4]).
poly, err = mp.chebyfit(R, [0, 0.25], 10, error=True)
cd = [float(c) for c in reversed(poly)]
worst = 0
for i in range(2001):
    z = mp.mpf(i) / 8000
    acc = mp.mpf(cd[-1])
    for c in reversed(cd[:-1]):
        acc = acc * z + c
    worst = max(worst, abs(acc - R(z)) / R(z))
print("asinf kernel (degree 9) relative error with double coefficients: 2^%s"
      % mp.nstr(mp.log(worst, 2), 4))
for i, c in enumerate(cd):
    print("  z^%d: %s" % (i, repr(c)))
