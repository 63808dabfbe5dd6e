// The board's side of the HAL's initialisation: each peripheral's clock, pins, DMA
// channels and interrupt, called back by the HAL's Init functions. Failures are not
// checked in this image.
#include "main.h"

namespace {

void pins(GPIO_TypeDef *port, uint32_t pins, uint32_t mode, uint32_t pull, uint32_t alternate) {
    GPIO_InitTypeDef g = {};
    g.Pin = pins;
    g.Mode = mode;
    g.Pull = pull;
    g.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
    g.Alternate = alternate;
    HAL_GPIO_Init(port, &g);
}

void dma_channel(DMA_HandleTypeDef *h, DMA_Channel_TypeDef *channel, uint32_t direction,
                 uint32_t mode, uint32_t priority) {
    h->Instance = channel;
    h->Init.Request = DMA_REQUEST_2;
    h->Init.Direction = direction;
    h->Init.PeriphInc = DMA_PINC_DISABLE;
    h->Init.MemInc = DMA_MINC_ENABLE;
    h->Init.PeriphDataAlignment = DMA_PDATAALIGN_BYTE;
    h->Init.MemDataAlignment = DMA_MDATAALIGN_BYTE;
    h->Init.Mode = mode;
    h->Init.Priority = priority;
    HAL_DMA_Init(h);
}

}  // namespace

void HAL_MspInit(void) {
    __HAL_RCC_SYSCFG_CLK_ENABLE();
    __HAL_RCC_PWR_CLK_ENABLE();
    HAL_NVIC_SetPriority(RCC_IRQn, 0, 0);
    HAL_NVIC_EnableIRQ(RCC_IRQn);
}

// Transmission is blocking: the transmit channels are linked but never used. The
// console's receive channel runs in normal mode: its only receptions are the calendar
// and the read-back requests, each a fixed number of bytes taken once, so a reception
// ends with its last byte instead of filling its buffer again.
void HAL_UART_MspInit(UART_HandleTypeDef *huart) {
    if (huart->Instance == USART1) {
        __HAL_RCC_USART1_CLK_ENABLE();
        pins(GPIOB, GPIO_PIN_6 | GPIO_PIN_7, GPIO_MODE_AF_PP, GPIO_NOPULL, GPIO_AF7_USART1);
        dma_channel(&hdma_usart1_rx, DMA1_Channel5, DMA_PERIPH_TO_MEMORY, DMA_CIRCULAR,
                    DMA_PRIORITY_VERY_HIGH);
        __HAL_LINKDMA(huart, hdmarx, hdma_usart1_rx);
        dma_channel(&hdma_usart1_tx, DMA1_Channel4, DMA_MEMORY_TO_PERIPH, DMA_CIRCULAR,
                    DMA_PRIORITY_LOW);
        __HAL_LINKDMA(huart, hdmatx, hdma_usart1_tx);
    } else if (huart->Instance == USART3) {
        __HAL_RCC_USART3_CLK_ENABLE();
        pins(GPIOB, GPIO_PIN_10 | GPIO_PIN_11, GPIO_MODE_AF_PP, GPIO_PULLUP, GPIO_AF7_USART3);
        dma_channel(&hdma_usart3_rx, DMA1_Channel3, DMA_PERIPH_TO_MEMORY, DMA_NORMAL,
                    DMA_PRIORITY_LOW);
        __HAL_LINKDMA(huart, hdmarx, hdma_usart3_rx);
        dma_channel(&hdma_usart3_tx, DMA1_Channel2, DMA_MEMORY_TO_PERIPH, DMA_CIRCULAR,
                    DMA_PRIORITY_LOW);
        __HAL_LINKDMA(huart, hdmatx, hdma_usart3_tx);
    }
}

// The sensor's transfers are polled; the event interrupt is enabled but not used.
void HAL_I2C_MspInit(I2C_HandleTypeDef *hi2c) {
    if (hi2c->Instance == I2C1) {
        pins(GPIOB, GPIO_PIN_8 | GPIO_PIN_9, GPIO_MODE_AF_OD, GPIO_NOPULL, GPIO_AF4_I2C1);
        __HAL_RCC_I2C1_CLK_ENABLE();
        HAL_NVIC_SetPriority(I2C1_EV_IRQn, 2, 0);
        HAL_NVIC_EnableIRQ(I2C1_EV_IRQn);
    } else if (hi2c->Instance == I2C2) {
        pins(GPIOB, GPIO_PIN_13 | GPIO_PIN_14, GPIO_MODE_AF_OD, GPIO_NOPULL, GPIO_AF4_I2C2);
        __HAL_RCC_I2C2_CLK_ENABLE();
    }
}

void HAL_ADC_MspInit(ADC_HandleTypeDef *hadc) {
    if (hadc->Instance != ADC1)
        return;
    __HAL_RCC_ADC_CLK_ENABLE();
    pins(BATT_SENSE_GPIO_Port, BATT_SENSE_Pin, GPIO_MODE_ANALOG_ADC_CONTROL, GPIO_NOPULL, 0);
    HAL_NVIC_SetPriority(ADC1_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(ADC1_IRQn);
}

void HAL_TIM_Base_MspInit(TIM_HandleTypeDef *htim) {
    if (htim->Instance == TIM7) {
        __HAL_RCC_TIM7_CLK_ENABLE();
        HAL_NVIC_SetPriority(TIM7_IRQn, 2, 0);
        HAL_NVIC_EnableIRQ(TIM7_IRQn);
    } else if (htim->Instance == TIM2) {
        __HAL_RCC_TIM2_CLK_ENABLE();
        HAL_NVIC_SetPriority(TIM2_IRQn, 0, 0);
        HAL_NVIC_EnableIRQ(TIM2_IRQn);
    }
}

void HAL_QSPI_MspInit(QSPI_HandleTypeDef *hqspi) {
    if (hqspi->Instance != QUADSPI)
        return;
    __HAL_RCC_QSPI_CLK_ENABLE();
    pins(GPIOA, GPIO_PIN_2 | GPIO_PIN_3 | GPIO_PIN_6 | GPIO_PIN_7, GPIO_MODE_AF_PP, GPIO_NOPULL,
         GPIO_AF10_QUADSPI);
    pins(GPIOB, GPIO_PIN_0 | GPIO_PIN_1, GPIO_MODE_AF_PP, GPIO_NOPULL, GPIO_AF10_QUADSPI);
}

void HAL_RTC_MspInit(RTC_HandleTypeDef *hrtc) {
    if (hrtc->Instance == RTC)
        __HAL_RCC_RTC_ENABLE();
}
