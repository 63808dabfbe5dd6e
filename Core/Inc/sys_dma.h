#pragma once
// DMA1: its clock and the interrupt priorities of the four serial channels; the
// channels themselves are set up with their ports (stm32l4xx_hal_msp).
#include "stm32l4xx_hal.h"

extern DMA_HandleTypeDef hdma_usart1_rx;  // channel 5
extern DMA_HandleTypeDef hdma_usart1_tx;  // channel 4 (linked, not used for transfers)
extern DMA_HandleTypeDef hdma_usart3_rx;  // channel 3
extern DMA_HandleTypeDef hdma_usart3_tx;  // channel 2 (linked, not used for transfers)

int sys_dma_init(void);
