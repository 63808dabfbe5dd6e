// The linked square root (wrapped around the C library's) against the C library's own, bit for
// bit: random doubles over the whole positive range, the first and last mantissas of every
// binade (both exponent parities), exact squares and their neighbours, and the arguments the
// library keeps (zeros, subnormals, negatives, infinities, NaN).
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Semihost.h"
#include "fall_replay/Observe.h"

extern "C" double __real_sqrt(double x);

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

void check(uint64_t xb) {
    volatile double x = from_bits(xb);
    const uint64_t got = bits_of(std::sqrt(x));
    const uint64_t want = bits_of(__real_sqrt(x));
    ++g_checked;
    if (got == want) return;
    if (++g_failed > 10) return;
    char line[96];
    char *p = line;
    for (const char *s = "sqrt "; *s; ++s) *p++ = *s;
    p = fall_replay::putHex64(p, xb);
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
    uint64_t st = 0x9E3779B97F4A7C15ull;
    auto next = [&st] {
        st ^= st << 13;
        st ^= st >> 7;
        st ^= st << 17;
        return st;
    };
    for (int i = 0; i < 60000; ++i) check(next() & 0x7FFFFFFFFFFFFFFFull);
    for (uint64_t e = 0; e < 2048; e += 1) {
        for (uint64_t k = 0; k < 4; ++k) {
            check((e << 52) | k);
            check((e << 52) | (0x000FFFFFFFFFFFFFull - k));
        }
    }
    for (int i = 0; i < 20000; ++i) {
        const double root = static_cast<double>(next() >> 38) + 1.0;  // up to 26 bits: exact square
        const uint64_t sq = bits_of(root * root) + ((next() & 0x3FFull) << 52);  // any even scale
        check(sq);
        check(sq + 1);
        check(sq - 1);
    }
    const uint64_t kept[] = {0x0000000000000000ull, 0x8000000000000000ull, 0x0000000000000001ull,
                             0x000FFFFFFFFFFFFFull, 0xBFF0000000000000ull, 0x7FF0000000000000ull,
                             0xFFF0000000000000ull, 0x7FF8000000000000ull, 0x7FEFFFFFFFFFFFFFull,
                             0x0010000000000000ull};
    for (const uint64_t b : kept) check(b);

    char line[48];
    *fall_replay::putInt(line, g_checked) = '\0';
    target::print("arguments checked: ");
    target::printLine(line);
    if (g_failed != 0) target::fail("the linked square root differs from the C library's");
    target::printLine("the linked square root matches the C library's bit for bit");
    target::exitWith(0);
}
