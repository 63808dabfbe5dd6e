#pragma once
// Portable bit-exactness check of the engine's elementary functions.
//
// fdmath_vector_hashes() runs each of the six functions over a fixed set of a few
// thousand inputs (engine ranges, range ends, special values) and hashes the result bit
// patterns (64-bit FNV-1a, least significant byte first; every NaN hashed as one
// canonical NaN). It uses no heap, no exceptions and no I/O, so the same file builds for
// the host and for the Cortex-M4F; both must produce the constants below.
#include <cstdint>
#include <cstring>

// Bit views of doubles and floats and a fixed portable sequence of arguments, shared by the
// host's and the Cortex-M4F's tests.
namespace mathvec {

inline uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}
inline double dbl(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}
inline uint32_t bits(float x) {
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}
inline float flt(uint32_t b) {
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// splitmix64: a fixed, portable sequence.
class Sequence {
  public:
    explicit Sequence(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1): 53 random bits, exact conversion and scaling.
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-a, a) by sign and magnitude. Only products: the target's double addition
    // misrounds one class of sums (docs/fall_replay.md, "Known fault"), and the inputs
    // must be the same on both sides for the hashes to compare the functions.
    double symmetric(double a) {
        const uint64_t r = next();
        const double m = a * (static_cast<double>(r >> 11) * (1.0 / 9007199254740992.0));
        return (r & 1) ? -m : m;
    }
    // Random sign and mantissa, binary exponent in [emin, emax].
    double log_uniform(int emin, int emax) {
        const uint64_t r = next();
        const uint64_t e = static_cast<uint64_t>(
            emin + static_cast<int>((r >> 52) % static_cast<uint64_t>(emax - emin + 1)) + 1023);
        return dbl((r & 0x800FFFFFFFFFFFFFull) | (e << 52));
    }
    // Any finite double.
    double any_finite() {
        for (;;) {
            const uint64_t r = next();
            if ((r & 0x7FF0000000000000ull) != 0x7FF0000000000000ull)
                return dbl(r);
        }
    }
    float any_finite_float() {
        for (;;) {
            const uint32_t r = static_cast<uint32_t>(next() >> 32);
            if ((r & 0x7F800000u) != 0x7F800000u)
                return flt(r);
        }
    }

  private:
    uint64_t s_;
};

}  // namespace mathvec

enum FdmathVector : int {
    kVectorAsinf = 0,
    kVectorAtan2f = 1,
    kVectorSin = 2,
    kVectorCos = 3,
    kVectorExp = 4,
    kVectorAsin = 5,
    kVectorCount = 6,
};

// Fills out[kVectorAsinf .. kVectorAsin].
void fdmath_vector_hashes(uint64_t out[kVectorCount]);

constexpr const char *kVectorNames[kVectorCount] = {"asinf", "atan2f", "sin", "cos", "exp", "asin"};
constexpr uint64_t kExpectedVectorHashes[kVectorCount] = {
    0x6F2CC1AD0C2BA7ACull, 0x5D35D103DBB4CE49ull, 0xCA0976351E919BBFull,
    0x42475912B6C3BB3Dull, 0x5135C1B0D9C9AB4Aull, 0x0D9B6BD392F7287Bull,
};
