/* HAL FLASH extension: page and mass erase. Included by stm32l4xx_hal_flash.h. */
#ifndef STM32L4xx_HAL_FLASH_EX_H
#define STM32L4xx_HAL_FLASH_EX_H

#ifdef __cplusplus
extern "C" {
#endif

/* Erases NbPages pages from Page (all pages set to 0xFF). The flash must be
 * unlocked. On failure answers HAL_ERROR with *PageError the page that failed;
 * on success *PageError is 0xFFFFFFFF. */
HAL_StatusTypeDef HAL_FLASHEx_Erase(FLASH_EraseInitTypeDef* pEraseInit, uint32_t* PageError);
HAL_StatusTypeDef HAL_FLASHEx_Erase_IT(FLASH_EraseInitTypeDef* pEraseInit);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_FLASH_EX_H */
