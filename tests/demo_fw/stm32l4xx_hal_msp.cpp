// Demo firmware: pin and DMA set-up of the console port, called by HAL_UART_Init.
#include "main.h"

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

    hdma_usart3_rx.Instance = DMA1_Channel3;
    hdma_usart3_rx.Init.Request = DMA_REQUEST_2;
    hdma_usart3_rx.Init.Direction = DMA_PERIPH_TO_MEMORY;
    hdma_usart3_rx.Init.PeriphInc = DMA_PINC_DISABLE;
    hdma_usart3_rx.Init.MemInc = DMA_MINC_ENABLE;
    hdma_usart3_rx.Init.PeriphDataAlignment = DMA_PDATAALIGN_BYTE;
    hdma_usart3_rx.Init.MemDataAlignment = DMA_MDATAALIGN_BYTE;
    hdma_usart3_rx.Init.Mode = DMA_CIRCULAR;
    hdma_usart3_rx.Init.Priority = DMA_PRIORITY_LOW;
    if (HAL_DMA_Init(&hdma_usart3_rx) != HAL_OK)
        demo_error();
    __HAL_LINKDMA(huart, hdmarx, hdma_usart3_rx);
}
