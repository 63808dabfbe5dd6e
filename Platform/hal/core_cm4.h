/* Cortex-M4 core peripherals: the subset of the CMSIS core header this firmware
 * uses. Register blocks keep the core's real layout; the instances (SysTick, NVIC,
 * SCB) are declared with the device's other peripherals, and the intrinsics and the
 * NVIC/SysTick access functions come from host/seam_intrinsics.h.
 * The device header must define IRQn_Type and __NVIC_PRIO_BITS before including
 * this file. */
#ifndef __CORE_CM4_H_GENERIC
#define __CORE_CM4_H_GENERIC

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define __CM4_CMSIS_VERSION_MAIN 5U
#define __CM4_CMSIS_VERSION_SUB  3U
#define __CORTEX_M               4U

/* Access qualifiers, as the CMSIS core header has them: in C++ __I is plain
 * volatile, __IM (read-only structure members) is const everywhere; the simulator
 * writes the read-only registers it models through a cast. */
#ifdef __cplusplus
#define __I  volatile
#else
#define __I  volatile const
#endif
#define __IM volatile const
#define __O  volatile
#define __IO volatile
#define __OM volatile
#define __IOM volatile

#ifndef __STATIC_INLINE
#define __STATIC_INLINE static inline
#endif
#ifndef __STATIC_FORCEINLINE
#define __STATIC_FORCEINLINE __attribute__((always_inline)) static inline
#endif
#ifndef __NO_RETURN
#define __NO_RETURN __attribute__((__noreturn__))
#endif
#ifndef __ALIGNED
#define __ALIGNED(x) __attribute__((aligned(x)))
#endif
#ifndef __PACKED
#define __PACKED __attribute__((packed, aligned(1)))
#endif
#ifndef __USED
#define __USED __attribute__((used))
#endif
#ifndef __WEAK
#define __WEAK __attribute__((weak))
#endif

/* System timer, 0xE000E010. */
typedef struct {
  __IOM uint32_t CTRL;
  __IOM uint32_t LOAD;
  __IOM uint32_t VAL;
  __IM uint32_t CALIB;
} SysTick_Type;

/* Nested vectored interrupt controller, 0xE000E100. */
typedef struct {
  __IOM uint32_t ISER[8U];
  uint32_t RESERVED0[24U];
  __IOM uint32_t ICER[8U];
  uint32_t RESERVED1[24U];
  __IOM uint32_t ISPR[8U];
  uint32_t RESERVED2[24U];
  __IOM uint32_t ICPR[8U];
  uint32_t RESERVED3[24U];
  __IOM uint32_t IABR[8U];
  uint32_t RESERVED4[56U];
  __IOM uint8_t IP[240U];
  uint32_t RESERVED5[644U];
  __OM uint32_t STIR;
} NVIC_Type;

/* System control block, 0xE000ED00. */
typedef struct {
  __IM uint32_t CPUID;
  __IOM uint32_t ICSR;
  __IOM uint32_t VTOR;
  __IOM uint32_t AIRCR;
  __IOM uint32_t SCR;
  __IOM uint32_t CCR;
  __IOM uint8_t SHP[12U];
  __IOM uint32_t SHCSR;
  __IOM uint32_t CFSR;
  __IOM uint32_t HFSR;
  __IOM uint32_t DFSR;
  __IOM uint32_t MMFAR;
  __IOM uint32_t BFAR;
  __IOM uint32_t AFSR;
  __IM uint32_t PFR[2U];
  __IM uint32_t DFR;
  __IM uint32_t ADR;
  __IM uint32_t MMFR[4U];
  __IM uint32_t ISAR[5U];
  uint32_t RESERVED0[5U];
  __IOM uint32_t CPACR;
} SCB_Type;

#define SCS_BASE     (0xE000E000UL)
#define SysTick_BASE (SCS_BASE + 0x0010UL)
#define NVIC_BASE    (SCS_BASE + 0x0100UL)
#define SCB_BASE     (SCS_BASE + 0x0D00UL)

#define SysTick_CTRL_ENABLE_Pos    0U
#define SysTick_CTRL_ENABLE_Msk    (1U << SysTick_CTRL_ENABLE_Pos)
#define SysTick_CTRL_TICKINT_Pos   1U
#define SysTick_CTRL_TICKINT_Msk   (1U << SysTick_CTRL_TICKINT_Pos)
#define SysTick_CTRL_CLKSOURCE_Pos 2U
#define SysTick_CTRL_CLKSOURCE_Msk (1U << SysTick_CTRL_CLKSOURCE_Pos)
#define SysTick_CTRL_COUNTFLAG_Pos 16U
#define SysTick_CTRL_COUNTFLAG_Msk (1U << SysTick_CTRL_COUNTFLAG_Pos)
#define SysTick_LOAD_RELOAD_Pos    0U
#define SysTick_LOAD_RELOAD_Msk    (0xFFFFFFU << SysTick_LOAD_RELOAD_Pos)
#define SysTick_VAL_CURRENT_Msk    (0xFFFFFFU)

