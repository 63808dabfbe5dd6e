// Accuracy, special values and symmetry of the engine's elementary functions, measured
// against the host's long double functions (64-bit significand, so their own error is
// about 1/2000 of a double ulp), and bit-exactness against the committed vector hashes.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "FallDetectorMath.h"
#include "math_vectors.h"

namespace {

using mathvec::bits;
using mathvec::dbl;
using mathvec::Sequence;

// Error of got in units in the last place of the T nearest to ref; a reference beyond the
// largest finite T must give infinity.
template <typename T>
long double ulp_error(T got, long double ref) {
    using limits = std::numeric_limits<T>;
    if (std::isinf(static_cast<T>(ref))) ref = static_cast<T>(ref);
    if (std::isinf(ref)) return got == ref ? 0.0L : INFINITY;
    int e = 0;
    std::frexp(ref, &e);  // ref = f * 2^e, 0.5 <= |f| < 1
    const int ulp_exp = std::max(e - limits::digits, limits::min_exponent - limits::digits);
    return std::fabs(got - ref) / std::ldexp(1.0L, ulp_exp);
}

double uniform(Sequence &s, double lo, double hi) { return lo + (hi - lo) * s.unit(); }

// The worst error over a sweep and where it was (a NaN result counts as the worst).
struct Worst {
    long double err = 0;
    double x = 0, y = 0;
    template <typename T>
    void add(T got, long double ref, double at_x, double at_y = 0) {
        const long double e = ulp_error(got, ref);
        if (!(e <= err)) {
            err = e;
            x = at_x;
            y = at_y;
        }
    }
};

// One range of a sweep: how many arguments and how the i-th is drawn.
struct Range {
    const char *name;
    int count;
    double (*draw)(Sequence &, int i);
};

template <std::size_t N>
void ExpectWithin(const char *name, double (*f)(double), long double (*ref)(long double),
                  const Range (&ranges)[N], long double bound = 1.0L) {
    Sequence seq(11);
    for (const Range &r : ranges) {
        Worst w;
        for (int i = 0; i < r.count; ++i) {
            const double x = r.draw(seq, i);
            w.add(f(x), ref(x), x);
        }
        EXPECT_LE(w.err, bound) << name << " " << r.name << " at x=" << w.x;
    }
}

const Range kSinCos[] = {
    {"|x| <= 0.5 (half-angles of a step)", 400000, [](Sequence &s, int) { return s.symmetric(0.5); }},
    {"2^-30..2^30", 200000, [](Sequence &s, int) { return s.log_uniform(-30, 30); }},
    {"to 2^1023", 50000, [](Sequence &s, int) { return s.log_uniform(30, 1023); }},
    // Near n pi/2, where the reduction cancels the most.
    {"near n pi/2", 40000,
     [](Sequence &, int i) {
         const long n = (i / 2 + 1L) * (i / 2 + 1L) * 997;
         const double x = static_cast<double>(n * 1.5707963267948966192313216916397514L);
         return i % 2 ? std::nextafter(x, 0.0) : x;
     }},
    // The double closest to a multiple of pi/2 (r about 2^-61 * x) and its neighbours.
    {"closest to n pi/2", 3,
     [](Sequence &, int i) { return dbl(bits(std::ldexp(6381956970095103.0, 797)) + i - 1); }},
    // Just above 2^-15, where x - x^3/6 drops a binade with exponents 33 apart, the guarded
    // final sum takes its split path, on the host too; around 2^-16 the same for 1 - x^2/2.
    {"just above 2^-15", 50000, [](Sequence &s, int) { return dbl(bits(0x1p-15) + (s.next() >> 44)); }},
    {"around 2^-16", 50000, [](Sequence &s, int) { return dbl(bits(0x1p-16) + (s.next() >> 12)); }},
};

const Range kExp[] = {
    {"[-30, 0] (the correction gain)", 500000, [](Sequence &s, int) { return -30.0 * s.unit(); }},
    {"[-745.2, 709.8]", 300000, [](Sequence &s, int) { return uniform(s, -745.2, 709.8); }},
    {"subnormal results", 100000, [](Sequence &s, int) { return uniform(s, -745.2, -708.3); }},
    {"|x| < 2^-20", 50000, [](Sequence &s, int) { return s.log_uniform(-80, -21); }},
    // Close to k ln2: 1 + r and the ln2 tail are 33 binades apart and cross 1.
    {"near k ln2", 100000,
     [](Sequence &s, int i) {
         const double x = dbl(bits((1 + i % 40) * 0.6931471805599453) + (s.next() >> 40) - (1u << 23));
         return (i & 1) ? -x : x;
     }},
};

const Range kAsin[] = {
    {"[-1, 1]", 600000, [](Sequence &s, int) { return s.symmetric(1.0); }},
    {"around 1/2", 100000, [](Sequence &s, int) { return uniform(s, 0.45, 0.55); }},
    {"near +-1", 100000,
     [](Sequence &s, int i) {
         const double x = 1.0 - s.unit() * std::ldexp(1.0, -(i % 53));
         return (i & 1) ? x : -x;
     }},
    {"tiny", 50000, [](Sequence &s, int) { return s.log_uniform(-1074 + 52, -2); }},
};

// sin, cos, exp and the arcsine series take fewer terms the smaller the argument. A term too
// few anywhere shows first at the top of a binade, far above the rounding: below 2^-6 every
// result must stay a correctly rounded one within 2^-10 ulp (the sums round once).
const Range kTopsOfSmallBinades[] = {
    {"in the upper quarter of a binade 2^-30..2^-7", 96000,
     [](Sequence &s, int i) {
         const double x = std::ldexp(uniform(s, 1.75, 2.0), -30 + i % 24);
         return (i / 24) % 2 ? -x : x;
     }},
};

TEST(EngineMath, WithinOneUlpOverWideSweepsAndCorrectlyRoundedForSmallArguments) {
    ExpectWithin("sin", fdmath::sin, sinl, kSinCos);
    ExpectWithin("cos", fdmath::cos, cosl, kSinCos);
    ExpectWithin("exp", fdmath::exp, expl, kExp);
    ExpectWithin("asin", fdmath::asin, asinl, kAsin);
    ExpectWithin("sin", fdmath::sin, sinl, kTopsOfSmallBinades, 0.501L);
    ExpectWithin("cos", fdmath::cos, cosl, kTopsOfSmallBinades, 0.501L);
    ExpectWithin("exp", fdmath::exp, expl, kTopsOfSmallBinades, 0.501L);
    ExpectWithin("asin", fdmath::asin, asinl, kTopsOfSmallBinades, 0.501L);
}

TEST(EngineMath, AsinfWithinOneUlpOnEveryFewHundredthFloat) {
    Worst w;
    for (uint32_t b = 0; b <= bits(1.0f); b += 509) {
        for (const float x : {mathvec::flt(b), -mathvec::flt(b)}) w.add(fdmath::asinf(x), asinl(x), x);
    }
    EXPECT_LE(w.err, 1.0L) << "at x=" << w.x;
}

TEST(EngineMath, Atan2fWithinOneUlpInAllQuadrants) {
    Worst w;
    Sequence s(14);
    for (int i = 0; i < 900000; ++i) {  // two thirds in the unit square, a third any magnitudes
        const float y = static_cast<float>(i % 3 ? s.symmetric(1.0) : s.log_uniform(-149, 127));
        const float x = static_cast<float>(i % 3 ? s.symmetric(1.0) : s.log_uniform(-149, 127));
        w.add(fdmath::atan2f(y, x), atan2l(y, x), x, y);
    }
    EXPECT_LE(w.err, 1.0L) << "at x=" << w.x << " y=" << w.y;
}

// ---------------------------------------------------------------- special values

bool same_bits(double a, double b) { return bits(a) == bits(b); }
bool same_bits(float a, float b) { return bits(a) == bits(b); }

// Each result to the bit (the sign of zero included); a NaN row wants any NaN.
TEST(EngineMath, SpecialValuesAndRangeEnds) {
    const double inf = INFINITY, nan = NAN, pio2 = 1.5707963267948966;
    const double last_finite_exp = 709.782712893384;
    struct Case {
        double (*f)(double);
        double x, expected;
    };
    const Case cases[] = {
        {fdmath::sin, 0.0, 0.0},                   {fdmath::sin, -0.0, -0.0},
        {fdmath::sin, DBL_TRUE_MIN, DBL_TRUE_MIN}, {fdmath::sin, -DBL_MIN, -DBL_MIN},
        {fdmath::sin, inf, nan},                   {fdmath::sin, -inf, nan},
        {fdmath::sin, nan, nan},                   {fdmath::cos, 0.0, 1.0},
        {fdmath::cos, -DBL_TRUE_MIN, 1.0},         {fdmath::cos, inf, nan},
        {fdmath::cos, -inf, nan},                  {fdmath::cos, nan, nan},
        {fdmath::exp, 0.0, 1.0},                   {fdmath::exp, -0.0, 1.0},
        {fdmath::exp, DBL_TRUE_MIN, 1.0},          {fdmath::exp, 1.0, 2.718281828459045},
        {fdmath::exp, inf, inf},                   {fdmath::exp, -inf, 0.0},
        {fdmath::exp, nan, nan},
        // The first overflow; underflow: the smallest subnormal, then zero.
        {fdmath::exp, std::nextafter(last_finite_exp, inf), inf},
        {fdmath::exp, -745.1332191019411, DBL_TRUE_MIN}, {fdmath::exp, -745.1332191019412, 0.0},
        {fdmath::asin, 1.0, pio2},                 {fdmath::asin, -1.0, -pio2},
        {fdmath::asin, -0.0, -0.0},                {fdmath::asin, DBL_TRUE_MIN, DBL_TRUE_MIN},
        // A ratio of norms that rounds a hair above 1 is 1, not a domain error.
        {fdmath::asin, std::nextafter(1.0, 2.0), pio2}, {fdmath::asin, 3.0, pio2},
        {fdmath::asin, inf, nan},                  {fdmath::asin, nan, nan},
    };
    for (const Case &c : cases) {
        const double got = c.f(c.x);
        EXPECT_TRUE(std::isnan(c.expected) ? std::isnan(got) : same_bits(got, c.expected))
            << "at x=" << c.x << ": " << got;
    }
    EXPECT_LE(ulp_error(fdmath::exp(last_finite_exp), expl(last_finite_exp)), 1.0L);
    // The engine's correction gain 0.1 exp((m - 1)^2 / -0.01) all but vanishes at 1.5 g.
    EXPECT_LT(0.1 * fdmath::exp((1.5 - 1.0) * (1.5 - 1.0) / -0.010000000000000002), 1e-10);
}

TEST(EngineMath, AsinfSaturatesJustOutsideTheDomain) {
    const float pio2f = 1.5707964f;
    EXPECT_EQ(fdmath::asinf(1.0f), pio2f);
    EXPECT_EQ(fdmath::asinf(std::nextafter(1.0f, 2.0f)), pio2f);
    EXPECT_TRUE(same_bits(fdmath::asinf(-0.0f), -0.0f));
    EXPECT_EQ(fdmath::asinf(FLT_TRUE_MIN), FLT_TRUE_MIN);
    EXPECT_TRUE(std::isnan(fdmath::asinf(NAN)));
    EXPECT_TRUE(std::isnan(fdmath::asinf(-INFINITY)));
    // An upright device: the roll expression 2(wy - xz) at exactly 1 truncates to 90 degrees.
    EXPECT_EQ(static_cast<int32_t>(static_cast<double>(fdmath::asinf(1.0f)) * 180.0 / 3.141592653589793), 90);
}

TEST(EngineMath, Atan2fSignedZerosInfinitiesAndNaN) {
    const float inf = INFINITY;
    const float pi = 3.14159274f, pio2 = 1.57079637f, pio4 = 0.785398185f, p3o4 = 2.35619450f;
    struct Case {
        float y, x, expected;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.0f},     {-0.0f, 0.0f, -0.0f},  {0.0f, -0.0f, pi},     {-0.0f, -0.0f, -pi},
        {0.0f, 5.0f, 0.0f},     {-0.0f, 5.0f, -0.0f},  {0.0f, -5.0f, pi},     {-0.0f, -5.0f, -pi},
        {5.0f, 0.0f, pio2},     {5.0f, -0.0f, pio2},   {-5.0f, 0.0f, -pio2},  {-5.0f, -0.0f, -pio2},
        {5.0f, inf, 0.0f},      {-5.0f, inf, -0.0f},   {5.0f, -inf, pi},      {-5.0f, -inf, -pi},
        {inf, 5.0f, pio2},      {-inf, -5.0f, -pio2},  {inf, inf, pio4},      {-inf, inf, -pio4},
        {inf, -inf, p3o4},      {-inf, -inf, -p3o4},   {1.0f, 1.0f, pio4},    {1.0f, -1.0f, p3o4},
        {-1.0f, -1.0f, -p3o4},  {FLT_TRUE_MIN, 1.0f, FLT_TRUE_MIN},
        {1.0f, FLT_MAX, 0x1p-128f},  {FLT_TRUE_MIN, FLT_MAX, 0.0f}, {-FLT_TRUE_MIN, -FLT_MAX, -pi},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_bits(fdmath::atan2f(c.y, c.x), c.expected))
            << "atan2f(" << c.y << ", " << c.x << ") = " << fdmath::atan2f(c.y, c.x);
    }
    EXPECT_TRUE(std::isnan(fdmath::atan2f(NAN, 1.0f)));
    EXPECT_TRUE(std::isnan(fdmath::atan2f(1.0f, NAN)));
    EXPECT_TRUE(std::isnan(fdmath::atan2f(NAN, -inf)));
}

// The committed constants are what the Cortex-M4F must reproduce; a change here means
// results changed on the host, which must be deliberate and re-checked on the target.
TEST(EngineMath, VectorHashesMatchTheCommittedConstants) {
    uint64_t got[kVectorCount] = {};
    fdmath_vector_hashes(got);
    for (int i = 0; i < kVectorCount; ++i) {
        EXPECT_EQ(got[i], kExpectedVectorHashes[i]) << kVectorNames[i] << ": 0x" << std::hex << got[i];
    }
}

}  // namespace
