// Correctly rounded double division for the Cortex-M4F, about a fifth of libgcc's cost.
//
// libgcc's __aeabi_ddiv forms the quotient a bit at a time (about 576 instructions); the
// engine divides about twenty times per sample. Linked with -Wl,--wrap=__aeabi_ddiv (through
// the CMake library stm32l431_double_guard), quotients of two normal numbers whose result is
// safely normal are formed here; zeros, subnormals, infinities, NaN and results near overflow
// or underflow still go to libgcc. The result is the correctly rounded quotient, as libgcc's,
// so no number changes.
//
// With significands A, B in [2^52, 2^53) the result's significand is Q = A 2^s / B rounded to
// an integer, s = 52 if A >= B, else 53, so that Q lies in [2^52, 2^53]. A hardware
// single-precision quotient gives Q to about 2^31; two corrections by the remainder, divided
// in single precision, bring it within one; the exact integer remainder N - Q B (N = A 2^s;
// its low 64 bits suffice, it is small) then settles the floor and the rounding to nearest,
// ties to even.
#include <cstdint>
#include <cstring>

#define AEABI __attribute__((pcs("aapcs")))

extern "C" {
AEABI double __real___aeabi_ddiv(double a, double b);
AEABI double __wrap___aeabi_ddiv(double a, double b);
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

constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFull;
constexpr uint64_t kHidden = 0x0010000000000000ull;

}  // namespace

extern "C" AEABI double __wrap___aeabi_ddiv(double a, double b) {
    const uint64_t abits = bits_of(a), bbits = bits_of(b);
    const uint32_t ea = static_cast<uint32_t>(abits >> 52) & 0x7FF;
    const uint32_t eb = static_cast<uint32_t>(bbits >> 52) & 0x7FF;
    if (ea - 1 >= 0x7FE || eb - 1 >= 0x7FE) return __real___aeabi_ddiv(a, b);  // not normal
    const uint64_t A = (abits & kMantissa) | kHidden;
    const uint64_t B = (bbits & kMantissa) | kHidden;
    int e = static_cast<int>(ea) - static_cast<int>(eb) + 1023;  // biased exponent of the result
    int s = 52;
    if (A < B) {
        --e;
        s = 53;
    }
    // After rounding up to 2^53 the exponent is e + 1; both must stay normal and finite.
    if (e < 1 || e > 2045) return __real___aeabi_ddiv(a, b);

    // Estimate: t = A/B from the top 32 bits of each (relative error below 2^-22.4), as
    // Q0 = T 2^29 with T = t 2^(s-29) < 2^24 + 1, an integer because t has 24 bits.
    const float af = static_cast<float>(static_cast<uint32_t>(A >> 21));
    const float bf = static_cast<float>(static_cast<uint32_t>(B >> 21));
    const float inv_bf = 1.0f / bf;  // 1/B ~ inv_bf 2^-21
    const float t = af / bf;
    const uint64_t T = static_cast<uint32_t>(t * (s == 52 ? 8388608.0f : 16777216.0f));
    uint64_t q = T << 29;

    // N - Q0 B = 2^29 (A 2^(s-29) - T B); the difference is below 2^55 although its terms are
    // not, so their low 64 bits give it exactly. Step (N - Q0 B) / B from its top bits, halved
    // on the way so that the float-to-integer conversion stays in range.
    const int64_t d0 = static_cast<int64_t>((A << (s - 29)) - T * B);
    const float half_step1 = static_cast<float>(static_cast<int32_t>(d0 >> 25)) * inv_bf * 4294967296.0f;
    q += static_cast<int64_t>(2 * static_cast<int64_t>(static_cast<int32_t>(half_step1)));

    // Now within a few hundred: N - Q B is below 2^62, exact in its low 64 bits.
    const uint64_t n_low = A << s;
    const int64_t r1 = static_cast<int64_t>(n_low - q * B);
    const float step2 = static_cast<float>(static_cast<int32_t>(r1 >> 32)) * inv_bf * 2048.0f;
    q += static_cast<int64_t>(static_cast<int32_t>(step2 + (step2 < 0.0f ? -0.5f : 0.5f)));

    // Exact floor: 0 <= N - Q B < B. The estimate is off by one at most; a remainder beyond
    // 16 B would mean it failed, and libgcc's quotient is taken instead of a long walk.
    int64_t rem = static_cast<int64_t>(n_low - q * B);
    const int64_t far = static_cast<int64_t>(B << 4);
    if (rem > far || rem < -far) return __real___aeabi_ddiv(a, b);
    while (rem < 0) {
        rem += static_cast<int64_t>(B);
        --q;
    }
    while (rem >= static_cast<int64_t>(B)) {
        rem -= static_cast<int64_t>(B);
        ++q;
    }
    const uint64_t twice = static_cast<uint64_t>(rem) << 1;
    if (twice > B || (twice == B && (q & 1) != 0)) ++q;  // a carry to 2^53 moves into the exponent
    const uint64_t sign = (abits ^ bbits) & 0x8000000000000000ull;
    return from_bits(sign | ((static_cast<uint64_t>(e - 1) << 52) + q));
}
