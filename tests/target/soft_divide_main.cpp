// The linked double division (wrapped around libgcc's) against libgcc's own, bit for bit:
// random operands of every size, operands in nearby binades, short significands, exact
// quotients and their neighbours, results at the edges of the normal range, and the operands
// libgcc keeps (zeros, subnormals, infinities, NaN).
#include <cstdint>
#include <cstring>

#include "Semihost.h"
#include "fall_replay/Observe.h"

#define AEABI __attribute__((pcs("aapcs")))
extern "C" AEABI double __real___aeabi_ddiv(double a, double b);

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

uint32_t g_checked = 0;
uint32_t g_failed = 0;

void check(uint64_t ab, uint64_t bb) {
    volatile double a = from_bits(ab);
    volatile double b = from_bits(bb);
    const uint64_t got = bits_of(a / b);
    const uint64_t want = bits_of(__real___aeabi_ddiv(a, b));
    ++g_checked;
    if (got == want) return;
    if (++g_failed > 10) return;
    char line[128];
    char *p = line;
    p = fall_replay::putHex64(p, ab);
    for (const char *s = " / "; *s; ++s) *p++ = *s;
    p = fall_replay::putHex64(p, bb);
    for (const char *s = " got "; *s; ++s) *p++ = *s;
    p = fall_replay::putHex64(p, got);
    for (const char *s = " expected "; *s; ++s) *p++ = *s;
    p = fall_replay::putHex64(p, want);
    *p = '\0';
    target::print("FAIL: ");
    target::printLine(line);
}

}  // namespace

int main() {
    uint64_t st = 0x2545F4914F6CDD1Dull;
    auto next = [&st] {
        st ^= st << 13;
        st ^= st >> 7;
        st ^= st << 17;
        return st;
    };
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
        const double b = from_bits(next() & 0x3FFFFFFFFFFFFFFFull);
        const double c = static_cast<double>(next() >> 40);
        const uint64_t a = bits_of(b * c);
        check(a, bits_of(b));
        check(a + 1, bits_of(b));
        check(a - 1, bits_of(b));
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

    char line[48];
    *fall_replay::putInt(line, g_checked) = '\0';
    target::print("quotients checked: ");
    target::printLine(line);
    if (g_failed != 0) target::fail("the linked double division differs from libgcc's");
    target::printLine("the linked double division matches libgcc's bit for bit");
    target::exitWith(0);
}
