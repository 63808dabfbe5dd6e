#include "math_vectors.h"

#include <limits>

#include "FallDetectorMath.h"

namespace {

using namespace mathvec;

class Fnv1a {
public:
    void add(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            h_ ^= (v >> (8 * i)) & 0xFFu;
            h_ *= 1099511628211ull;
        }
    }
    void add(double x) {
        const uint64_t b = bits(x);
        add((b & 0x7FFFFFFFFFFFFFFFull) > 0x7FF0000000000000ull ? 0x7FF8000000000000ull : b, 8);
    }
    void add(float x) {
        const uint32_t b = bits(x);
        add((b & 0x7FFFFFFFu) > 0x7F800000u ? 0x7FC00000u : b, 4);
    }
    uint64_t value() const { return h_; }

private:
    uint64_t h_ = 14695981039346656037ull;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();

template <typename F>
uint64_t hash_sin_cos(F f) {
    const double edges[14] = {0.0,
                              -0.0,
                              dbl(1),                     // smallest subnormal
                              7.450580596923828e-09,      // 2^-27
                              0.7853981633974483,         // pi/4
                              dbl(bits(0.7853981633974483) + 1),
                              1.5707963267948966,
                              3.141592653589793,
                              1e5,
                              1e9,
                              1.7976931348623157e308,
                              dbl(0x7506AC5B262CA1FFull),  // the double closest to a multiple of pi/2
                              kInf,
                              kNaN};
    Fnv1a h;
    for (double x : edges) h.add(f(x));
    Sequence s(1);
    for (int i = 0; i < 1024; ++i) h.add(f(s.symmetric(0.2)));  // half-angles of one step
    for (int i = 0; i < 1024; ++i) h.add(f(s.symmetric(10.0)));
    for (int i = 0; i < 1024; ++i) h.add(f(s.log_uniform(-30, 30)));
    for (int i = 0; i < 1024; ++i) h.add(f(s.any_finite()));
    // Where the target's double addition misrounds unless the functions guard against it:
    // just above 2^-15 (sin(x) = x - x^3/6 crosses the binade, exponents 33 apart) and
    // x^2/2 between 2^-33 and 2^-32 (1 - x^2/2).
    for (int i = 0; i < 256; ++i) h.add(f(dbl(bits(0x1p-15) + (s.next() >> 44))));
    for (int i = 0; i < 256; ++i) h.add(f(dbl(bits(0x1p-16) + (s.next() >> 12))));
    return h.value();
}

uint64_t hash_exp() {
    const double edges[16] = {0.0,     -0.0,     1.0,      -1.0,     1e-300,  -1e-300,
                              709.78,  709.79,   -708.39,  -708.40,  -745.13, -745.14,
                              -1000.0, kInf,     -kInf,    kNaN};
    Fnv1a h;
    for (double x : edges) h.add(fdmath::exp(x));
    Sequence s(2);
    for (int i = 0; i < 1024; ++i) h.add(fdmath::exp(-30.0 * s.unit()));  // gain exponents
    for (int i = 0; i < 1024; ++i) h.add(fdmath::exp(s.symmetric(1.0)));
    for (int i = 0; i < 1024; ++i) h.add(fdmath::exp(s.symmetric(745.2)));
    for (int i = 0; i < 1024; ++i) h.add(fdmath::exp(s.log_uniform(-60, 9)));
    // Close to k ln2 and around -2^-32: sums 33 binades apart that cross a power of two.
    for (int i = 0; i < 256; ++i) {
        const double x = dbl(bits((1 + i % 40) * 0.6931471805599453) + (s.next() >> 40) - (1u << 23));
        h.add(fdmath::exp((i & 1) ? -x : x));
    }
    for (int i = 0; i < 256; ++i) h.add(fdmath::exp(-dbl(bits(0x1p-35) + (s.next() >> 10))));
    return h.value();
}

uint64_t hash_asin() {
    const double one_up = dbl(bits(1.0) + 1);
    const double one_down = dbl(bits(1.0) - 1);
    const double half_up = dbl(bits(0.5) + 1);
    const double edges[20] = {0.0,     -0.0,      dbl(1),   1.0,       -1.0,
                              one_up,  -one_up,   one_down, -one_down, 0.5,
                              -0.5,    half_up,   -half_up, 2.0,       -2.0,
                              1e-300,  1e300,     kInf,     -kInf,     kNaN};
    Fnv1a h;
    for (double x : edges) h.add(fdmath::asin(x));
    Sequence s(3);
    for (int i = 0; i < 1024; ++i) h.add(fdmath::asin(s.unit()));  // |k| / |u|
    for (int i = 0; i < 1024; ++i) h.add(fdmath::asin(s.symmetric(1.0)));
    for (int i = 0; i < 1024; ++i) {
        // 1 - x from 2^-53 to 1/2, by counting doubles down from 1
        const double x = dbl(bits(1.0) - 1 - (s.next() >> (12 + i % 52)));
        h.add(fdmath::asin((i & 1) ? x : -x));
    }
    return h.value();
}

uint64_t hash_asinf() {
    const float one_up = flt(bits(1.0f) + 1);
    const float one_down = flt(bits(1.0f) - 1);
    const float edges[16] = {0.0f,     -0.0f,  flt(1), 1.0f,   -1.0f,  one_up, -one_up, one_down,
                             -one_down, 0.5f,  -0.5f,  1.5f,   -1.5f,  kInfF,  -kInfF,  kNaNF};
    Fnv1a h;
    for (float x : edges) h.add(fdmath::asinf(x));
    Sequence s(4);
    for (int i = 0; i < 1024; ++i) {
        h.add(fdmath::asinf(static_cast<float>(s.symmetric(1.0))));
    }
    for (int i = 0; i < 1024; ++i) {  // the last few thousand floats below 1 and above -1
        const float x = flt(bits(1.0f) - static_cast<uint32_t>(s.next() >> 52));
        h.add(fdmath::asinf((i & 1) ? x : -x));
    }
    for (int i = 0; i < 1024; ++i) h.add(fdmath::asinf(s.any_finite_float()));
    return h.value();
}

uint64_t hash_atan2f() {
    const float edges[] = {0.0f,          -0.0f,          1.0f,  -1.0f,  flt(1), -flt(1),
                           3.4028235e38f, -3.4028235e38f, kInfF, -kInfF, kNaNF};
    Fnv1a h;
    for (float y : edges) {
        for (float x : edges) h.add(fdmath::atan2f(y, x));
    }
    Sequence s(5);
    for (int i = 0; i < 2048; ++i) {  // components of a unit quaternion expression
        const float y = static_cast<float>(s.symmetric(1.0));
        const float x = static_cast<float>(s.symmetric(1.0));
        h.add(fdmath::atan2f(y, x));
    }
    for (int i = 0; i < 1024; ++i) {
        const float y = s.any_finite_float();
        const float x = s.any_finite_float();
        h.add(fdmath::atan2f(y, x));
    }
    return h.value();
}

}  // namespace

void fdmath_vector_hashes(uint64_t out[kVectorCount]) {
    out[kVectorAsinf] = hash_asinf();
    out[kVectorAtan2f] = hash_atan2f();
    out[kVectorSin] = hash_sin_cos([](double x) { return fdmath::sin(x); });
    out[kVectorCos] = hash_sin_cos([](double x) { return fdmath::cos(x); });
    out[kVectorExp] = hash_exp();
    out[kVectorAsin] = hash_asin();
}
