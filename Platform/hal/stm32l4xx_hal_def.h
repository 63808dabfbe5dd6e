/* Common HAL definitions: status and lock types, handle lock macros, attributes. */
#ifndef STM32L4xx_HAL_DEF_H
#define STM32L4xx_HAL_DEF_H

#include <stddef.h>
#include <stdint.h>

#include "stm32l4xx.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  HAL_OK = 0x00,
  HAL_ERROR = 0x01,
  HAL_BUSY = 0x02,
  HAL_TIMEOUT = 0x03
} HAL_StatusTypeDef;

typedef enum {
  HAL_UNLOCKED = 0x00,
  HAL_LOCKED = 0x01
} HAL_LockTypeDef;

#define HAL_MAX_DELAY 0xFFFFFFFFU

#define HAL_IS_BIT_SET(REG, BIT) (((REG) & (BIT)) == (BIT))
#define HAL_IS_BIT_CLR(REG, BIT) (((REG) & (BIT)) == 0U)

/* Links a peripheral handle and its DMA handle both ways. */
#define __HAL_LINKDMA(__HANDLE__, __PPP_DMA_FIELD__, __DMA_HANDLE__) \
  do {                                                               \
    (__HANDLE__)->__PPP_DMA_FIELD__ = &(__DMA_HANDLE__);             \
    (__DMA_HANDLE__).Parent = (__HANDLE__);                          \
  } while (0U)

#define UNUSED(X) (void)(X)

/* Resets a handle's state so that the next Init calls its MSP hook again. */
#define __HAL_RESET_HANDLE_STATE(__HANDLE__) ((__HANDLE__)->State = 0U)

/* A handle already in use makes the calling HAL function answer HAL_BUSY. The
 * lock is a plain flag, not an atomic: it only guards against re-entry from an
 * interrupt of higher priority, as on the chip. */
#define __HAL_LOCK(__HANDLE__)                 \
  do {                                         \
    if ((__HANDLE__)->Lock == HAL_LOCKED) {    \
      return HAL_BUSY;                         \
    } else {                                   \
      (__HANDLE__)->Lock = HAL_LOCKED;         \
    }                                          \
  } while (0U)

#define __HAL_UNLOCK(__HANDLE__)       \
  do {                                 \
    (__HANDLE__)->Lock = HAL_UNLOCKED; \
  } while (0U)

#ifndef __weak
#define __weak __attribute__((weak))
#endif
#ifndef __packed
#define __packed __attribute__((__packed__))
#endif
#ifndef __ALIGN_END
#define __ALIGN_END __attribute__((aligned(4)))
#endif
#ifndef __ALIGN_BEGIN
#define __ALIGN_BEGIN
#endif
#ifndef __NOINLINE
#define __NOINLINE __attribute__((noinline))
#endif

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_DEF_H */
