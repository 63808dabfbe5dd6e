/* The firmware's one-word internal flash program on the board (declared in
 * stm32l4xx_hal_additions.h), beside the vendor's HAL FLASH module, whose
 * FLASH_WaitForLastOperation, FLASH_FlushCaches and pFlash it uses.
 *
 * The STM32L4 programs its flash in 64-bit units only. The reference manual (RM0394,
 * section 3.3.7 "Flash main memory programming sequences", standard programming) gives
 * the sequence:
 *   1. check that no flash operation is ongoing (BSY in FLASH_SR);
 *   2. check and clear the error flags of a previous programming;
 *   3. set PG in FLASH_CR;
 *   4. write the first word at an address aligned on a double word, then the second word;
 *      the interface starts programming when it has both (BSY set);
 *   5. wait until BSY is cleared;
 *   6. check that the operation succeeded (EOP when its interrupt is enabled, no error
 *      flag) and clear EOP;
 *   7. clear PG if no more programming is requested.
 * HAL_FLASH_Program_Word splits step 4 between two calls: the first call (address 8-byte
 * aligned) does steps 1 to 3 and writes the first word, leaving PG set with the unit half
 * written; the call for the next word writes the second word, which starts the
 * programming, and does steps 5 to 7. The chip pairs the two words itself.
 *
 * Any call outside that pattern is refused before anything is written, with HAL_ERROR and
 * in pFlash.ErrorCode (HAL_FLASH_GetError) the error the chip gives such a write (the
 * simulator's flash model answers the same):
 *   - an address not 4-byte aligned (the write would be split into smaller accesses):
 *     HAL_FLASH_ERROR_SIZ;
 *   - a second word with no first word waiting (its unit cannot be completed):
 *     HAL_FLASH_ERROR_PGA; an address outside the main flash: HAL_FLASH_ERROR_PGA too;
 *   - any other word while a first word waits for its second: HAL_FLASH_ERROR_PGS, and
 *     the waiting unit is abandoned: PG is cleared (the chip never programs half a
 *     unit) and whatever the chip flags for it is cleared, so the next pair starts clean.
 * Errors the chip reports (locked flash, write protection, a unit that is not erased, ...)
 * come back the same way, with the chip's own flags. Between the two words of a unit
 * nothing else may program or erase the flash: the vendor's calls would find PG set. */
#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

/* Address of the first word whose second word is due; 0 when none is. */
static volatile uint32_t s_pending_first_word;

static HAL_StatusTypeDef refuse(uint32_t error) {
    pFlash.ErrorCode = error;
    return HAL_ERROR;
}

/* Clears PG and restores the caches (steps 7, and the vendor's cache handling). */
static void end_programming(void) {
    CLEAR_BIT(FLASH->CR, FLASH_CR_PG);
    FLASH_FlushCaches();
}

/* A word that breaks the pair in waiting: the waiting unit is given up. */
static HAL_StatusTypeDef abandon_waiting_unit(void) {
    s_pending_first_word = 0U;
    end_programming();
    __DSB();
    const uint32_t flagged = FLASH->SR & FLASH_FLAG_SR_ERRORS;
    if (flagged != 0U) {
        __HAL_FLASH_CLEAR_FLAG(flagged);
    }
    return refuse(HAL_FLASH_ERROR_PGS);
}

static HAL_StatusTypeDef program_first_word(uint32_t Address, uint32_t Data) {
    if (s_pending_first_word != 0U) {
        return abandon_waiting_unit();
    }
    HAL_StatusTypeDef status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE); /* steps 1, 2 */
    if (status != HAL_OK) {
        return status;
    }
    pFlash.ErrorCode = HAL_FLASH_ERROR_NONE;
    /* The data cache stays off while a unit is being programmed, as the vendor's
     * HAL_FLASH_Program keeps it; FLASH_FlushCaches turns it back on. */
    if (READ_BIT(FLASH->ACR, FLASH_ACR_DCEN) != 0U) {
        __HAL_FLASH_DATA_CACHE_DISABLE();
        pFlash.CacheToReactivate = FLASH_CACHE_DCACHE_ENABLED;
    } else {
        pFlash.CacheToReactivate = FLASH_CACHE_DISABLED;
    }
    SET_BIT(FLASH->CR, FLASH_CR_PG);             /* step 3 */
    *(__IO uint32_t *)(uintptr_t)Address = Data; /* step 4, first word */
    __DSB();
    /* A first word the chip refuses (locked flash: PGSERR; protected page: WRPERR) flags it
     * at once: report it now rather than on the second word. */
    const uint32_t error = FLASH->SR & FLASH_FLAG_SR_ERRORS;
    if (error != 0U) {
        pFlash.ErrorCode |= error;
        __HAL_FLASH_CLEAR_FLAG(error);
        end_programming();
        return HAL_ERROR;
    }
    s_pending_first_word = Address;
    return HAL_OK;
}

static HAL_StatusTypeDef program_second_word(uint32_t Address, uint32_t Data) {
    if (s_pending_first_word == 0U) {
        return refuse(HAL_FLASH_ERROR_PGA);
    }
    if (Address != s_pending_first_word + 4U) {
        return abandon_waiting_unit();
    }
    s_pending_first_word = 0U;
    *(__IO uint32_t *)(uintptr_t)Address = Data; /* step 4, second word */
    const HAL_StatusTypeDef status =
        FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE); /* steps 5, 6 */
    end_programming();                                   /* step 7 */
    return status;
}

HAL_StatusTypeDef HAL_FLASH_Program_Word(uint32_t Address, uint32_t Data) {
    __HAL_LOCK(&pFlash);
    HAL_StatusTypeDef status;
    if ((Address & 3U) != 0U) {
        status = refuse(HAL_FLASH_ERROR_SIZ);
    } else if (Address < FLASH_BASE || Address - FLASH_BASE >= FLASH_SIZE) {
        status = refuse(HAL_FLASH_ERROR_PGA);
    } else if ((Address & 7U) == 0U) {
        status = program_first_word(Address, Data);
    } else {
        status = program_second_word(Address, Data);
    }
    __HAL_UNLOCK(&pFlash);
    return status;
}
