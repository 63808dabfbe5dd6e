// Correctly rounded double square root for the Cortex-M4F, about a tenth of the C library's cost.
//
// newlib's sqrt works out the root one bit at a time in software (about 830 instructions); the
// engine takes five square roots per sample. Linked with -Wl,--wrap=sqrt (through the CMake
// library stm32l431_double_guard), positive normal arguments are rooted here and everything else
// (zero, subnormal, negative, inf, NaN, with its errno) still goes to the library. The result is
// the correctly rounded root, as the library's, so no number changes.
//
// x = m 2^(e-52) with the exponent made even, so sqrt(x) = sqrt(M) 2^(e/2 - 52), M = m 2^52 in
// [2^104, 2^106): the result's 53-bit significand is sqrt(M) rounded to an integer. A hardware
// single-precision root gives sqrt(M) to about 2^30; two Newton steps whose small corrections
// are divided in single precision bring that to within a few units; the exact integer remainder
// M - q^2 (its low 64 bits suffice, it is small) then settles floor(sqrt(M)) and the rounding:
// sqrt(M) >= q + 1/2 exactly when M - q^2 > q, and a tie cannot occur.
#include <cmath>
#include <cstdint>
#include <cstring>

extern "C" {
double __real_sqrt(double x);
double __wrap_sqrt(double x);
}

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

// Root of a positive normal double given its bits.
double sqrt_normal(uint64_t b) {
    int e = static_cast<int>(b >> 52) - 1023;
    uint64_t m = (b & 0x000FFFFFFFFFFFFFull) | 0x0010000000000000ull;
    if (e & 1) {  // two's complement: also right for negative odd exponents
        m <<= 1;  // m < 2^54
        e -= 1;
    }
    const uint64_t m_low = m << 52;  // M mod 2^64

    // sqrt(M) ~ s32 2^22 with s32 = sqrt(m / 2^22) 2^15 in [2^30, 2^31], good to about 2^-23.
    const uint32_t mh = static_cast<uint32_t>(m >> 22);
    const uint32_t s32 = static_cast<uint32_t>(std::sqrt(static_cast<float>(mh)) * 32768.0f);
    const float inv_s32 = 1.0f / static_cast<float>(s32);
    uint64_t q = static_cast<uint64_t>(s32) << 22;

    // M - q^2 = 2^44 (m 2^8 - s32^2), about 2^83; the step (M - q^2) / (2q) is d 2^21 / s32,
    // taken from the top of d (|d| below 2^40).
    const int64_t d = static_cast<int64_t>((m << 8) - static_cast<uint64_t>(s32) * s32);
    const float step1 = static_cast<float>(static_cast<int32_t>(d >> 10)) * inv_s32 * 2147483648.0f;
    q += static_cast<int64_t>(static_cast<int32_t>(step1));  // |step1| below 2^30

    // Now within a few hundred: M - q^2 is below 2^62, exact in its low 64 bits.
    const int64_t r = static_cast<int64_t>(m_low - q * q);
    const float step2 = static_cast<float>(static_cast<int32_t>(r >> 32)) * inv_s32 * 512.0f;
    q += static_cast<int64_t>(static_cast<int32_t>(step2 + (step2 < 0.0f ? -0.5f : 0.5f)));

    // Exact floor(sqrt(M)): 0 <= M - q^2 <= 2q. The estimate is off by one or two at most; a
    // remainder beyond 2^57 (q off by 16) would mean the estimate failed, and the library's
    // root is taken instead of a long walk.
    int64_t rem = static_cast<int64_t>(m_low - q * q);
    constexpr int64_t kFar = int64_t{1} << 57;
    if (rem > kFar || rem < -kFar) return __real_sqrt(from_bits(b));
    while (rem < 0) {
        rem += static_cast<int64_t>(2 * q - 1);
        --q;
    }
    while (rem > static_cast<int64_t>(2 * q)) {
        ++q;
        rem -= static_cast<int64_t>(2 * q - 1);
    }
    if (rem > static_cast<int64_t>(q)) ++q;  // a carry to 2^53 moves into the exponent
    return from_bits((static_cast<uint64_t>(e / 2 + 1022) << 52) + q);
}

}  // namespace

extern "C" double __wrap_sqrt(double x) {
    const uint64_t b = bits_of(x);
    // Positive normal numbers: exponent field 1..2046 with the sign clear.
    if ((b >> 52) - 1 >= 0x7FE) return __real_sqrt(x);
    return sqrt_normal(b);
}
