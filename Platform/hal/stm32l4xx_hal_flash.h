/* HAL FLASH module: internal flash unlock, program, status flags, latency. */
#ifndef STM32L4xx_HAL_FLASH_H
#define STM32L4xx_HAL_FLASH_H

#include "stm32l4xx_hal_def.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t TypeErase; /* FLASH_TYPEERASE_PAGES / MASSERASE */
  uint32_t Banks;     /* FLASH_BANK_1 */
  uint32_t Page;      /* first page, 0..127 on a 256 KB part */
  uint32_t NbPages;
} FLASH_EraseInitTypeDef;

typedef enum {
  FLASH_PROC_NONE = 0,
  FLASH_PROC_PAGE_ERASE,
  FLASH_PROC_MASS_ERASE,
  FLASH_PROC_PROGRAM,
  FLASH_PROC_PROGRAM_LAST
} FLASH_ProcedureTypeDef;

typedef enum {
  FLASH_CACHE_DISABLED = 0,
  FLASH_CACHE_ICACHE_ENABLED,
  FLASH_CACHE_DCACHE_ENABLED,
  FLASH_CACHE_ICACHE_DCACHE_ENABLED
} FLASH_CacheTypeDef;

typedef struct {
  HAL_LockTypeDef Lock;
  __IO uint32_t ErrorCode; /* HAL_FLASH_ERROR_x */
  __IO FLASH_ProcedureTypeDef ProcedureOnGoing;
  __IO uint32_t Address;
  __IO uint32_t Bank;
  __IO uint32_t Page;
  __IO uint32_t NbPagesToErase;
  __IO FLASH_CacheTypeDef CacheToReactivate;
} FLASH_ProcessTypeDef;

/* State of the flash operation in progress, shared with the interrupt handler. */
extern FLASH_ProcessTypeDef pFlash;

#define FLASH_FLAG_EOP     FLASH_SR_EOP
#define FLASH_FLAG_OPERR   FLASH_SR_OPERR
#define FLASH_FLAG_PROGERR FLASH_SR_PROGERR
#define FLASH_FLAG_WRPERR  FLASH_SR_WRPERR
#define FLASH_FLAG_PGAERR  FLASH_SR_PGAERR
#define FLASH_FLAG_SIZERR  FLASH_SR_SIZERR
#define FLASH_FLAG_PGSERR  FLASH_SR_PGSERR
#define FLASH_FLAG_MISERR  FLASH_SR_MISERR
#define FLASH_FLAG_FASTERR FLASH_SR_FASTERR
#define FLASH_FLAG_RDERR   FLASH_SR_RDERR
#define FLASH_FLAG_OPTVERR FLASH_SR_OPTVERR
#define FLASH_FLAG_BSY     FLASH_SR_BSY
#define FLASH_FLAG_PEMPTY  FLASH_SR_PEMPTY
#define FLASH_FLAG_ECCC    FLASH_ECCR_ECCC
#define FLASH_FLAG_ECCD    FLASH_ECCR_ECCD
#define FLASH_FLAG_ECCR_ERRORS (FLASH_FLAG_ECCD | FLASH_FLAG_ECCC)
#define FLASH_FLAG_SR_ERRORS                                                                   \
  (FLASH_FLAG_OPERR | FLASH_FLAG_PROGERR | FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR |              \
   FLASH_FLAG_SIZERR | FLASH_FLAG_PGSERR | FLASH_FLAG_MISERR | FLASH_FLAG_FASTERR |             \
   FLASH_FLAG_RDERR | FLASH_FLAG_OPTVERR | FLASH_FLAG_PEMPTY)
/* Not PEMPTY: that is not an error of an operation. */
#define FLASH_FLAG_ALL_ERRORS                                                                  \
  (FLASH_FLAG_OPERR | FLASH_FLAG_PROGERR | FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR |              \
   FLASH_FLAG_SIZERR | FLASH_FLAG_PGSERR | FLASH_FLAG_MISERR | FLASH_FLAG_FASTERR |             \
   FLASH_FLAG_RDERR | FLASH_FLAG_OPTVERR | FLASH_FLAG_ECCR_ERRORS)

/* Interrupt sources: CR enable bits; ECCC stands for ECCR's ECCIE. */
#define FLASH_IT_EOP   FLASH_CR_EOPIE
#define FLASH_IT_OPERR FLASH_CR_ERRIE
#define FLASH_IT_RDERR FLASH_CR_RDERRIE
#define FLASH_IT_ECCC  (FLASH_ECCR_ECCIE >> 24)

