// Demo firmware: pin and DMA set-up of the console port, called by HAL_UART_Init.
#include "main.h"

#include "../sim/board_setup.h"

extern "C" void HAL_UART_MspInit(UART_HandleTypeDef *huart) {
    if (huart->Instance != USART3)
        return;
    __HAL_RCC_USART3_CLK_ENABLE();
    GPIO_InitTypeDef init = {};
    init.Pin = CONSOLE_TX_Pin | CONSOLE_RX_Pin;
    init.Mode = GPIO_MODE_AF_PP;
    init.Pull = GPIO_PULLUP;
    init.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
    init.Alternate = GPIO_AF7_USART3;
    HAL_GPIO_Init(CONSOLE_GPIO_Port, &init);

    if (board_setup::rx_dma(hdma_usart3_rx, DMA1_Channel3, DMA_CIRCULAR) != HAL_OK)
        demo_error();
    __HAL_LINKDMA(huart, hdmarx, hdma_usart3_rx);
}
