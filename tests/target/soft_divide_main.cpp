// The linked double division (wrapped around libgcc's) against libgcc's own, bit for bit:
// random operands of every size, operands in nearby binades, short significands, exact
// quotients and their neighbours, results at the edges of the normal range, and the operands
// libgcc keeps (zeros, subnormals, infinities, NaN).
#include <cstdint>

#include "TestSupport.h"

#define AEABI __attribute__((pcs("aapcs")))
extern "C" AEABI double __real___aeabi_ddiv(double a, double b);

namespace {

using target::bits;
using target::dbl;

target::Checks g_checks;

void check(uint64_t ab, uint64_t bb) {
    volatile double a = dbl(ab);
    volatile double b = dbl(bb);
    const uint64_t got = bits(a / b);
    const uint64_t want = bits(__real___aeabi_ddiv(a, b));
    if (!g_checks.failedToPrint(got == want))
        return;
    target::Line line;
    line.hex(ab).text(" / ").hex(bb).text(" got ").hex(got).text(" expected ").hex(want);
    target::report(line, false);
}

}  // namespace

int main() {
    target::Sequence rng(0x2545F4914F6CDD1Dull);
    auto next = [&rng] { return rng.next(); };
    constexpr uint64_t kSignExp = 0xFFF0000000000000ull;
    for (int i = 0; i < 30000; ++i) check(next(), next());
    for (int i = 0; i < 30000; ++i) {  // exponents at most 7 apart
        const uint64_t a = next();
        check(a, (a & kSignExp) ^ (next() & 0x800FFFFFFFFFFFFFull) ^ ((next() & 7) << 52));
    }
    for (int i = 0; i < 10000; ++i) {  // short significands
        const uint64_t a = (next() & kSignExp) | (next() & 0xFFFFF);
        const uint64_t b = (next() & kSignExp) | ((next() & 0xFFFFF) << 32);
        check(a, b);
        check(b, a);
    }
    for (int i = 0; i < 10000; ++i) {  // exact quotients (a = b c, c below 2^24) and neighbours
        const double b = dbl(next() & 0x3FFFFFFFFFFFFFFFull);
        const double c = static_cast<double>(next() >> 40);
        const uint64_t a = bits(b * c);
        check(a, bits(b));
        check(a + 1, bits(b));
        check(a - 1, bits(b));
    }
    // Every pair of exponents near the ends of the range where the result leaves or nearly
    // leaves the normal numbers, with the largest and smallest significands.
    const uint64_t edge_exponents[] = {1, 2, 1021, 1022, 1023, 1024, 2045, 2046};
    for (uint64_t ea = 0; ea < 2048; ea += 1) {
        for (const uint64_t eb : edge_exponents) {
            check((ea << 52) | 0x000FFFFFFFFFFFFFull, eb << 52);
            check(ea << 52, (eb << 52) | 0x000FFFFFFFFFFFFFull);
            check((ea << 52) | 1, (eb << 52) | 0x8000000000000ull);
        }
    }
    const uint64_t kept[] = {0x0000000000000000ull, 0x8000000000000000ull, 0x0000000000000001ull,
                             0x000FFFFFFFFFFFFFull, 0x7FF0000000000000ull, 0xFFF0000000000000ull,
                             0x7FF8000000000000ull, 0x3FF0000000000000ull, 0xC000000000000000ull};
    for (const uint64_t a : kept) {
        for (const uint64_t b : kept) check(a, b);
    }

    g_checks.finish("quotients checked", "the linked double division differs from libgcc's",
                    "the linked double division matches libgcc's bit for bit");
}
