// Where the instructions of a FallDetectorWork call go on the Cortex-M4F: the engine is linked
// with wrappers (ld --wrap) that count every software double-precision operation and heap
// allocation and time the elementary functions. The timing reads inflate the total, so the
// clean figures come from measure_main.cpp; this program explains them.
#include "InstructionClock.h"
#include "Semihost.h"
#include "TestSupport.h"
#include "fall_synth/Run.h"

#include <cstdlib>

enum Op { kDadd, kDsub, kDmul, kDdiv, kDcmp, kI2d, kF2d, kD2f, kD2iz, kOpCount };
extern "C" uint32_t g_opCounts[kOpCount];
uint32_t g_opCounts[kOpCount];

// Software floating-point helpers use the base (integer-register) calling convention even in a
// hard-float program, so their wrappers are written in assembly and leave r0-r3 untouched.
__asm__(
    ".syntax unified\n"
    ".macro COUNT name, idx\n"
    "  .global __wrap_\\name\n"
    "  .type __wrap_\\name, %function\n"
    "  .thumb_func\n"
    "__wrap_\\name:\n"
    "  push {r0, r1}\n"
    "  ldr r0, =g_opCounts + 4*\\idx\n"
    "  ldr r1, [r0]\n"
    "  adds r1, #1\n"
    "  str r1, [r0]\n"
    "  pop {r0, r1}\n"
    "  b.w __real_\\name\n"
    "  .ltorg\n"
    ".endm\n"
    ".text\n"
    ".thumb\n"
    "COUNT __aeabi_dadd, 0\n"
    "COUNT __aeabi_dsub, 1\n"
    "COUNT __aeabi_dmul, 2\n"
    "COUNT __aeabi_ddiv, 3\n"
    "COUNT __aeabi_dcmpeq, 4\n"
    "COUNT __aeabi_dcmplt, 4\n"
    "COUNT __aeabi_dcmple, 4\n"
    "COUNT __aeabi_dcmpgt, 4\n"
    "COUNT __aeabi_dcmpge, 4\n"
    "COUNT __aeabi_i2d, 5\n"
    "COUNT __aeabi_f2d, 6\n"
    "COUNT __aeabi_d2f, 7\n"
    "COUNT __aeabi_d2iz, 8\n");

namespace {

enum Fn { kSin, kCos, kExp, kAsin, kAsinf, kAtan2f, kSqrt, kFnCount };
const char *const kFnNames[kFnCount] = {"sin", "cos", "exp", "asin", "asinf", "atan2f", "sqrt"};
uint32_t g_fnCalls[kFnCount];
uint32_t g_fnTicks[kFnCount];
uint32_t g_mallocs;
int g_depth;  // time only the outermost wrapped function (asin may call sqrt, for example)

template <typename F>
auto timed(Fn fn, F f) {
    const bool outer = g_depth++ == 0;
    const uint32_t a = target::InstructionClock::now();
    auto r = f();
    const uint32_t b = target::InstructionClock::now();
    --g_depth;
    ++g_fnCalls[fn];
    if (outer)
        g_fnTicks[fn] += target::InstructionClock::elapsed(a, b);
    return r;
}

}  // namespace

