// Instructions per FallDetectorWork call on the Cortex-M4F, over every synthetic stream.
// Run only under `qemu-system-arm -icount shift=0` (see measure_instructions.sh); without it the
// clock follows the host's time and the numbers mean nothing.
#include "InstructionClock.h"
#include "Semihost.h"
#include "TestSupport.h"
#include "fall_synth/Run.h"

namespace {

constexpr uint32_t kMaxSamples = 4096;
FALL_DETECTOR_SENSOR_DATA g_samples[kMaxSamples];
FALL_DETECTOR g_detector;
FALL_DETECTOR_CFG g_cfg;

// Average instructions of one software double operation over varied operands, loop and
// operand loads removed by timing the same loop without the operation.
volatile double g_a[64], g_b[64], g_r;

template <typename Op>
int64_t opCost(const target::InstructionClock &clock, Op op) {
    constexpr int kRounds = 16;
    uint32_t a = clock.now();
    for (int r = 0; r < kRounds; ++r) {
        for (int i = 0; i < 64; ++i) g_r = op(g_a[i], g_b[i]);
    }
    uint32_t b = clock.now();
    const int64_t withOp = clock.instructions(clock.elapsed(a, b));
    a = clock.now();
    for (int r = 0; r < kRounds; ++r) {
        for (int i = 0; i < 64; ++i) {
            const double x = g_a[i];
            const double y = g_b[i];
            g_r = x;
            (void)y;
        }
    }
    b = clock.now();
    const int64_t without = clock.instructions(clock.elapsed(a, b));
    return (withOp - without) / (kRounds * 64);
}

void printOpCosts(const target::InstructionClock &clock) {
    uint32_t st = 12345;
    for (int i = 0; i < 64; ++i) {
        st = st * 1103515245u + 12345u;
        g_a[i] = 0.5 + (st >> 8) * (1.0 / 16777216.0);
        st = st * 1103515245u + 12345u;
        g_b[i] = -0.7 + (st >> 8) * (1.4 / 16777216.0);
    }
    target::print("software double operation costs (instructions):");
    target::printField(" add ", opCost(clock, [](double x, double y) { return x + y; }));
    target::printField(" sub ", opCost(clock, [](double x, double y) { return x - y; }));
    target::printField(" mul ", opCost(clock, [](double x, double y) { return x * y; }));
    target::printField(" div ", opCost(clock, [](double x, double y) { return x / y; }));
    target::printField(" sqrt ", opCost(clock, [](double x, double) { return __builtin_sqrt(x); }));
    target::print("\n");
}

}  // namespace

int main() {
    target::InstructionClock clock;
    target::printField("instructions per SysTick count: ", clock.instructionsPerTick());
    target::printField("  measurement overhead (counts): ", clock.overheadTicks());
    target::print("\n");
    if (clock.instructionsPerTick() == 0)
        target::fail("SysTick does not advance");
    // Check the calibration on a loop of known length.
    {
        const uint32_t a = clock.now();
        target::spin(10000);
        const uint32_t b = clock.now();
        target::printField("check: a 20000-instruction loop measures ",
                           clock.instructions(clock.elapsed(a, b)));
        target::print("\n");
    }

    printOpCosts(clock);

    // The attitude settles during the first second (large corrections, larger angles for the
    // elementary functions); the steady state is reported apart.
    constexpr uint32_t kSettled = 60;
    int64_t worstSettled = 0;
    int64_t total = 0, calls = 0, worst = 0;
    const char *worstStream = "";
    uint32_t worstIndex = 0;
    FallDetectorSetDefaultConfig(&g_cfg);
    for (std::size_t k = 0; k < fall_synth::streamCount(); ++k) {
        const fall_synth::StreamDef &def = fall_synth::stream(k);
        fall_synth::Generator gen(def);
        fall_synth::Sample s;
        uint32_t n = 0;
        while (n < kMaxSamples && gen.next(s)) g_samples[n++] = fall_synth::toEngine(s);
        FallDetectorSet(&g_detector, &g_cfg);
        int64_t sTotal = 0, sWorst = 0;
        uint32_t sWorstIndex = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t a = clock.now();
            FallDetectorWork(&g_detector, &g_samples[i]);
            const uint32_t b = clock.now();
            const int64_t ins = clock.instructions(clock.elapsed(a, b));
            sTotal += ins;
            if (i >= kSettled && ins > worstSettled)
                worstSettled = ins;
            if (ins > sWorst) {
                sWorst = ins;
                sWorstIndex = i;
            }
        }
        target::print(def.name);
        target::printField(": samples ", n);
        target::printField("  mean ", sTotal / n);
        target::printField("  worst ", sWorst);
        target::printField(" (sample ", sWorstIndex);
        target::print(")\n");
        total += sTotal;
        calls += n;
        if (sWorst > worst) {
            worst = sWorst;
            worstStream = def.name;
            worstIndex = sWorstIndex;
        }
    }
    target::printField("ALL: calls ", calls);
    target::printField("  mean ", total / calls);
    target::printField("  worst ", worst);
    target::print(" (");
    target::print(worstStream);
    target::printField(" sample ", worstIndex);
    target::printField(")  resolution +-", clock.instructionsPerTick());
    target::print(" instructions\n");
    target::printField("ALL after the first ", kSettled);
    target::printField(" samples of each stream: worst ", worstSettled);
    target::print("\n");
    target::exitWith(0);
}