#define SCB_ICSR_NMIPENDSET_Pos   31U
#define SCB_ICSR_NMIPENDSET_Msk   (1UL << SCB_ICSR_NMIPENDSET_Pos)
#define SCB_ICSR_PENDSVSET_Pos    28U
#define SCB_ICSR_PENDSVSET_Msk    (1UL << SCB_ICSR_PENDSVSET_Pos)
#define SCB_ICSR_PENDSVCLR_Pos    27U
#define SCB_ICSR_PENDSVCLR_Msk    (1UL << SCB_ICSR_PENDSVCLR_Pos)
#define SCB_ICSR_PENDSTSET_Pos    26U
#define SCB_ICSR_PENDSTSET_Msk    (1U << SCB_ICSR_PENDSTSET_Pos)
#define SCB_ICSR_PENDSTCLR_Pos    25U
#define SCB_ICSR_PENDSTCLR_Msk    (1UL << SCB_ICSR_PENDSTCLR_Pos)
#define SCB_ICSR_VECTACTIVE_Msk   (0x1FFU)
#define SCB_AIRCR_VECTKEY_Pos     16U
#define SCB_AIRCR_VECTKEY_Msk     (0xFFFFU << SCB_AIRCR_VECTKEY_Pos)
#define SCB_AIRCR_PRIGROUP_Pos    8U
#define SCB_AIRCR_PRIGROUP_Msk    (7U << SCB_AIRCR_PRIGROUP_Pos)
#define SCB_AIRCR_SYSRESETREQ_Pos 2U
#define SCB_AIRCR_SYSRESETREQ_Msk (1U << SCB_AIRCR_SYSRESETREQ_Pos)
#define SCB_AIRCR_VECTCLRACTIVE_Pos 1U
#define SCB_AIRCR_VECTCLRACTIVE_Msk (1UL << SCB_AIRCR_VECTCLRACTIVE_Pos)
#define SCB_AIRCR_VECTRESET_Pos   0U
#define SCB_AIRCR_VECTRESET_Msk   (1UL /*<< SCB_AIRCR_VECTRESET_Pos*/)
#define SCB_SCR_SLEEPONEXIT_Pos   1U
#define SCB_SCR_SLEEPONEXIT_Msk   (1U << SCB_SCR_SLEEPONEXIT_Pos)
#define SCB_SCR_SLEEPDEEP_Pos     2U
#define SCB_SCR_SLEEPDEEP_Msk     (1U << SCB_SCR_SLEEPDEEP_Pos)
#define SCB_SCR_SEVONPEND_Pos     4U
#define SCB_SCR_SEVONPEND_Msk     (1U << SCB_SCR_SEVONPEND_Pos)
#define SCB_SHCSR_USGFAULTENA_Msk (1U << 18U)
#define SCB_SHCSR_BUSFAULTENA_Msk (1U << 17U)
#define SCB_SHCSR_MEMFAULTENA_Msk (1U << 16U)

/* Pure priority arithmetic, as the CMSIS core header has it. */
__STATIC_INLINE uint32_t NVIC_EncodePriority(uint32_t PriorityGroup, uint32_t PreemptPriority,
                                             uint32_t SubPriority) {
  uint32_t PriorityGroupTmp = (PriorityGroup & 7UL);
  uint32_t PreemptPriorityBits =
      ((7UL - PriorityGroupTmp) > (uint32_t)(__NVIC_PRIO_BITS)) ? (uint32_t)(__NVIC_PRIO_BITS)
                                                                : (uint32_t)(7UL - PriorityGroupTmp);
  uint32_t SubPriorityBits = ((PriorityGroupTmp + (uint32_t)(__NVIC_PRIO_BITS)) < 7UL)
                                 ? (uint32_t)0UL
                                 : (uint32_t)((PriorityGroupTmp - 7UL) + (uint32_t)(__NVIC_PRIO_BITS));
  return (((PreemptPriority & (uint32_t)((1UL << (PreemptPriorityBits)) - 1UL)) << SubPriorityBits) |
          ((SubPriority & (uint32_t)((1UL << (SubPriorityBits)) - 1UL))));
}

__STATIC_INLINE void NVIC_DecodePriority(uint32_t Priority, uint32_t PriorityGroup,
                                         uint32_t* const pPreemptPriority,
                                         uint32_t* const pSubPriority) {
  uint32_t PriorityGroupTmp = (PriorityGroup & 7UL);
  uint32_t PreemptPriorityBits =
      ((7UL - PriorityGroupTmp) > (uint32_t)(__NVIC_PRIO_BITS)) ? (uint32_t)(__NVIC_PRIO_BITS)
                                                                : (uint32_t)(7UL - PriorityGroupTmp);
  uint32_t SubPriorityBits = ((PriorityGroupTmp + (uint32_t)(__NVIC_PRIO_BITS)) < 7UL)
                                 ? (uint32_t)0UL
                                 : (uint32_t)((PriorityGroupTmp - 7UL) + (uint32_t)(__NVIC_PRIO_BITS));
  *pPreemptPriority = (Priority >> SubPriorityBits) & (uint32_t)((1UL << (PreemptPriorityBits)) - 1UL);
  *pSubPriority = (Priority) & (uint32_t)((1UL << (SubPriorityBits)) - 1UL);
}

#ifdef __cplusplus
}
#endif

#endif /* __CORE_CM4_H_GENERIC */
