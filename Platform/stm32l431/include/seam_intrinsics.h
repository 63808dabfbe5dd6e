/* Target backend: the core intrinsics as single instructions and the NVIC/SysTick
 * access functions as register accesses on the core peripherals, as the CMSIS core
 * header gives them. Included by stm32l431xx.h through the include path. */
#ifndef SEAM_INTRINSICS_H
#define SEAM_INTRINSICS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define __COMPILER_BARRIER() __asm volatile("" ::: "memory")

__STATIC_FORCEINLINE void __WFI(void) { __asm volatile("wfi" ::: "memory"); }
__STATIC_FORCEINLINE void __WFE(void) { __asm volatile("wfe" ::: "memory"); }
__STATIC_FORCEINLINE void __SEV(void) { __asm volatile("sev"); }
__STATIC_FORCEINLINE void __NOP(void) { __asm volatile("nop"); }
__STATIC_FORCEINLINE void __ISB(void) { __asm volatile("isb 0xF" ::: "memory"); }
__STATIC_FORCEINLINE void __DSB(void) { __asm volatile("dsb 0xF" ::: "memory"); }
__STATIC_FORCEINLINE void __DMB(void) { __asm volatile("dmb 0xF" ::: "memory"); }
#define __BKPT(value) __asm volatile("bkpt " #value)

__STATIC_FORCEINLINE void __enable_irq(void) { __asm volatile("cpsie i" ::: "memory"); }
__STATIC_FORCEINLINE void __disable_irq(void) { __asm volatile("cpsid i" ::: "memory"); }
__STATIC_FORCEINLINE void __enable_fault_irq(void) { __asm volatile("cpsie f" ::: "memory"); }
__STATIC_FORCEINLINE void __disable_fault_irq(void) { __asm volatile("cpsid f" ::: "memory"); }

__STATIC_FORCEINLINE uint32_t __get_PRIMASK(void) {
  uint32_t result;
  __asm volatile("MRS %0, primask" : "=r"(result)::"memory");
  return result;
}
__STATIC_FORCEINLINE void __set_PRIMASK(uint32_t priMask) {
  __asm volatile("MSR primask, %0" : : "r"(priMask) : "memory");
}
__STATIC_FORCEINLINE uint32_t __get_BASEPRI(void) {
  uint32_t result;
  __asm volatile("MRS %0, basepri" : "=r"(result));
  return result;
}
__STATIC_FORCEINLINE void __set_BASEPRI(uint32_t basePri) {
  __asm volatile("MSR basepri, %0" : : "r"(basePri) : "memory");
}
__STATIC_FORCEINLINE uint32_t __get_IPSR(void) {
  uint32_t result;
  __asm volatile("MRS %0, ipsr" : "=r"(result));
  return result;
}

__STATIC_INLINE void NVIC_SetPriorityGrouping(uint32_t PriorityGroup) {
  uint32_t reg_value;
  uint32_t PriorityGroupTmp = (PriorityGroup & (uint32_t)0x07UL);
  reg_value = SCB->AIRCR;
  reg_value &= ~((uint32_t)(SCB_AIRCR_VECTKEY_Msk | SCB_AIRCR_PRIGROUP_Msk));
  reg_value = (reg_value | ((uint32_t)0x5FAUL << SCB_AIRCR_VECTKEY_Pos) |
               (PriorityGroupTmp << SCB_AIRCR_PRIGROUP_Pos));
  SCB->AIRCR = reg_value;
}

__STATIC_INLINE uint32_t NVIC_GetPriorityGrouping(void) {
  return ((uint32_t)((SCB->AIRCR & SCB_AIRCR_PRIGROUP_Msk) >> SCB_AIRCR_PRIGROUP_Pos));
}

__STATIC_INLINE void NVIC_EnableIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    __COMPILER_BARRIER();
    NVIC->ISER[(((uint32_t)IRQn) >> 5UL)] = (uint32_t)(1UL << (((uint32_t)IRQn) & 0x1FUL));
    __COMPILER_BARRIER();
  }
}