#define HAL_FLASH_ERROR_NONE 0x00U
#define HAL_FLASH_ERROR_OP   FLASH_FLAG_OPERR
#define HAL_FLASH_ERROR_PROG FLASH_FLAG_PROGERR
#define HAL_FLASH_ERROR_WRP  FLASH_FLAG_WRPERR
#define HAL_FLASH_ERROR_PGA  FLASH_FLAG_PGAERR
#define HAL_FLASH_ERROR_SIZ  FLASH_FLAG_SIZERR
#define HAL_FLASH_ERROR_PGS  FLASH_FLAG_PGSERR
#define HAL_FLASH_ERROR_MIS  FLASH_FLAG_MISERR
#define HAL_FLASH_ERROR_FAST FLASH_FLAG_FASTERR
#define HAL_FLASH_ERROR_RD   FLASH_FLAG_RDERR
#define HAL_FLASH_ERROR_OPTV FLASH_FLAG_OPTVERR
#define HAL_FLASH_ERROR_ECCC FLASH_FLAG_ECCC
#define HAL_FLASH_ERROR_ECCD FLASH_FLAG_ECCD
#define HAL_FLASH_ERROR_PEMPTY FLASH_FLAG_PEMPTY

#define FLASH_TYPEERASE_PAGES     0x00000000U
#define FLASH_TYPEERASE_MASSERASE 0x00000001U
#define FLASH_BANK_1 0x00000001U

/* Program types. The chip programs 64 bits at a time; DOUBLEWORD writes one
 * erased, 8-byte aligned double word from Data. */
#define FLASH_TYPEPROGRAM_DOUBLEWORD    0x00000000U
#define FLASH_TYPEPROGRAM_FAST          0x00000001U
#define FLASH_TYPEPROGRAM_FAST_AND_LAST 0x00000002U

#define FLASH_LATENCY_0 FLASH_ACR_LATENCY_0WS
#define FLASH_LATENCY_1 FLASH_ACR_LATENCY_1WS
#define FLASH_LATENCY_2 FLASH_ACR_LATENCY_2WS
#define FLASH_LATENCY_3 FLASH_ACR_LATENCY_3WS
#define FLASH_LATENCY_4 FLASH_ACR_LATENCY_4WS

#define FLASH_KEY1    0x45670123U
#define FLASH_KEY2    0xCDEF89ABU
#define FLASH_PDKEY1  0x04152637U
#define FLASH_PDKEY2  0xFAFBFCFDU
#define FLASH_OPTKEY1 0x08192A3BU
#define FLASH_OPTKEY2 0x4C5D6E7FU

#define FLASH_PAGE_SIZE 0x00000800U /* 2 KB */
#define FLASH_SIZE_DATA_REGISTER FLASHSIZE_BASE
/* Flash size in bytes from the factory value in KB; an unprogrammed value (0xFFFF)
 * is taken as 256 KB, the size of this part. */
#define FLASH_SIZE                                                                \
  (((*((volatile const uint16_t*)FLASH_SIZE_DATA_REGISTER)) == 0xFFFFU)           \
       ? (0x100U << 10U)                                                          \
       : ((uint32_t)(*((volatile const uint16_t*)FLASH_SIZE_DATA_REGISTER)) << 10U))
#define FLASH_BANK_SIZE FLASH_SIZE
#define FLASH_TIMEOUT_VALUE 50000U /* ms */

#define __HAL_FLASH_SET_LATENCY(__LATENCY__) MODIFY_REG(FLASH->ACR, FLASH_ACR_LATENCY, (__LATENCY__))
#define __HAL_FLASH_GET_LATENCY() READ_BIT(FLASH->ACR, FLASH_ACR_LATENCY)
#define __HAL_FLASH_PREFETCH_BUFFER_ENABLE() SET_BIT(FLASH->ACR, FLASH_ACR_PRFTEN)
#define __HAL_FLASH_PREFETCH_BUFFER_DISABLE() CLEAR_BIT(FLASH->ACR, FLASH_ACR_PRFTEN)
#define __HAL_FLASH_INSTRUCTION_CACHE_ENABLE() SET_BIT(FLASH->ACR, FLASH_ACR_ICEN)
#define __HAL_FLASH_INSTRUCTION_CACHE_DISABLE() CLEAR_BIT(FLASH->ACR, FLASH_ACR_ICEN)
#define __HAL_FLASH_DATA_CACHE_ENABLE() SET_BIT(FLASH->ACR, FLASH_ACR_DCEN)
#define __HAL_FLASH_DATA_CACHE_DISABLE() CLEAR_BIT(FLASH->ACR, FLASH_ACR_DCEN)
#define __HAL_FLASH_INSTRUCTION_CACHE_RESET()      \
  do {                                             \
    SET_BIT(FLASH->ACR, FLASH_ACR_ICRST);          \
    CLEAR_BIT(FLASH->ACR, FLASH_ACR_ICRST);        \
  } while (0)
