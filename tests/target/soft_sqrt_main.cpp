// The linked square root (wrapped around the C library's) against the C library's own, bit for
// bit: random doubles over the whole positive range, the first and last mantissas of every
// binade (both exponent parities), exact squares and their neighbours, and the arguments the
// library keeps (zeros, subnormals, negatives, infinities, NaN).
#include <cmath>
#include <cstdint>

#include "TestSupport.h"

extern "C" double __real_sqrt(double x);

namespace {

using target::bits;
using target::dbl;

target::Checks g_checks;

void check(uint64_t xb) {
    volatile double x = dbl(xb);
    const uint64_t got = bits(std::sqrt(x));
    const uint64_t want = bits(__real_sqrt(x));
    if (!g_checks.failedToPrint(got == want))
        return;
    target::Line line;
    line.text("sqrt ").hex(xb).text(" got ").hex(got).text(" expected ").hex(want);
    target::report(line, false);
}

}  // namespace

int main() {
    target::Sequence rng(0x9E3779B97F4A7C15ull);
    auto next = [&rng] { return rng.next(); };
    for (int i = 0; i < 60000; ++i) check(next() & 0x7FFFFFFFFFFFFFFFull);
    for (uint64_t e = 0; e < 2048; e += 1) {
        for (uint64_t k = 0; k < 4; ++k) {
            check((e << 52) | k);
            check((e << 52) | (0x000FFFFFFFFFFFFFull - k));
        }
    }
    for (int i = 0; i < 20000; ++i) {
        const double root = static_cast<double>(next() >> 38) + 1.0;  // up to 26 bits: exact square
        const uint64_t sq = bits(root * root) + ((next() & 0x3FFull) << 52);  // any even scale
        check(sq);
        check(sq + 1);
        check(sq - 1);
    }
    const uint64_t kept[] = {0x0000000000000000ull, 0x8000000000000000ull, 0x0000000000000001ull,
                             0x000FFFFFFFFFFFFFull, 0xBFF0000000000000ull, 0x7FF0000000000000ull,
                             0xFFF0000000000000ull, 0x7FF8000000000000ull, 0x7FEFFFFFFFFFFFFFull,
                             0x0010000000000000ull};
    for (const uint64_t b : kept) check(b);

    g_checks.finish("arguments checked", "the linked square root differs from the C library's",
                    "the linked square root matches the C library's bit for bit");
}
