// The engine's own elementary functions.
//
// The C libraries of the host and of the target round some results differently in the
// last bit, and the engine truncates angles to whole degrees, so one bit can change a
// decision. These functions use only +, -, *, /, sqrt, comparisons and integer bit work,
// each rounded on its own (a few single-precision steps pick a table entry or form a tiny
// correction), so they give the same bits on x86-64 (SSE) and on the Cortex-M4F (software
// doubles, hardware floats); see sum_rn for the one place where the target's double
// addition needs help.
//
// On the device every double operation is a library call of 50 to 150 instructions and the
// engine's arguments are mostly small (half-angles of one sample's rotation), so the series
// are as long as the argument's size needs, magnitude tests compare bit patterns, and
// work that only a large argument needs is skipped for small ones.
//
// Accuracy, over every finite argument (measured maxima from tests/engine_math):
//   sin, cos   < 0.77 ulp  (exact reduction for all |x| up to DBL_MAX)
//   exp        < 0.75 ulp  (subnormal results rounded once; inf above 709.78, 0 below -745.13)
//   asin       < 0.64 ulp  (finite |x| > 1 gives +-pi/2, see asin)
//   asinf, atan2f <= 0.5 ulp and a hair (computed in double, to about 2^-45 for asinf,
//                 rounded once to float)
//
// Constants are printed by tests/engine_math/derive_constants.py (mpmath): Taylor
// coefficients 1/n!, Chebyshev fits for the arcsine kernel (double and float needs), split
// and double-double constants, and the bits of 2/pi.
#include "FallDetectorMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace fdmath {
namespace {

uint64_t bits_of(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

double from_bits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

uint32_t bits_of(float x) {
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

float float_from_bits(uint32_t b) {
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

constexpr uint64_t kAbsMask = 0x7FFFFFFFFFFFFFFFull;
constexpr uint64_t kSignMask = 0x8000000000000000ull;
constexpr uint64_t kInfBits = 0x7FF0000000000000ull;
// One NaN for every invalid operation, so that host and target agree on it too.
constexpr uint64_t kQuietNaNBits = 0x7FF8000000000000ull;

// Comparisons of magnitudes are made on the bit patterns (ordered like the values for
// non-negative doubles): on the device each double comparison is a library call.
constexpr uint64_t kTwoPowMinus27Bits = 0x3E40000000000000ull;  // 7.450580596923828e-09
constexpr uint64_t kPiO4Bits = 0x3FE921FB54442D18ull;          // 0.7853981633974483
constexpr uint64_t kOneBits = 0x3FF0000000000000ull;
constexpr uint64_t kHalfBits = 0x3FE0000000000000ull;

uint64_t abs_bits(double x) { return bits_of(x) & kAbsMask; }
bool is_nan(double x) { return abs_bits(x) > kInfBits; }
bool is_zero(double x) { return abs_bits(x) == 0; }
bool sign_bit(double x) { return (bits_of(x) & kSignMask) != 0; }
double abs_of(double x) { return from_bits(bits_of(x) & kAbsMask); }
double with_sign_of(double magnitude, bool negative) {
    return negative ? -magnitude : magnitude;
}

// 2^k for -1022 <= k <= 1023.
double pow2(int k) { return from_bits(static_cast<uint64_t>(k + 1023) << 52); }

// Error-free transformations (no fused multiply-add): a + b = s + e exactly,
// for |a| >= |b| or a == 0.
void fast_two_sum(double a, double b, double& s, double& e) {
    s = a + b;
    e = b - (s - a);
}
// a * b = p + e exactly (Dekker), for products far from overflow and underflow.
void two_prod(double a, double b, double& p, double& e) {
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double ca = kSplit * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = kSplit * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    p = a * b;
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// two_prod(a, a, p, e) with one split and one cross product: the same operations on the
// same values, so the same bits, for about half the work.
void two_square(double a, double& p, double& e) {
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double ca = kSplit * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cross = ah * al;
    p = a * a;
    e = ((ah * ah - p) + cross + cross) + al * al;
}

// a + b rounded to nearest for |a| > |b|, also on the Cortex-M4F. Its software double
// addition (libgcc of arm-none-eabi GCC 12.2) drops the guard bit when the exponents differ
// by exactly 33 and the sum falls into the next lower binade (1 - y, 2^-33 <= y < 2^-32,
// comes out one ulp low about half the time). In that case the top 21 bits of b are added first, which is exact
// (the sum is a multiple of half an ulp of a, and now needs that bit), and the rest with
// a single rounding where the exponents are far apart. The final sums of the functions go
// through here; sums that are exact or only feed small corrections do not need to.
double sum_rn(double a, double b) {
    const double s = a + b;
    const int ea = static_cast<int>((bits_of(a) >> 52) & 0x7FF);
    int eb = static_cast<int>((bits_of(b) >> 52) & 0x7FF);
    const int es = static_cast<int>((bits_of(s) >> 52) & 0x7FF);
    if (eb == 0) eb = 1;  // subnormals share the smallest normal exponent
    if (ea == 0x7FF || ea - eb != 33 || es == ea) return s;
    const double b_hi = from_bits(bits_of(b) & 0xFFFFFFFF00000000ull);
    const double b_lo = b - b_hi;  // exact
    return (a + b_hi) + b_lo;
}

// c[0] + z * (c[1] + z * (... + z * c[N-1])).
template <int N>
double horner(const double (&c)[N], double z) {
    double acc = c[N - 1];
    for (int i = N - 2; i >= 0; --i) acc = c[i] + z * acc;
    return acc;
}

// The same with only the first n coefficients, 1 <= n <= N.
template <int N>
double horner_first(const double (&c)[N], int n, double z) {
    double acc = c[n - 1];
    for (int i = n - 2; i >= 0; --i) acc = c[i] + z * acc;
    return acc;
}

// Binary exponent e of a finite nonzero |x|, 2^e <= |x| < 2^(e+1) (subnormals give -1023).
// The polynomials below take as many terms as the size of their argument needs: the first
// term left out stays below 2^-64 of the result, a sixtieth of the rounding that follows, so
// short and full evaluations round the same but for the rarest ties. On the device every
// term is a software multiplication and addition, and the engine's arguments are mostly tiny.
int binade(double x) { return static_cast<int>((bits_of(x) >> 52) & 0x7FF) - 1023; }

constexpr double kPiO2Hi = 1.5707963267948966;
constexpr double kPiO2Lo = 6.123233995736766e-17;
constexpr double kPi = 3.141592653589793;
constexpr double kPiO4 = 0.7853981633974483;
constexpr double k3PiO4 = 2.356194490192345;

// ---------------------------------------------------------------- sine and cosine

// Terms of the sine series S (below) that |h| < 2^(e+1) needs.
int sin_terms(int e) {
    if (e <= -16) return 1;
    if (e <= -10) return 2;
    if (e <= -7) return 3;
    if (e <= -5) return 4;
    if (e <= -2) return e + 9;  // 5, 6, 7
    return 8;
}

// sin(h + l) for 0 < |h| <= pi/4, |l| <= ulp(h): h + h^3 * S(h^2) + l * (1 - h^2 / 2).
// S is the Taylor series of (sin(h) - h) / h^3, all of it (next term below 2^-63 of the
// result at pi/4) for the largest h. l is zero unless the argument was reduced.
double sin_kernel(double h, double l) {
    const double z = h * h;
    constexpr double kS[] = {-0.16666666666666666,   0.008333333333333333,
                             -0.0001984126984126984, 2.7557319223985893e-06,
                             -2.505210838544172e-08, 1.6059043836821613e-10,
                             -7.647163731819816e-13, 2.8114572543455206e-15};
    const double s = horner_first(kS, sin_terms(binade(h)), z);
    if (is_zero(l)) return sum_rn(h, h * z * s);
    return sum_rn(h, h * z * s + (l - 0.5 * z * l));
}

// Terms of the cosine series C (below) that |h| < 2^(e+1) needs.
int cos_terms(int e) {
    if (e <= -11) return 1;
    if (e <= -8) return 2;
    if (e <= -6) return 3;
    if (e <= -4) return 4;
    if (e == -3) return 5;
    if (e == -2) return 7;
    return 8;
}

// cos(h + l) for 0 < |h| <= pi/4: 1 - h^2/2 + h^4 * C(h^2) - h * l. For |h| >= 2^-5, h^2/2
// is kept exact, because 1 - h^2/2 is where the rounding would otherwise cost a quarter ulp;
// below, the rounding of h^2 is under 2^-64 of the result and the product needs no tail.
double cos_kernel(double h, double l) {
    const int eh = binade(h);
    double zh, zl = 0.0;
    if (eh >= -5) {
        two_square(h, zh, zl);
    } else {
        zh = h * h;
    }
    const double hz = 0.5 * zh;
    const double w = 1.0 - hz;
    const double e = (1.0 - w) - hz;
    const double z = zh;
    constexpr double kC[] = {0.041666666666666664,   -0.001388888888888889,
                             2.48015873015873e-05,   -2.755731922398589e-07,
                             2.08767569878681e-09,   -1.1470745597729725e-11,
                             4.779477332387385e-14,  -1.5619206968586225e-16};
    const double c = horner_first(kC, cos_terms(eh), z);
    double t = z * z * c;
    if (eh >= -5) t = t - 0.5 * zl;
    if (!is_zero(l)) t = t - h * l;
    return w + (e + t);
}

// Bits of 2/pi after the binary point, most significant first.
constexpr uint32_t kTwoOverPi[40] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599,
    0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0,
    0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5,
    0x2EBB4484, 0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4,
    0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F, 0xEF2F118B,
    0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D,
    0x7527BAC7, 0xEBE5F17B, 0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1,
    0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D,
};

// 64 bits of the 320-bit little-endian number p, starting at bit pos (pos < 256).
uint64_t bits64_at(const uint32_t* p, int pos) {
    const int w = pos / 32;
    const int s = pos % 32;
    const uint64_t low = static_cast<uint64_t>(p[w]) | (static_cast<uint64_t>(p[w + 1]) << 32);
    if (s == 0) return low;
    return (low >> s) | (static_cast<uint64_t>(p[w + 2]) << (64 - s));
}

int leading_zeros64(uint64_t v) {
    int n = 0;
    while ((v & kSignMask) == 0) {
        v <<= 1;
        ++n;
    }
    return n;
}

// Argument reduction for finite ax > pi/4: ax = n * pi/2 + (rh + rl), |rh + rl| <= pi/4,
// returns n mod 4. ax = m * 2^e exactly with a 53-bit integer m; the product of m with a
// 256-bit window of 2/pi, taken from the bit that can still reach the last two integer
// bits, gives ax * 2/pi mod 4 with 126 fraction bits (Payne and Hanek). Exact enough for
// every double, including the closest ones to multiples of pi/2 (r down to about 2^-61).
int reduce_pio2(double ax, double& rh, double& rl) {
    const uint64_t b = bits_of(ax);
    const uint64_t m = (b & 0x000FFFFFFFFFFFFFull) | 0x0010000000000000ull;
    const int e = static_cast<int>(b >> 52) - 1075;  // >= -53 because ax > pi/4
    const int first = e >= 2 ? (e - 2) / 32 : 0;  // earlier words only add multiples of 4
    const int frac_bits = 32 * (first + 8) - e;     // binary point of the product: 223..309

    // p = m * window, 53 x 256 bits, little-endian words.
    uint32_t p[10] = {};
    const uint64_t m_lo = m & 0xFFFFFFFFu;
    const uint64_t m_hi = m >> 32;
    uint64_t carry = 0;
    for (int k = 0; k < 8; ++k) {
        const uint64_t t = kTwoOverPi[first + 7 - k] * m_lo + carry;
        p[k] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    p[8] = static_cast<uint32_t>(carry);
    carry = 0;
    for (int k = 0; k < 8; ++k) {
        const uint64_t t = kTwoOverPi[first + 7 - k] * m_hi + p[k + 1] + carry;
        p[k + 1] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    p[9] = static_cast<uint32_t>(carry);

    // Two integer bits and 62 fraction bits, then 64 more fraction bits.
    const uint64_t top = bits64_at(p, frac_bits - 62);
    uint64_t fl = bits64_at(p, frac_bits - 126);
    int n = static_cast<int>(top >> 62);
    uint64_t fh = top & 0x3FFFFFFFFFFFFFFFull;
    bool negative = false;
    if (fh & 0x2000000000000000ull) {  // fraction >= 1/2: round n up, r becomes negative
        ++n;
        negative = true;
        fl = ~fl + 1;
        fh = (~fh + (fl == 0 ? 1 : 0)) & 0x3FFFFFFFFFFFFFFFull;
    }
    if (fh == 0 && fl == 0) {  // cannot happen for a double; kept for a defined result
        rh = 0.0;
        rl = 0.0;
        return n & 3;
    }

    // Fraction f = (fh * 2^64 + fl) * 2^-126; normalise to 128 bits and take 53 + 53 bits.
    int shift = fh != 0 ? leading_zeros64(fh) : 64 + leading_zeros64(fl);
    uint64_t nh, nl;
    if (shift >= 64) {
        nh = fl << (shift - 64);
        nl = 0;
    } else if (shift == 0) {
        nh = fh;
        nl = fl;
    } else {
        nh = (fh << shift) | (fl >> (64 - shift));
        nl = fl << shift;
    }
    const uint64_t t1 = nh >> 11;                                   // bits 127..75
    const uint64_t t2 = ((nh & 0x7FFull) << 42) | (nl >> 22);       // bits 74..22
    const double fhi = static_cast<double>(t1) * pow2(-51 - shift);   // exact: t1 < 2^53
    const double flo = static_cast<double>(t2) * pow2(-104 - shift);

    // r = f * pi/2 in double-double.
    double ph, pl;
    two_prod(fhi, kPiO2Hi, ph, pl);
    pl += fhi * kPiO2Lo + flo * kPiO2Hi;
    fast_two_sum(ph, pl, rh, rl);
    if (negative) {
        rh = -rh;
        rl = -rl;
    }
    return n & 3;
}

// ---------------------------------------------------------------- arcsine kernel

// asin(s) - s = s * z * R(z) for z = s^2 <= 1/4; R is a degree-12 Chebyshev fit with a
// relative error of 1.2e-16, and the term is at most 4.6% of the result. For |s| < 2^-4
// the Taylor series of R, as far as the size of s needs, is cheaper and as accurate.
double asin_tail(double s, double z) {
    constexpr double kR[] = {0.16666666666666669,  0.07499999999998433,  0.04464285714635543,
                             0.030381944138531247, 0.02237217294214989,  0.017352392720869973,
                             0.013971212973552933, 0.011479177415184906, 0.01032281435018578,
                             0.005457506718640358, 0.01740087944269402,  -0.014851887071247204,
                             0.028757851367421566};
    // (2k)! / (4^k (k!)^2 (2k + 1)) for k = 1..7
    constexpr double kT[] = {0.16666666666666666,  0.075,
                             0.044642857142857144, 0.030381944444444444,
                             0.022372159090909092, 0.017352764423076924,
                             0.01396484375};
    const int e = binade(s);
    int n;
    if (e <= -17) {
        n = 1;
    } else if (e <= -11) {
        n = 2;
    } else if (e <= -9) {
        n = 3;
    } else if (e <= -7) {
        n = 4;
    } else if (e == -6) {
        n = 5;
    } else if (e == -5) {
        n = 7;
    } else {
        return s * z * horner(kR, z);
    }
    return s * z * horner_first(kT, n, z);
}

// ---------------------------------------------------------------- arctangent kernel

// Terms of the arctangent series (below) that |u| < 2^(e+1) needs.
int atan_terms(int e) {
    if (e <= -17) return 1;
    if (e <= -12) return 2;
    if (e <= -9) return 3;
    if (e == -8) return 4;
    if (e == -7) return 5;
    return 6;
}

// atan(n / d) for floats 0 <= n <= d, d > 0 (d may be inf): atan(n/d) = atan(c) + atan(u),
// c = k/8 nearest to n/d, u = (n - c d) / (d + c n), |u| <= 1/16 (and a hair), with the
// Taylor series of atan(u) to u^13 (truncation below 2^-59 relative). n - c d and d + c n are
// exact in double (c has 4 bits, the floats 24, and for k > 0 n and d are within 5 binades),
// so u is one correctly rounded division. k comes from the hardware float quotient: any k
// near n/d serves, and the float division is the same IEEE operation on host and device.
// About 2^-52 accurate: far beyond what a float needs.
double atan_ratio(float nf, float df) {
    constexpr double kAtanK8[9] = {0.0,
                                   0.12435499454676144,
                                   0.24497866312686414,
                                   0.35877067027057225,
                                   0.4636476090008061,
                                   0.5585993153435624,
                                   0.6435011087932844,
                                   0.7188299996216245,
                                   0.7853981633974483};
    const int k = static_cast<int>(nf / df * 8.0f + 0.5f);
    const double n = nf;
    const double d = df;
    double u;
    if (k == 0) {
        u = n / d;  // d = inf gives 0
    } else {
        const double c = k * 0.125;
        u = (n - c * d) / (d + c * n);
    }
    if (is_zero(u)) return kAtanK8[k];  // n/d is k/8 exactly (or 0)
    const double v = u * u;
    constexpr double kA[] = {-0.3333333333333333, 0.2, -0.14285714285714285, 0.1111111111111111,
                             -0.09090909090909091, 0.07692307692307693};
    const double p = v * horner_first(kA, atan_terms(binade(u)), v);
    return kAtanK8[k] + sum_rn(u, u * p);  // k/8 values are far from powers of two
}

}  // namespace

// ---------------------------------------------------------------- public functions

double sin(double x) {
    const double ax = abs_of(x);
    const uint64_t ab = abs_bits(x);
    const bool negative = sign_bit(x);
    if (ab >= kInfBits) {  // inf or NaN
        return is_nan(x) ? x : from_bits(kQuietNaNBits);
    }
    if (ab < kTwoPowMinus27Bits) return x;  // x^3/6 is below half an ulp
    if (ab <= kPiO4Bits) return with_sign_of(sin_kernel(ax, 0.0), negative);
    double rh, rl;
    double y;
    switch (reduce_pio2(ax, rh, rl)) {
        case 0: y = sin_kernel(rh, rl); break;
        case 1: y = cos_kernel(rh, rl); break;
        case 2: y = -sin_kernel(rh, rl); break;
        default: y = -cos_kernel(rh, rl); break;
    }
    return with_sign_of(y, negative);  // sin is odd: reduce |x| and restore the sign
}

double cos(double x) {
    const double ax = abs_of(x);
    const uint64_t ab = abs_bits(x);
    if (ab >= kInfBits) {
        return is_nan(x) ? x : from_bits(kQuietNaNBits);
    }
    if (ab < kTwoPowMinus27Bits) return 1.0;  // x^2/2 below half an ulp of 1
    if (ab <= kPiO4Bits) return cos_kernel(ax, 0.0);
    double rh, rl;
    switch (reduce_pio2(ax, rh, rl)) {
        case 0: return cos_kernel(rh, rl);
        case 1: return -sin_kernel(rh, rl);
        case 2: return -cos_kernel(rh, rl);
        default: return sin_kernel(rh, rl);
    }
}

namespace {

// Terms of the exponential series (below) that |r| < 2^(e+1) needs.
int exp_terms(int e) {
    if (e <= -22) return 1;
    if (e <= -16) return 2;
    if (e <= -13) return 3;
    if (e <= -11) return 4;
    if (e <= -9) return 5;
    if (e <= -4) return e + 14;  // 6 .. 10
    if (e == -3) return 12;
    return 13;
}

}  // namespace

// exp(x) = 2^k * exp(r), x = k ln2 + r, |r| <= ln2/2 (Cody and Waite): ln2 is split into a
// 32-bit head, whose product with k is exact, and a tail. exp(r) = 1 + r + r^2 * P(r), P
// the Taylor series of (e^r - 1 - r) / r^2 to r^12 (truncation below 2^-60 relative).
double exp(double x) {
    if (is_nan(x)) return x;
    const bool negative = sign_bit(x);
    const uint64_t ab = abs_bits(x);
    if (!negative && ab > 0x40862E6666666666ull) {  // 709.8, beyond ln(DBL_MAX) = 709.78...
        return from_bits(kInfBits);
    }
    if (negative && ab > 0x408749999999999Aull) return 0.0;  // -745.2, below ln(2^-1075)
    const double kInvLn2 = 1.4426950408889634;
    const double kLn2Hi = 0.6931471803691238;
    const double kLn2Lo = 1.9082149292705877e-10;
    const int k = static_cast<int>(x * kInvLn2 + (negative && ab != 0 ? -0.5 : 0.5));
    // With k = 0 (|x| < ln2/2, the engine's usual case) these are rh = x, rl = -0, r = x.
    const double rh = k == 0 ? x : x - k * kLn2Hi;  // exact
    const double rl = k == 0 ? -0.0 : -(k * kLn2Lo);
    const double r = k == 0 ? x : rh + rl;
    constexpr double kE[] = {0.5,
                             0.16666666666666666,
                             0.041666666666666664,
                             0.008333333333333333,
                             0.001388888888888889,
                             0.0001984126984126984,
                             2.48015873015873e-05,
                             2.7557319223985893e-06,
                             2.755731922398589e-07,
                             2.505210838544172e-08,
                             2.08767569878681e-09,
                             1.6059043836821613e-10,
                             1.1470745597729725e-11};
    const double p = r * r * horner_first(kE, exp_terms(binade(r)), r);
    double s, e;
    fast_two_sum(1.0, rh, s, e);  // 1 + rh exactly, so the largest rounding happens once
    const double y = sum_rn(s, e + (rl + p));
    // Scale by 2^k; results in the subnormal range are rounded once, by the last product.
    if (k > 1023) return y * 2.0 * pow2(k - 1);
    if (k < -1021) return y * pow2(k + 1000) * pow2(-1000);
    return k == 0 ? y : y * pow2(k);
}

// asin(x) = x + x^3 R(x^2) for |x| <= 1/2; above, asin(x) = pi/2 - 2 asin(s) with
// s = sqrt((1 - x) / 2) <= 1/2, s kept as a double-double because the factor 2 would
// double its rounding error.
//
// Arguments just outside [-1, 1] come from rounding in the caller (a ratio of two norms,
// a component of a unit quaternion), not from a real domain error; a NaN there would
// poison the attitude for the life of the detector, so every finite |x| > 1 gives the
// value at the nearest end, +-pi/2. NaN stays NaN; +-inf gives NaN.
double asin(double x) {
    if (is_nan(x)) return x;
    const double ax = abs_of(x);
    const uint64_t ab = abs_bits(x);
    const bool negative = sign_bit(x);
    if (ab == kInfBits) return from_bits(kQuietNaNBits);
    if (ab >= kOneBits) return with_sign_of(kPiO2Hi, negative);
    if (ab < kTwoPowMinus27Bits) return x;  // x^3/6 is below a quarter ulp
    if (ab <= kHalfBits) return x + asin_tail(x, x * x);  // odd term by term
    const double z = (1.0 - ax) * 0.5;              // exact
    const double sh = std::sqrt(z);
    double sq, sq_err;
    two_square(sh, sq, sq_err);
    // sqrt(z) = sh + sl. sl is below half an ulp of sh and moves the result by 2^-52 at most,
    // so a single-precision reciprocal (relative error 2^-23) serves for the division.
    const float inv_sh = 1.0f / static_cast<float>(sh);  // sh >= 2^-27: an ordinary float
    const double sl = ((z - sq) - sq_err) * (0.5 * static_cast<double>(inv_sh));
    const double tail = 2.0 * (sl + asin_tail(sh, z));
    double h, e;
    fast_two_sum(kPiO2Hi, -2.0 * sh, h, e);  // 2 sh <= 1: the same exact error as two_sum
    return with_sign_of(sum_rn(h, e + (kPiO2Lo - tail)), negative);
}

// Single-precision arcsine: asin's method, evaluated only as far as a float needs, and
// rounded once to float. Below |x| = 1/16 it is asin itself (its short series already cost
// little). Above, R is a degree-9 Chebyshev fit (relative error 2^-41.6, at most 2^-46 of the
// result), and beyond 1/2 the root s is not carried as a double-double (its rounding moves the
// result by 2^-52 at most). The double result is within about 2^-45 of asin(x), so rounding it
// to float stays within half a float ulp and a hair. Same saturation outside [-1, 1] as asin.
float asinf(float x) {
    const uint32_t ab = bits_of(x) & 0x7FFFFFFFu;
    if (ab < 0x3D800000u || ab >= 0x3F800000u) {  // |x| < 1/16, |x| >= 1, inf, NaN
        return static_cast<float>(asin(static_cast<double>(x)));
    }
    constexpr double kRf[] = {0.1666666666666218,    0.07500000003584559,  0.04464285243793872,
                              0.030382182776212484,  0.02236606593888501,  0.017441495685492855,
                              0.01318791613675373,   0.015675662527070935, -0.0029397929067241963,
                              0.0279070314326661};
    const bool negative = (bits_of(x) & 0x80000000u) != 0;
    const double ax = float_from_bits(ab);
    double a;
    if (ab <= 0x3F000000u) {  // |x| <= 1/2
        const double z = ax * ax;
        a = ax + ax * z * horner(kRf, z);
    } else {
        const double z = (1.0 - ax) * 0.5;  // exact
        const double s = std::sqrt(z);
        const double r = binade(s) <= -5 ? s + asin_tail(s, z) : s + s * z * horner(kRf, z);
        a = kPiO2Hi - 2.0 * r;
    }
    return static_cast<float>(negative ? -a : a);
}

// Single-precision two-argument arctangent, computed in double and rounded once to float.
// Quadrants, signed zeros and infinities as in C99 Annex F: atan2f(+-0, +0) = +-0,
// atan2f(+-0, -0) = +-pi, atan2f(+-inf, +-inf) = +-pi/4 or +-3pi/4.
float atan2f(float y, float x) {
    const uint32_t yb = bits_of(y);
    const uint32_t xb = bits_of(x);
    if ((yb & 0x7FFFFFFFu) > 0x7F800000u || (xb & 0x7FFFFFFFu) > 0x7F800000u) {
        return float_from_bits(0x7FC00000u);
    }
    const bool y_negative = (yb & 0x80000000u) != 0;
    const bool x_negative = (xb & 0x80000000u) != 0;
    const uint32_t ayb = yb & 0x7FFFFFFFu;
    const uint32_t axb = xb & 0x7FFFFFFFu;
    double a;
    if (ayb == 0x7F800000u && axb == 0x7F800000u) {
        a = x_negative ? k3PiO4 : kPiO4;
    } else if (ayb == 0) {
        a = x_negative ? kPi : 0.0;
    } else {
        const float ay = float_from_bits(ayb);
        const float ax = float_from_bits(axb);
        if (ayb <= axb) {  // float magnitudes order like their bit patterns
            a = atan_ratio(ay, ax);
        } else {
            a = kPiO2Hi - atan_ratio(ax, ay);
        }
        if (x_negative) a = kPi - a;
    }
    return static_cast<float>(y_negative ? -a : a);
}

}  // namespace fdmath
