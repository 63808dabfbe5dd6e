// Correctly rounded double addition and subtraction for the Cortex-M4F.
//
// libgcc's __aeabi_dadd/__aeabi_dsub (arm-none-eabi GCC 12.2, Thumb-2) lose the guard bit when
// the operands' exponents differ by exactly 33 and the difference falls into the next lower
// binade: the low word of the smaller operand is reduced to a sticky bit although one of its
// bits becomes the guard bit after the one-bit renormalisation (1 - y, 2^-33 <= y < 2^-32,
// comes out one ulp low about half the time). The engine's numbers on the device must be the
// host's, so every image links this with
// -Wl,--wrap=__aeabi_dadd,--wrap=__aeabi_dsub,--wrap=__aeabi_drsub (the CMake library
// stm32l431_double_guard carries both).
//
// The entry points decide from the high words alone, in a few instructions, whether a call can
// be the faulty case, and otherwise branch straight to libgcc with the operands untouched:
//   - an effective addition (like signs for add, unlike for subtract) never loses a binade;
//   - otherwise ((hi_a << 1) - (hi_b << 1)) >> 21, arithmetic, is the exponent difference or
//     one less (the mantissa bits below may borrow), modulo 2048. Its ones' complement
//     magnitude is 32, 33 or 34 whenever the true difference is +-33, also with a subnormal
//     operand counted as exponent 0 or 1. Every such call, and a few harmless others, takes
//     the careful path, which computes the sum and repairs it if it really is the faulty case.
// The careful path adds the top 21 bits of the smaller operand first (exact: the sum is a
// multiple of half an ulp of the larger and lies in the lower binade or on its edge) and the
// remaining low bits second (exponents far apart: one correct rounding).
#include <cstdint>
#include <cstring>

#define AEABI __attribute__((pcs("aapcs")))

extern "C" {
AEABI double __real___aeabi_dadd(double a, double b);
AEABI double fd_guarded_dadd(double a, double b);
AEABI double fd_guarded_dsub(double a, double b);
AEABI double fd_guarded_drsub(double a, double b);
}

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
double negated(double x) { return from_bits(bits_of(x) ^ 0x8000000000000000ull); }

double add_rn(double a, double b) {
    uint64_t ab = bits_of(a), bb = bits_of(b);
    if ((ab & 0x7FFFFFFFFFFFFFFFull) < (bb & 0x7FFFFFFFFFFFFFFFull)) {
        const double t = a;
        a = b;
        b = t;
        const uint64_t tb = ab;
        ab = bb;
        bb = tb;
    }
    const double s = __real___aeabi_dadd(a, b);
    const int ea = static_cast<int>((ab >> 52) & 0x7FF);
    int eb = static_cast<int>((bb >> 52) & 0x7FF);
    const int es = static_cast<int>((bits_of(s) >> 52) & 0x7FF);
    if (eb == 0) eb = 1;  // subnormals share the smallest normal exponent
    if (ea == 0x7FF || ea - eb != 33 || es == ea) return s;
    const double b_hi = from_bits(bb & 0xFFFFFFFF00000000ull);
    const double b_lo = __real___aeabi_dadd(b, negated(b_hi));  // exact
    return __real___aeabi_dadd(__real___aeabi_dadd(a, b_hi), b_lo);
}

}  // namespace

extern "C" {
AEABI double fd_guarded_dadd(double a, double b) { return add_rn(a, b); }
AEABI double fd_guarded_dsub(double a, double b) { return add_rn(a, negated(b)); }
AEABI double fd_guarded_drsub(double a, double b) { return add_rn(b, negated(a)); }
}

// The filters. a is in r0:r1 and b in r2:r3 (high words r1, r3); only ip is free to use, and
// the operands must reach libgcc or the careful path unchanged.
__asm__(
    "  .syntax unified\n"
    "  .thumb\n"
    "  .text\n"
    // ip = ones' complement magnitude of ((r1 << 1) - (r3 << 1)) >> 21, minus 32; the careful
    // path takes 0, 1 and 2 (unsigned compare).
    "  .macro FD_EXPONENT_GAP_TO_IP\n"
    "  lsl ip, r1, #1\n"
    "  sub ip, ip, r3, lsl #1\n"
    "  asr ip, ip, #21\n"
    "  eor ip, ip, ip, asr #31\n"
    "  sub ip, ip, #32\n"
    "  cmp ip, #2\n"
    "  .endm\n"

    "  .global __wrap___aeabi_dadd\n"
    "  .type __wrap___aeabi_dadd, %function\n"
    "  .thumb_func\n"
    "__wrap___aeabi_dadd:\n"
    "  eors ip, r1, r3\n"
    "  bmi 1f\n"
    "  b.w __real___aeabi_dadd\n"  // like signs: a true addition
    "1:\n"
    "  FD_EXPONENT_GAP_TO_IP\n"
    "  bls 2f\n"
    "  b.w __real___aeabi_dadd\n"
    "2:\n"
    "  b.w fd_guarded_dadd\n"
    "  .size __wrap___aeabi_dadd, . - __wrap___aeabi_dadd\n"

    "  .global __wrap___aeabi_dsub\n"
    "  .type __wrap___aeabi_dsub, %function\n"
    "  .thumb_func\n"
    "__wrap___aeabi_dsub:\n"
    "  eors ip, r1, r3\n"
    "  bpl 1f\n"
    "  b.w __real___aeabi_dsub\n"  // unlike signs: a true addition
    "1:\n"
    "  FD_EXPONENT_GAP_TO_IP\n"
    "  bls 2f\n"
    "  b.w __real___aeabi_dsub\n"
    "2:\n"
    "  b.w fd_guarded_dsub\n"
    "  .size __wrap___aeabi_dsub, . - __wrap___aeabi_dsub\n"

    "  .global __wrap___aeabi_drsub\n"
    "  .type __wrap___aeabi_drsub, %function\n"
    "  .thumb_func\n"
    "__wrap___aeabi_drsub:\n"
    "  eors ip, r1, r3\n"
    "  bpl 1f\n"
    "  b.w __real___aeabi_drsub\n"
    "1:\n"
    "  FD_EXPONENT_GAP_TO_IP\n"
    "  bls 2f\n"
    "  b.w __real___aeabi_drsub\n"
    "2:\n"
    "  b.w fd_guarded_drsub\n"
    "  .size __wrap___aeabi_drsub, . - __wrap___aeabi_drsub\n"
    "  .purgem FD_EXPONENT_GAP_TO_IP\n");
