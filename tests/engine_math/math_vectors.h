#pragma once
// Portable bit-exactness check of the engine's elementary functions.
//
// fdmath_vector_hashes() runs each of the six functions over a fixed set of a few
// thousand inputs (engine ranges, range ends, special values) and hashes the result bit
// patterns (64-bit FNV-1a, least significant byte first; every NaN hashed as one
// canonical NaN). It uses no heap, no exceptions and no I/O, so the same file builds for
// the host and for the Cortex-M4F; both must produce the constants below.
#include <cstdint>

enum FdmathVector : int {
    kVectorAsinf = 0,
    kVectorAtan2f = 1,
    kVectorSin = 2,
    kVectorCos = 3,
    kVectorExp = 4,
    kVectorAsin = 5,
    kVectorCount = 6,
};

// Number of inputs per function, in the order above.
extern const uint32_t kVectorInputCounts[kVectorCount];

// Fills out[kVectorAsinf .. kVectorAsin].
void fdmath_vector_hashes(uint64_t out[kVectorCount]);

constexpr uint64_t kExpectedHashAsinf = 0x6F2CC1AD0C2BA7ACull;
constexpr uint64_t kExpectedHashAtan2f = 0x5D35D103DBB4CE49ull;
constexpr uint64_t kExpectedHashSin = 0xCA0976351E919BBFull;
constexpr uint64_t kExpectedHashCos = 0x42475912B6C3BB3Dull;
constexpr uint64_t kExpectedHashExp = 0x5135C1B0D9C9AB4Aull;
constexpr uint64_t kExpectedHashAsin = 0x0D9B6BD392F7287Bull;

constexpr uint64_t kExpectedVectorHashes[kVectorCount] = {
    kExpectedHashAsinf, kExpectedHashAtan2f, kExpectedHashSin,
    kExpectedHashCos,   kExpectedHashExp,    kExpectedHashAsin,
};
