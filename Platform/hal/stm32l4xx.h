/* STM32L4 family header: selects the STM32L431 device and gives the family-wide
 * types and register access macros. */
#ifndef __STM32L4xx_H
#define __STM32L4xx_H

/* The device is selected by the build (-DSTM32L431xx), as with the vendor's header. */
#if defined(STM32L431xx)
#include "stm32l431xx.h"
#else
#error "Please select first the target STM32L4xx device used in your application (in stm32l4xx.h file)"
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum { RESET = 0, SET = !RESET } FlagStatus, ITStatus;
typedef enum { DISABLE = 0, ENABLE = !DISABLE } FunctionalState;
typedef enum { SUCCESS = 0, ERROR = !SUCCESS } ErrorStatus;

#define IS_FUNCTIONAL_STATE(STATE) (((STATE) == DISABLE) || ((STATE) == ENABLE))

#define SET_BIT(REG, BIT)   ((REG) |= (BIT))
#define CLEAR_BIT(REG, BIT) ((REG) &= ~(BIT))
#define READ_BIT(REG, BIT)  ((REG) & (BIT))
#define CLEAR_REG(REG)      ((REG) = (0x0))
#define WRITE_REG(REG, VAL) ((REG) = (VAL))
#define READ_REG(REG)       ((REG))
#define MODIFY_REG(REG, CLEARMASK, SETMASK) \
  WRITE_REG((REG), (((READ_REG(REG)) & (~(CLEARMASK))) | (SETMASK)))
#define POSITION_VAL(VAL)   (__CLZ(__RBIT(VAL)))

#if defined(USE_HAL_DRIVER)
#include "stm32l4xx_hal.h"
#endif

#ifdef __cplusplus
}
#endif

#endif /* __STM32L4xx_H */
