// The watchers' wide comparison: every byte of a range counts, none beyond it.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/register_look.h"

namespace {

template <std::size_t N>
void check_every_byte() {
    unsigned char regs[N + 1], seen[N + 1];
    for (std::size_t i = 0; i <= N; ++i) regs[i] = seen[i] = static_cast<unsigned char>(i * 37u);
    regs[N] ^= 0xFFu;  // past the range: not compared
    EXPECT_EQ(sim::byte_diff<N>(regs, seen), 0u) << N << " bytes, none changed";
    for (std::size_t i = 0; i < N; ++i) {
        for (unsigned bit = 0; bit < 8; bit += 7) {
            regs[i] ^= static_cast<unsigned char>(1u << bit);
            EXPECT_NE(sim::byte_diff<N>(regs, seen), 0u) << N << " bytes, byte " << i;
            regs[i] ^= static_cast<unsigned char>(1u << bit);
        }
    }
}

TEST(RegisterLook, EveryByteOfTheRangeIsCompared) {
    // Sizes that end on each path: whole 16-byte chunks, an 8, a 4 and single bytes.
    check_every_byte<1>();
    check_every_byte<4>();
    check_every_byte<7>();
    check_every_byte<12>();
    check_every_byte<16>();
    check_every_byte<29>();
    check_every_byte<52>();
    check_every_byte<96>();
}

}  // namespace
