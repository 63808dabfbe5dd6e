// Helpers for the register watchers' common case: a look that finds nothing written.
// The watchers run at every call from the firmware (thousands of times a second of
// virtual time), so the comparison of what a model last saw with what the registers
// hold now is done with wide loads instead of one volatile access a register.
//
// The register objects live in the simulator's own memory (registers.cpp); the
// firmware's writes to them are complete before it calls into the simulator, and
// nothing else writes them while a watcher runs, so reading them as plain bytes
// sees exactly what a volatile read would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sim {

// Zero when the N bytes at `regs` equal the N bytes at `seen`; callers or the
// results of several ranges together and test once.
template <std::size_t N>
inline std::uint64_t byte_diff(const volatile void *regs, const void *seen) {
    using Chunk = std::uint64_t __attribute__((vector_size(16)));
    const auto *a = static_cast<const unsigned char *>(const_cast<const void *>(regs));
    const auto *b = static_cast<const unsigned char *>(seen);
    Chunk diff = {0, 0};
    std::size_t i = 0;
#pragma GCC unroll 16
    for (; i + 16 <= N; i += 16) {
        Chunk x, y;
        std::memcpy(&x, a + i, 16);
        std::memcpy(&y, b + i, 16);
        diff |= x ^ y;
    }
    std::uint64_t rest = diff[0] | diff[1];
    if (i + 8 <= N) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        rest |= x ^ y;
        i += 8;
    }
    if (i + 4 <= N) {
        std::uint32_t x, y;
        std::memcpy(&x, a + i, 4);
        std::memcpy(&y, b + i, 4);
        rest |= x ^ y;
        i += 4;
    }
    for (; i < N; ++i) rest |= static_cast<std::uint64_t>(a[i] ^ b[i]);
    return rest;
}

}  // namespace sim
