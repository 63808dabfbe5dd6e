/* Host backend: the core intrinsics and the NVIC/SysTick access functions are
 * ordinary functions that the simulator defines, because on the host they change
 * simulated state (interrupt mask, pending and enabled lines, virtual time).
 * Included by stm32l431xx.h through the include path; the host build puts
 * Platform/hal/host on it, the target build Platform/stm32l431/include. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Instructions. __WFI advances virtual time to the next event, __NOP by one core
 * clock; the barriers only order the simulator's own bookkeeping. */
void __WFI(void);
void __WFE(void);
void __SEV(void);
void __NOP(void);
void __DSB(void);
void __ISB(void);
void __DMB(void);
void __BKPT(uint32_t value);

/* Bit instructions: pure arithmetic, the same result as the instruction (CLZ of 0 is
 * 32). Used by POSITION_VAL. */
static inline uint32_t __RBIT(uint32_t value) {
  uint32_t result = 0U;
  for (uint32_t bit = 0U; bit < 32U; ++bit) {
    result |= ((value >> bit) & 1U) << (31U - bit);
  }
  return result;
}
static inline uint8_t __CLZ(uint32_t value) {
  return (value == 0U) ? 32U : (uint8_t)__builtin_clz(value);
}

/* Core registers. PRIMASK masks every configurable interrupt and SysTick. */
void __disable_irq(void);
void __enable_irq(void);
uint32_t __get_PRIMASK(void);
void __set_PRIMASK(uint32_t priMask);
uint32_t __get_BASEPRI(void);
void __set_BASEPRI(uint32_t basePri);
void __disable_fault_irq(void);
void __enable_fault_irq(void);
uint32_t __get_IPSR(void);

/* NVIC and SysTick. Same contracts as the CMSIS core functions of the same names. */
void NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
uint32_t NVIC_GetPriorityGrouping(void);
void NVIC_EnableIRQ(IRQn_Type IRQn);
uint32_t NVIC_GetEnableIRQ(IRQn_Type IRQn);
void NVIC_DisableIRQ(IRQn_Type IRQn);
uint32_t NVIC_GetPendingIRQ(IRQn_Type IRQn);
void NVIC_SetPendingIRQ(IRQn_Type IRQn);
void NVIC_ClearPendingIRQ(IRQn_Type IRQn);
uint32_t NVIC_GetActive(IRQn_Type IRQn);
void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority);
uint32_t NVIC_GetPriority(IRQn_Type IRQn);
/* Ends the simulated power cycle; never returns. */
__NO_RETURN void NVIC_SystemReset(void);
uint32_t SysTick_Config(uint32_t ticks);

#ifdef __cplusplus
}
#endif

