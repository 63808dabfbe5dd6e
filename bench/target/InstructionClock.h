#pragma once
// Instruction counting on QEMU's Cortex-M4F with -icount shift=0: the virtual clock advances
// exactly 1 ns per executed instruction, and SysTick counts the 25 MHz processor clock of the
// mps2-an386 against that virtual clock. One SysTick count is therefore a fixed number of
// instructions (calibrated at run time, 40 expected), which is the resolution of a single
// measurement. Reads of SysTick are device accesses, so QEMU accounts every instruction
// before them exactly.
#include <cstdint>

namespace target {

class InstructionClock {
public:
    InstructionClock();
    // 24-bit down counter; elapsed() handles one wrap.
    static uint32_t now() { return *reinterpret_cast<volatile uint32_t *>(0xE000E018u); }
    static uint32_t elapsed(uint32_t start, uint32_t end) { return (start - end) & 0xFFFFFFu; }

    // Instructions per SysTick count, from a loop of known length.
    uint32_t instructionsPerTick() const { return perTick_; }
    // Ticks counted by an empty measurement (two reads back to back).
    uint32_t overheadTicks() const { return overhead_; }
    // Instructions between two reads, measurement overhead removed.
    int64_t instructions(uint32_t ticks) const {
        return (static_cast<int64_t>(ticks) - overhead_) * perTick_;
    }

private:
    uint32_t perTick_;
    uint32_t overhead_;
};

// Executes exactly 2 * n instructions (plus the call).
void spin(uint32_t n);

}  // namespace target
