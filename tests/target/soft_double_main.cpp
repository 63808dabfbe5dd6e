// Correct rounding of the target's software double-precision arithmetic as linked into the
// test programs (the C library's routines plus the correction wrapped around its addition),
// which the engine's attitude update and elementary functions rely on for host-identical
// results. Operands
// sweep every exponent gap from 1 to 60 around 1.0; the expected hashes are those of IEEE 754
// arithmetic (x86-64 SSE2, round to nearest even), written down by the host. A case found
// misrounded under QEMU is checked on its own so that a failure names it.
#include <cstdint>
#include <cstring>

#include "Semihost.h"
#include "fall_replay/Observe.h"

namespace {

volatile double g_one = 1.0;

struct Hashes {
    uint64_t sub, add, mul, div;
};

Hashes sweep() {
    Hashes h{1469598103934665603ull, 1469598103934665603ull, 1469598103934665603ull,
             1469598103934665603ull};
    uint64_t st = 88172645463325252ull;
    auto mix = [](uint64_t &acc, double v) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        acc = (acc ^ b) * 1099511628211ull;
    };
    for (int gap = 1; gap <= 60; ++gap) {
        for (int i = 0; i < 500; ++i) {
            st ^= st << 13;
            st ^= st >> 7;
            st ^= st << 17;
            const uint64_t yb = (static_cast<uint64_t>(1023 - gap) << 52) | (st & 0xFFFFFFFFFFFFFull);
            double y;
            std::memcpy(&y, &yb, sizeof y);
            mix(h.sub, g_one - y);
            mix(h.add, g_one + y);
            mix(h.mul, (g_one + 0.5) * (1.0 + y));
            mix(h.div, g_one / (1.0 + y));
        }
    }
    return h;
}

bool report(const char *name, uint64_t got, uint64_t want) {
    char line[80];
    char *p = line;
    for (const char *s = name; *s; ++s) *p++ = *s;
    *p++ = ' ';
    p = fall_replay::putHex64(p, got);
    if (got != want) {
        for (const char *s = " expected "; *s; ++s) *p++ = *s;
        p = fall_replay::putHex64(p, want);
    }
    *p = '\0';
    target::print(got == want ? "  " : "FAIL: ");
    target::printLine(line);
    return got == want;
}

}  // namespace

int main() {
    bool ok = true;
    // 1 - 1.4 * 2^-33: the exact difference lies 0.4 ulp above 0x3fefffffffe9999a.
    const volatile double y = 1.6298145055770874e-10;
    const double x = g_one - y;
    uint64_t xb;
    std::memcpy(&xb, &x, sizeof xb);
    ok &= report("1 - 1.4*2^-33", xb, 0x3fefffffffe9999aull);

    const Hashes h = sweep();
    ok &= report("subtraction sweep", h.sub, 0x1743ccc7bbdda544ull);
    ok &= report("addition sweep", h.add, 0x868371b720631bbfull);
    ok &= report("multiplication sweep", h.mul, 0x1e2c74445f31c0eeull);
    ok &= report("division sweep", h.div, 0xb35628c9e0076ae6ull);
    if (!ok) target::fail("software double arithmetic is not correctly rounded");
    target::printLine("software double arithmetic rounds as IEEE 754 requires");
    target::exitWith(0);
}
