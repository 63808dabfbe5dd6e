// Correct rounding of the target's software double-precision arithmetic as linked into the
// test programs (the C library's routines plus the correction wrapped around its addition),
// which the engine's attitude update and elementary functions rely on for host-identical
// results. Operands
// sweep every exponent gap from 1 to 60 around 1.0; the expected hashes are those of IEEE 754
// arithmetic (x86-64 SSE2, round to nearest even), written down by the host. A case found
// misrounded under QEMU is checked on its own so that a failure names it.
#include <cstdint>

#include "TestSupport.h"

namespace {

volatile double g_one = 1.0;

struct Hashes {
    uint64_t sub, add, mul, div;
};

Hashes sweep() {
    Hashes h{1469598103934665603ull, 1469598103934665603ull, 1469598103934665603ull,
             1469598103934665603ull};
    target::XorShift64 rng{88172645463325252ull};
    auto mix = [](uint64_t &acc, double v) { acc = (acc ^ target::bitsOf(v)) * 1099511628211ull; };
    for (int gap = 1; gap <= 60; ++gap) {
        for (int i = 0; i < 500; ++i) {
            const uint64_t yb =
                (static_cast<uint64_t>(1023 - gap) << 52) | (rng.next() & 0xFFFFFFFFFFFFFull);
            const double y = target::fromBits(yb);
            mix(h.sub, g_one - y);
            mix(h.add, g_one + y);
            mix(h.mul, (g_one + 0.5) * (1.0 + y));
            mix(h.div, g_one / (1.0 + y));
        }
    }
    return h;
}

bool report(const char *name, uint64_t got, uint64_t want) {
    target::Line line;
    line.text(name).text(" ").hex(got);
    if (got != want)
        line.text(" expected ").hex(want);
    line.report(got == want);
    return got == want;
}

}  // namespace

int main() {
    bool ok = true;
    // 1 - 1.4 * 2^-33: the exact difference lies 0.4 ulp above 0x3fefffffffe9999a.
    const volatile double y = 1.6298145055770874e-10;
    ok &= report("1 - 1.4*2^-33", target::bitsOf(g_one - y), 0x3fefffffffe9999aull);

    const Hashes h = sweep();
    ok &= report("subtraction sweep", h.sub, 0x1743ccc7bbdda544ull);
    ok &= report("addition sweep", h.add, 0x868371b720631bbfull);
    ok &= report("multiplication sweep", h.mul, 0x1e2c74445f31c0eeull);
    ok &= report("division sweep", h.div, 0xb35628c9e0076ae6ull);
    if (!ok)
        target::fail("software double arithmetic is not correctly rounded");
    target::printLine("software double arithmetic rounds as IEEE 754 requires");
    target::exitWith(0);
}
