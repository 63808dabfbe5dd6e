// HAL interrupt-controller and system-timer services, over the core functions.
#include "stm32l4xx_hal.h"

#include "sim/board.h"

extern "C" {

void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup) {
    const sim::HalCall hal_call;
    NVIC_SetPriorityGrouping(PriorityGroup);
}

void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority) {
    const sim::HalCall hal_call;
    NVIC_SetPriority(IRQn,
                     NVIC_EncodePriority(NVIC_GetPriorityGrouping(), PreemptPriority, SubPriority));
}

void HAL_NVIC_EnableIRQ(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    NVIC_EnableIRQ(IRQn);
}
void HAL_NVIC_DisableIRQ(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    NVIC_DisableIRQ(IRQn);
}
void HAL_NVIC_SystemReset(void) {
    const sim::HalCall hal_call;
    NVIC_SystemReset();
}
uint32_t HAL_SYSTICK_Config(uint32_t TicksNumb) {
    const sim::HalCall hal_call;
    return SysTick_Config(TicksNumb);
}
uint32_t HAL_NVIC_GetPriorityGrouping(void) {
    const sim::HalCall hal_call;
    return NVIC_GetPriorityGrouping();
}

void HAL_NVIC_GetPriority(IRQn_Type IRQn, uint32_t PriorityGroup, uint32_t *pPreemptPriority,
                          uint32_t *pSubPriority) {
    const sim::HalCall hal_call;
    NVIC_DecodePriority(NVIC_GetPriority(IRQn), PriorityGroup, pPreemptPriority, pSubPriority);
}

uint32_t HAL_NVIC_GetPendingIRQ(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    return NVIC_GetPendingIRQ(IRQn);
}
void HAL_NVIC_SetPendingIRQ(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    NVIC_SetPendingIRQ(IRQn);
}
void HAL_NVIC_ClearPendingIRQ(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    NVIC_ClearPendingIRQ(IRQn);
}
uint32_t HAL_NVIC_GetActive(IRQn_Type IRQn) {
    const sim::HalCall hal_call;
    return NVIC_GetActive(IRQn);
}

void HAL_SYSTICK_CLKSourceConfig(uint32_t CLKSource) {
    const sim::HalCall hal_call;
    if (CLKSource == SYSTICK_CLKSOURCE_HCLK) {
        SysTick_regs.CTRL |= SYSTICK_CLKSOURCE_HCLK;
    } else {
        SysTick_regs.CTRL &= ~SYSTICK_CLKSOURCE_HCLK;
    }
}

void HAL_SYSTICK_IRQHandler(void) {
    const sim::HalCall hal_call;
    {
        const sim::FirmwareCode firmware;
        HAL_SYSTICK_Callback();
    }
}
__weak void HAL_SYSTICK_Callback(void) {}

}  // extern "C"
