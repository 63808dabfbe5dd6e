// The double-addition correction in every form the compiler emits. The sums libgcc gets wrong
// are differences a - y with a in [2^k, 2^k + 2^(k-33)) and y in [2^(k-33), 2^(k-32)), which
// fall below 2^k; each is checked here through add, subtract and reverse subtract, with the
// operands in both orders and both signs, over binades from the subnormal edge to the top of
// the range. The expected result is worked out with integers alone.
#include <cstdint>

#include "TestSupport.h"

#define AEABI __attribute__((pcs("aapcs")))
extern "C" {
AEABI double __aeabi_dadd(double a, double b);
AEABI double __aeabi_dsub(double a, double b);   // a - b
AEABI double __aeabi_drsub(double a, double b);  // b - a
}

namespace {

constexpr uint64_t kHidden = 1ull << 52;

// (2^52 + j) 2^(k-52) - Y 2^(k-85), j < 2^19, Y in [2^52, 2^53), rounded to nearest even:
// always below 2^k, so the result has the exponent k - 1 (or is 2^k after rounding up).
uint64_t exact_difference_bits(int k, uint64_t j, uint64_t y_mantissa) {
    const uint64_t yh = y_mantissa >> 32, yl = y_mantissa & 0xFFFFFFFFull;
    // (2^52 + j) 2^33 - Y = m * 2^32 + rem
    uint64_t m = (1ull << 53) + 2 * j - yh - (yl != 0 ? 1 : 0);
    const uint64_t rem = yl != 0 ? (1ull << 32) - yl : 0;
    if (rem > (1ull << 31) || (rem == (1ull << 31) && (m & 1)))
        ++m;
    if (m == (1ull << 53))
        return static_cast<uint64_t>(k + 1023) << 52;  // rounded up to 2^k
    return (static_cast<uint64_t>(k - 1 + 1023) << 52) | (m - kHidden);
}

target::Checks g_checks;

void check(const char *form, int k, double got, uint64_t want) {
    if (!g_checks.failedToPrint(target::bits(got) == want))
        return;
    target::Line line;
    line.text(form).text(" k=").num(k);
    line.text(" got ").hex(target::bits(got)).text(" expected ").hex(want);
    target::report(line, false);
}

}  // namespace

int main() {
    target::Sequence rng(0x2545F4914F6CDD1Dull);
    constexpr uint64_t kSign = 0x8000000000000000ull;
    // k - 33 >= -1022 keeps the smaller operand normal; one subnormal case follows below.
    const int ks[] = {-989, -700, -100, -34, -1, 0, 1, 2, 10, 33, 300, 1000, 1023};
    // The first mantissas of y: exactly 2^(k-33), just below 2^(k-32), a tie with an even
    // neighbour, a tie with an odd one; random ones after them.
    const uint64_t edges[] = {kHidden, (kHidden << 1) - 1, kHidden | 0x80000000ull,
                              kHidden | 0x180000000ull};
    for (const int k : ks) {
        for (int i = 0; i < 40; ++i) {
            const uint64_t st = rng.next();
            const uint64_t ym = i < 4 ? edges[i] : kHidden | (st & (kHidden - 1));
            const uint64_t j =
                i < 8 ? 0 : (st * 0x9E3779B97F4A7C15ull) >> 45;  // the power of two itself first
            const double a = target::dbl((static_cast<uint64_t>(k + 1023) << 52) | j);
            const double y =
                target::dbl((static_cast<uint64_t>(k - 33 + 1023) << 52) | (ym - kHidden));
            const double na = -a, ny = -y;
            const uint64_t pos = exact_difference_bits(k, j, ym);
            const uint64_t neg = pos | kSign;
            check("dsub a-y", k, __aeabi_dsub(a, y), pos);
            check("dsub y-a", k, __aeabi_dsub(y, a), neg);
            check("dsub -a-(-y)", k, __aeabi_dsub(na, ny), neg);
            check("dsub -y-(-a)", k, __aeabi_dsub(ny, na), pos);
            check("dadd a+(-y)", k, __aeabi_dadd(a, ny), pos);
            check("dadd -y+a", k, __aeabi_dadd(ny, a), pos);
            check("dadd -a+y", k, __aeabi_dadd(na, y), neg);
            check("dadd y+(-a)", k, __aeabi_dadd(y, na), neg);
            check("drsub a-y", k, __aeabi_drsub(y, a), pos);
            check("drsub y-a", k, __aeabi_drsub(a, y), neg);
            check("drsub -y-(-a)", k, __aeabi_drsub(na, ny), pos);
            check("drsub -a-(-y)", k, __aeabi_drsub(ny, na), neg);
        }
    }
    // Smallest case with a subnormal operand: 2^-989 and y in the top subnormal binade are 33
    // apart once subnormals count as exponent 1.
    {
        const double a = target::dbl(static_cast<uint64_t>(-989 + 1023) << 52);
        const double y = target::dbl(0x000FFFFF40000000ull);  // (2^52 - 2^32 + 2^30) 2^-1074
        // The difference is (2^53 - 2^20 + 0.75) 2^-1042: the dropped bits decide the rounding.
        const uint64_t want =
            (static_cast<uint64_t>(-990 + 1023) << 52) | ((1ull << 52) - (1ull << 20) + 1);
        check("dsub subnormal", -989, __aeabi_dsub(a, y), want);
        check("dadd subnormal", -989, __aeabi_dadd(-y, a), want);
    }
    // The case first found misrounded under QEMU: the exact 1 - 1.4 * 2^-33 lies 0.4 ulp above
    // 0x3fefffffffe9999a.
    check("dsub 1-1.4*2^-33", 0, __aeabi_dsub(1.0, 1.6298145055770874e-10), 0x3fefffffffe9999aull);
    g_checks.finish("cases checked",
                    "double addition is not correctly rounded around powers of two",
                    "double addition around powers of two rounds as IEEE 754 requires");
}