#define __HAL_FLASH_DATA_CACHE_RESET()             \
  do {                                             \
    SET_BIT(FLASH->ACR, FLASH_ACR_DCRST);          \
    CLEAR_BIT(FLASH->ACR, FLASH_ACR_DCRST);        \
  } while (0)
#define __HAL_FLASH_ENABLE_IT(__INTERRUPT__)                                         \
  do {                                                                               \
    if (((__INTERRUPT__) & FLASH_IT_ECCC) != 0U) {                                   \
      SET_BIT(FLASH->ECCR, FLASH_ECCR_ECCIE);                                        \
    }                                                                                \
    if (((__INTERRUPT__) & (~FLASH_IT_ECCC)) != 0U) {                                \
      SET_BIT(FLASH->CR, ((__INTERRUPT__) & (~FLASH_IT_ECCC)));                      \
    }                                                                                \
  } while (0)
#define __HAL_FLASH_DISABLE_IT(__INTERRUPT__)                                        \
  do {                                                                               \
    if (((__INTERRUPT__) & FLASH_IT_ECCC) != 0U) {                                   \
      CLEAR_BIT(FLASH->ECCR, FLASH_ECCR_ECCIE);                                      \
    }                                                                                \
    if (((__INTERRUPT__) & (~FLASH_IT_ECCC)) != 0U) {                                \
      CLEAR_BIT(FLASH->CR, ((__INTERRUPT__) & (~FLASH_IT_ECCC)));                    \
    }                                                                                \
  } while (0)
/* True when any of the named flags is set (ECC flags are read from ECCR). */
#define __HAL_FLASH_GET_FLAG(__FLAG__)                                                 \
  ((((__FLAG__) & FLASH_FLAG_ECCR_ERRORS) != 0U)                                       \
       ? (READ_BIT(FLASH->ECCR, (__FLAG__)) != 0U)                                     \
       : (READ_BIT(FLASH->SR, (__FLAG__)) != 0U))
/* Status flags clear by writing 1: SR gets exactly the named flags (flags not named
 * stay set, so code that must start from a clean status names every flag it
 * clears); the ECC flags are set in ECCR, whose other bits are kept. */
#define __HAL_FLASH_CLEAR_FLAG(__FLAG__)                                                \
  do {                                                                                  \
    if (((__FLAG__) & FLASH_FLAG_ECCR_ERRORS) != 0U) {                                  \
      SET_BIT(FLASH->ECCR, ((__FLAG__) & FLASH_FLAG_ECCR_ERRORS));                      \
    }                                                                                   \
    if (((__FLAG__) & ~(FLASH_FLAG_ECCR_ERRORS)) != 0U) {                               \
      WRITE_REG(FLASH->SR, ((__FLAG__) & ~(FLASH_FLAG_ECCR_ERRORS)));                   \
    }                                                                                   \
  } while (0)

#include "stm32l4xx_hal_flash_ex.h"

/* Programs at Address (a bus address in the internal flash, FLASH_BASE and up).
 * The flash must be unlocked; a locked flash or a flash error answers HAL_ERROR
 * with the cause in pFlash.ErrorCode (HAL_FLASH_GetError). */
HAL_StatusTypeDef HAL_FLASH_Program(uint32_t TypeProgram, uint32_t Address, uint64_t Data);
HAL_StatusTypeDef HAL_FLASH_Program_IT(uint32_t TypeProgram, uint32_t Address, uint64_t Data);
void HAL_FLASH_IRQHandler(void);
void HAL_FLASH_EndOfOperationCallback(uint32_t ReturnValue);
void HAL_FLASH_OperationErrorCallback(uint32_t ReturnValue);
HAL_StatusTypeDef HAL_FLASH_Unlock(void);
HAL_StatusTypeDef HAL_FLASH_Lock(void);
HAL_StatusTypeDef HAL_FLASH_OB_Unlock(void);
HAL_StatusTypeDef HAL_FLASH_OB_Lock(void);
HAL_StatusTypeDef HAL_FLASH_OB_Launch(void);
uint32_t HAL_FLASH_GetError(void);
HAL_StatusTypeDef FLASH_WaitForLastOperation(uint32_t Timeout);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_FLASH_H */