extern "C" {
double __real__ZN6fdmath3sinEd(double);
double __real__ZN6fdmath3cosEd(double);
double __real__ZN6fdmath3expEd(double);
double __real__ZN6fdmath4asinEd(double);
float __real__ZN6fdmath5asinfEf(float);
float __real__ZN6fdmath6atan2fEff(float, float);
double __real_sqrt(double);
void *__real_malloc(std::size_t);
void *__real__Znaj(std::size_t);
void *__real__Znwj(std::size_t);

double __wrap__ZN6fdmath3sinEd(double x) {
    return timed(kSin, [&] { return __real__ZN6fdmath3sinEd(x); });
}
double __wrap__ZN6fdmath3cosEd(double x) {
    return timed(kCos, [&] { return __real__ZN6fdmath3cosEd(x); });
}
double __wrap__ZN6fdmath3expEd(double x) {
    return timed(kExp, [&] { return __real__ZN6fdmath3expEd(x); });
}
double __wrap__ZN6fdmath4asinEd(double x) {
    return timed(kAsin, [&] { return __real__ZN6fdmath4asinEd(x); });
}
float __wrap__ZN6fdmath5asinfEf(float x) {
    return timed(kAsinf, [&] { return __real__ZN6fdmath5asinfEf(x); });
}
float __wrap__ZN6fdmath6atan2fEff(float y, float x) {
    return timed(kAtan2f, [&] { return __real__ZN6fdmath6atan2fEff(y, x); });
}
double __wrap_sqrt(double x) {
    return timed(kSqrt, [&] { return __real_sqrt(x); });
}
void *__wrap_malloc(std::size_t n) {
    ++g_mallocs;
    return __real_malloc(n);
}
}

namespace {

constexpr uint32_t kMaxSamples = 4096;
FALL_DETECTOR_SENSOR_DATA g_samples[kMaxSamples];
FALL_DETECTOR g_detector;
FALL_DETECTOR_CFG g_cfg;

void clearCounters() {
    for (uint32_t &c : g_opCounts) c = 0;
    for (int i = 0; i < kFnCount; ++i) g_fnCalls[i] = g_fnTicks[i] = 0;
    g_mallocs = 0;
}

}  // namespace

int main() {
    target::InstructionClock clock;
    FallDetectorSetDefaultConfig(&g_cfg);
    uint64_t calls = 0, totalTicks = 0;
    uint64_t ops[kOpCount] = {}, fnCalls[kFnCount] = {}, fnTicks[kFnCount] = {}, mallocs = 0;
    for (std::size_t k = 0; k < fall_synth::streamCount(); ++k) {
        const fall_synth::StreamDef &def = fall_synth::stream(k);
        fall_synth::Generator gen(def);
        fall_synth::Sample s;
        uint32_t n = 0;
        while (n < kMaxSamples && gen.next(s)) g_samples[n++] = fall_synth::toEngine(s);
        FallDetectorSet(&g_detector, &g_cfg);
        clearCounters();
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t a = clock.now();
            FallDetectorWork(&g_detector, &g_samples[i]);
            totalTicks += clock.elapsed(a, clock.now());
        }
        calls += n;
        for (int i = 0; i < kOpCount; ++i) ops[i] += g_opCounts[i];
        for (int i = 0; i < kFnCount; ++i) {
            fnCalls[i] += g_fnCalls[i];
            // Each timed call carries one measurement overhead.
            fnTicks[i] += g_fnTicks[i];
        }
        mallocs += g_mallocs;
    }
    const int64_t perTick = clock.instructionsPerTick();
    target::printLine("per FallDetectorWork call, averaged over every synthetic stream:");
    target::printField("  instructions with profiling wrappers: ",
                       int64_t(totalTicks) * perTick / int64_t(calls));
    target::print("\n");
    static const char *const kOpNames[kOpCount] = {"dadd", "dsub", "dmul", "ddiv", "dcmp",
                                                   "i2d",  "f2d",  "d2f",  "d2iz"};
    target::print("  software double operations (calls x100 per work call):");
    for (int i = 0; i < kOpCount; ++i) {
        target::print(" ");
        target::print(kOpNames[i]);
        target::printField("=", int64_t(ops[i] * 100 / calls));
    }
    target::print("\n");
    for (int i = 0; i < kFnCount; ++i) {
        target::print("  ");
        target::print(kFnNames[i]);
        target::printField(": calls x100 per work call ", int64_t(fnCalls[i] * 100 / calls));
        target::printField(", instructions per work call (outermost only) ",
                           int64_t(fnTicks[i]) * perTick / int64_t(calls));
        target::print("\n");
    }
    target::printField("  heap allocations (malloc) per work call x100: ",
                       int64_t(mallocs * 100 / calls));
    target::print("\n");
    target::exitWith(0);
}
