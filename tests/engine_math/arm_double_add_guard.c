/* Correctly rounded double addition for the Cortex-M4F build.
   libgcc's __aeabi_dadd/__aeabi_dsub (arm-none-eabi GCC 12.2, Thumb-2) lose the guard bit when
   the exponents differ by exactly 33 and the result falls into the next lower binade: the low
   word of the smaller operand is reduced to a sticky bit although one of its bits becomes the
   guard bit after the one-bit renormalisation. Linked with
   -Wl,--wrap=__aeabi_dadd,--wrap=__aeabi_dsub,--wrap=__aeabi_drsub every double sum of the
   program passes through here. In the faulty case the top 21 bits of the smaller operand are
   added first (exact: the sum is a multiple of half an ulp of the larger and lies in the lower
   binade or on its edge) and the remaining low bits second (exponents far apart: one correct
   rounding). */
#include <stdint.h>
#include <string.h>

#define AEABI __attribute__((pcs("aapcs")))
AEABI double __real___aeabi_dadd(double a, double b);

static uint64_t bits_of(double x) { uint64_t b; memcpy(&b, &x, sizeof b); return b; }
static double from_bits(uint64_t b) { double x; memcpy(&x, &b, sizeof x); return x; }
static double negated(double x) { return from_bits(bits_of(x) ^ 0x8000000000000000ull); }

static double add_rn(double a, double b) {
    uint64_t ab = bits_of(a), bb = bits_of(b);
    if ((ab & 0x7FFFFFFFFFFFFFFFull) < (bb & 0x7FFFFFFFFFFFFFFFull)) {
        const double t = a; a = b; b = t;
        const uint64_t tb = ab; ab = bb; bb = tb;
    }
    const double s = __real___aeabi_dadd(a, b);
    const int ea = (int)((ab >> 52) & 0x7FF);
    int eb = (int)((bb >> 52) & 0x7FF);
    const int es = (int)((bits_of(s) >> 52) & 0x7FF);
    if (eb == 0) eb = 1;  /* subnormals share the smallest normal exponent */
    if (ea == 0x7FF || ea - eb != 33 || es == ea) return s;
    const double b_hi = from_bits(bb & 0xFFFFFFFF00000000ull);
    const double b_lo = __real___aeabi_dadd(b, negated(b_hi));  /* exact */
    return __real___aeabi_dadd(__real___aeabi_dadd(a, b_hi), b_lo);
}

AEABI double __wrap___aeabi_dadd(double a, double b) { return add_rn(a, b); }
AEABI double __wrap___aeabi_dsub(double a, double b) { return add_rn(a, negated(b)); }
AEABI double __wrap___aeabi_drsub(double a, double b) { return add_rn(b, negated(a)); }