__STATIC_INLINE uint32_t NVIC_GetEnableIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    return ((uint32_t)(((NVIC->ISER[(((uint32_t)IRQn) >> 5UL)] &
                         (1UL << (((uint32_t)IRQn) & 0x1FUL))) != 0UL)
                           ? 1UL
                           : 0UL));
  }
  return 0U;
}

__STATIC_INLINE void NVIC_DisableIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    NVIC->ICER[(((uint32_t)IRQn) >> 5UL)] = (uint32_t)(1UL << (((uint32_t)IRQn) & 0x1FUL));
    __DSB();
    __ISB();
  }
}

__STATIC_INLINE uint32_t NVIC_GetPendingIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    return ((uint32_t)(((NVIC->ISPR[(((uint32_t)IRQn) >> 5UL)] &
                         (1UL << (((uint32_t)IRQn) & 0x1FUL))) != 0UL)
                           ? 1UL
                           : 0UL));
  }
  return 0U;
}

__STATIC_INLINE void NVIC_SetPendingIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    NVIC->ISPR[(((uint32_t)IRQn) >> 5UL)] = (uint32_t)(1UL << (((uint32_t)IRQn) & 0x1FUL));
  }
}

__STATIC_INLINE void NVIC_ClearPendingIRQ(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    NVIC->ICPR[(((uint32_t)IRQn) >> 5UL)] = (uint32_t)(1UL << (((uint32_t)IRQn) & 0x1FUL));
  }
}

__STATIC_INLINE uint32_t NVIC_GetActive(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    return ((uint32_t)(((NVIC->IABR[(((uint32_t)IRQn) >> 5UL)] &
                         (1UL << (((uint32_t)IRQn) & 0x1FUL))) != 0UL)
                           ? 1UL
                           : 0UL));
  }
  return 0U;
}

__STATIC_INLINE void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority) {
  if ((int32_t)(IRQn) >= 0) {
    NVIC->IP[((uint32_t)IRQn)] = (uint8_t)((priority << (8U - __NVIC_PRIO_BITS)) & (uint32_t)0xFFUL);
  } else {
    SCB->SHP[(((uint32_t)IRQn) & 0xFUL) - 4UL] =
        (uint8_t)((priority << (8U - __NVIC_PRIO_BITS)) & (uint32_t)0xFFUL);
  }
}

__STATIC_INLINE uint32_t NVIC_GetPriority(IRQn_Type IRQn) {
  if ((int32_t)(IRQn) >= 0) {
    return (((uint32_t)NVIC->IP[((uint32_t)IRQn)] >> (8U - __NVIC_PRIO_BITS)));
  }
  return (((uint32_t)SCB->SHP[(((uint32_t)IRQn) & 0xFUL) - 4UL] >> (8U - __NVIC_PRIO_BITS)));
}

__NO_RETURN __STATIC_INLINE void NVIC_SystemReset(void) {
  __DSB();
  SCB->AIRCR = (uint32_t)((0x5FAUL << SCB_AIRCR_VECTKEY_Pos) | (SCB->AIRCR & SCB_AIRCR_PRIGROUP_Msk) |
                          SCB_AIRCR_SYSRESETREQ_Msk);
  __DSB();
  for (;;) {
    __NOP();
  }
}

__STATIC_INLINE uint32_t SysTick_Config(uint32_t ticks) {
  if ((ticks - 1UL) > SysTick_LOAD_RELOAD_Msk) {
    return (1UL);
  }
  SysTick->LOAD = (uint32_t)(ticks - 1UL);
  NVIC_SetPriority(SysTick_IRQn, (1UL << __NVIC_PRIO_BITS) - 1UL);
  SysTick->VAL = 0UL;
  SysTick->CTRL = SysTick_CTRL_CLKSOURCE_Msk | SysTick_CTRL_TICKINT_Msk | SysTick_CTRL_ENABLE_Msk;
  return (0UL);
}

#ifdef __cplusplus
}
#endif

#endif /* SEAM_INTRINSICS_H */
