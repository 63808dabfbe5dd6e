/* STM32L4 family header: selects the STM32L431 device and gives the family-wide
 * types and register access macros. */
#ifndef STM32L4XX_H
#define STM32L4XX_H

#ifndef STM32L431xx
#define STM32L431xx
#endif

#include "stm32l431xx.h"

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
#define POSITION_VAL(VAL)   ((uint32_t)__builtin_ctz(VAL))

#ifdef __cplusplus
}
#endif

#endif /* STM32L4XX_H */
