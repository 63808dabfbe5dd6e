// The core's instructions and the NVIC/SysTick access functions on the simulated
// board. On the chip these are single instructions or register accesses; here they
// change the simulated core's state and, for WFI and NOP, let virtual time pass.
#include "stm32l4xx.h"

#include "sim/board.h"
#include "sim/peripherals.h"
#include "sim/systick.h"

using sim::board;

extern "C" {

void __WFI(void) {
    board().firmware_entry();
    if (SCB_regs.SCR & SCB_SCR_SLEEPDEEP_Msk)
        sim::enter_deep_sleep();
    board().wait_for_interrupt();
}
// Events are not modelled apart from interrupts: WFE waits like WFI.
void __WFE(void) {
    __WFI();
}
void __SEV(void) {}
void __NOP(void) {
    board().firmware_ran();
    board().core_cycle();
}
// The barriers make register writes before them take effect, as on the core
// (the PendSV idiom: set PENDSVSET, then __DSB and __ISB).
void __DSB(void) {
    board().firmware_entry();
    board().take_interrupts();
}
void __ISB(void) {
    board().firmware_entry();
    board().take_interrupts();
}
void __DMB(void) {
    board().firmware_entry();
}
void __BKPT(uint32_t value) {
    board().halt("breakpoint instruction (BKPT " + std::to_string(value) +
                 ") with no debugger attached");
}

void __disable_irq(void) {
    board().nvic().set_primask(true);
}
void __enable_irq(void) {
    board().nvic().set_primask(false);
    board().unmasked();
}
uint32_t __get_PRIMASK(void) {
    return board().nvic().primask() ? 1u : 0u;
}
void __set_PRIMASK(uint32_t priMask) {
    if (priMask & 1u) {
        __disable_irq();
    } else {
        __enable_irq();
    }
}
uint32_t __get_BASEPRI(void) {
    return board().nvic().basepri();
}
void __set_BASEPRI(uint32_t basePri) {
    board().nvic().set_basepri(static_cast<uint8_t>(basePri));
    board().take_interrupts();
}
// FAULTMASK: faults are not modelled, so it masks what PRIMASK masks.
void __disable_fault_irq(void) {
    __disable_irq();
}
void __enable_fault_irq(void) {
    __enable_irq();
}
uint32_t __get_IPSR(void) {
    sim::Nvic &n = board().nvic();
    return n.depth() == 0 ? 0u : static_cast<uint32_t>(n.active_at(n.depth() - 1) + 16);
}

void NVIC_SetPriorityGrouping(uint32_t PriorityGroup) {
    board().nvic().set_priority_grouping(PriorityGroup & 7u);
    SCB_regs.AIRCR = (SCB_regs.AIRCR & ~SCB_AIRCR_PRIGROUP_Msk) |
                     ((PriorityGroup & 7u) << SCB_AIRCR_PRIGROUP_Pos);
}
uint32_t NVIC_GetPriorityGrouping(void) {
    return board().nvic().priority_grouping();
}

static bool device_irq(IRQn_Type IRQn) {
    return static_cast<int>(IRQn) >= 0 && sim::Nvic::valid(IRQn);
}

void NVIC_EnableIRQ(IRQn_Type IRQn) {
    if (!device_irq(IRQn))
        return;
    board().nvic().enable(IRQn);
    board().take_interrupts();
}
uint32_t NVIC_GetEnableIRQ(IRQn_Type IRQn) {
    return device_irq(IRQn) && board().nvic().enabled(IRQn) ? 1u : 0u;
}
void NVIC_DisableIRQ(IRQn_Type IRQn) {
    if (device_irq(IRQn))
        board().nvic().disable(IRQn);
}
uint32_t NVIC_GetPendingIRQ(IRQn_Type IRQn) {
    return device_irq(IRQn) && board().nvic().pending(IRQn) ? 1u : 0u;
}
void NVIC_SetPendingIRQ(IRQn_Type IRQn) {
    if (!device_irq(IRQn))
        return;
    board().nvic().set_pending(IRQn);
    board().take_interrupts();
}
void NVIC_ClearPendingIRQ(IRQn_Type IRQn) {
    if (device_irq(IRQn))
        board().nvic().clear_pending(IRQn);
}
uint32_t NVIC_GetActive(IRQn_Type IRQn) {
    return sim::Nvic::valid(IRQn) && board().nvic().active(IRQn) ? 1u : 0u;
}

// `priority` is the implemented-bits value (0..15), as in CMSIS.
void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority) {
    if (!sim::Nvic::valid(IRQn))
        return;
    const uint8_t reg = static_cast<uint8_t>((priority << (8u - __NVIC_PRIO_BITS)) & 0xFFu);
    board().nvic().set_priority_register(IRQn, reg);
    if (static_cast<int>(IRQn) >= 0) {
        NVIC_regs.IP[static_cast<uint32_t>(IRQn)] = reg;
    } else {
        SCB_regs.SHP[(static_cast<uint32_t>(IRQn) & 0xFu) - 4u] = reg;
    }
    board().take_interrupts();
}
uint32_t NVIC_GetPriority(IRQn_Type IRQn) {
    if (!sim::Nvic::valid(IRQn))
        return 0;
    return static_cast<uint32_t>(board().nvic().priority_register(IRQn)) >> (8u - __NVIC_PRIO_BITS);
}

void NVIC_SystemReset(void) {
    board().end_run(sim::Ending::Reset, "the firmware requested a system reset");
}

// As CMSIS: reload, lowest priority for SysTick, counter cleared, processor clock,
// interrupt and counter on. 1 when the reload does not fit 24 bits.
uint32_t SysTick_Config(uint32_t ticks) {
    if ((ticks - 1u) > SysTick_LOAD_RELOAD_Msk)
        return 1u;
    SysTick_regs.LOAD = ticks - 1u;
    NVIC_SetPriority(SysTick_IRQn, (1u << __NVIC_PRIO_BITS) - 1u);
    SysTick_regs.VAL = 0;
    SysTick_regs.CTRL =
        SysTick_CTRL_CLKSOURCE_Msk | SysTick_CTRL_TICKINT_Msk | SysTick_CTRL_ENABLE_Msk;
    sim::systick_sync(board());
    return 0;
}

}  // extern "C"
