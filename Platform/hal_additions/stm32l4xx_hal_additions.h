/* The firmware's own additions to the STM32L4 HAL, declared once for both backends.
 *
 * The vendor's HAL has neither a 16-bit QUADSPI data phase nor a one-word internal
 * flash program. These calls are the project's, kept out of the vendor-named headers
 * so that those stay exactly the vendor's: on the board they are implemented beside
 * the vendor's HAL (Platform/stm32l431), on the host by the simulator's models. */
#ifndef STM32L4XX_HAL_ADDITIONS_H
#define STM32L4XX_HAL_ADDITIONS_H

#include "stm32l4xx_hal.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 16-bit data phase of the command set up by HAL_QSPI_Command: the same locking,
 * states, flag waits and time-outs as HAL_QSPI_Transmit / HAL_QSPI_Receive, but the
 * data register is accessed a half-word at a time (NbData / 2 accesses), reading or
 * writing pData as 16-bit values in memory order, so the bytes on the bus are the
 * buffer's bytes in order (little-endian). pData needs no particular alignment. An
 * odd NbData cannot be moved in half-words without touching a byte outside the
 * buffer, so it is refused like a null buffer: HAL_ERROR with
 * HAL_QSPI_ERROR_INVALID_PARAM, nothing moved, the handle left READY. */
HAL_StatusTypeDef HAL_QSPI_Transmit_16(QSPI_HandleTypeDef *hqspi, uint8_t *pData, uint32_t Timeout);
HAL_StatusTypeDef HAL_QSPI_Receive_16(QSPI_HandleTypeDef *hqspi, uint8_t *pData, uint32_t Timeout);

/* One-word internal flash program: writes Data at a 4-byte aligned Address. The
 * chip programs 64-bit units, so words come in pairs: first the word at the 8-byte
 * aligned address, then the word after it; the second call programs the double
 * word. A call outside that pattern is refused before anything is written, with
 * HAL_ERROR and in HAL_FLASH_GetError() the error the chip gives such a write: an
 * address not 4-byte aligned HAL_FLASH_ERROR_SIZ; a second word with no first word
 * waiting HAL_FLASH_ERROR_PGA; any other word while a first word waits
 * HAL_FLASH_ERROR_PGS, the waiting unit being lost (never programmed). A double word
 * that is not erased, or a locked flash, answers HAL_ERROR with the chip's error flag.
 * The flash must be unlocked, as for HAL_FLASH_Program, and nothing else may program
 * or erase it between the two words of a pair. */
HAL_StatusTypeDef HAL_FLASH_Program_Word(uint32_t Address, uint32_t Data);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4XX_HAL_ADDITIONS_H */
