// Demo firmware: a stand-in for the device image with the same shape. A 10 ms tick
// on TIM7 (priority 2) toggles the heartbeat LED and, once a second, prints a
// 16-byte uptime line on the console port (USART3, 115200 8N1); console bytes
// received by circular DMA are echoed from the receive interrupt (priority 10).
// The main loop only sleeps.
#include "main.h"

#include "../sim/board_setup.h"

UART_HandleTypeDef huart3;
DMA_HandleTypeDef hdma_usart3_rx;
TIM_HandleTypeDef htim7;

volatile uint32_t demo_ticks = 0;

namespace {

uint8_t console_rx_byte;
constexpr uint32_t kTicksPerSecond = 100;

void timer_init() {
    __HAL_RCC_TIM7_CLK_ENABLE();
    htim7.Instance = TIM7;
    htim7.Init.Prescaler = 47;  // 48 MHz / 48 = 1 MHz
    htim7.Init.CounterMode = TIM_COUNTERMODE_UP;
    htim7.Init.Period = 9999;  // 10 ms
    htim7.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_ENABLE;
    if (HAL_TIM_Base_Init(&htim7) != HAL_OK)
        demo_error();
    HAL_NVIC_SetPriority(TIM7_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(TIM7_IRQn);
}

void send(const char *text, uint16_t length) {
    (void)HAL_UART_Transmit(&huart3, reinterpret_cast<const uint8_t *>(text), length, 100);
}

// "uptime 00042 s\r\n": exactly 16 bytes.
void print_uptime(uint32_t seconds) {
    char line[16] = {'u', 'p', 't', 'i', 'm', 'e', ' ',  '0',
                     '0', '0', '0', '0', ' ', 's', '\r', '\n'};
    for (int i = 11; i >= 7; --i) {
        line[i] = static_cast<char>('0' + seconds % 10u);
        seconds /= 10u;
    }
    send(line, sizeof line);
}

}  // namespace

void demo_error(void) {
    __disable_irq();
    for (;;) {
        __WFI();
    }
}

extern "C" void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    if (htim->Instance != TIM7)
        return;
    const uint32_t now = demo_ticks + 1u;
    demo_ticks = now;
    HAL_GPIO_TogglePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin);
    if (now % kTicksPerSecond == 0u)
        print_uptime(now / kTicksPerSecond);
}

extern "C" void HAL_UART_RxCpltCallback(UART_HandleTypeDef *huart) {
    if (huart->Instance != USART3)
        return;
    const uint8_t byte = console_rx_byte;
    (void)HAL_UART_Transmit(&huart3, &byte, 1, 100);
}

int main(void) {
    HAL_Init();
    // 48 MHz from the crystal, the LEDs off, the console port at 115200 8N1.
    if (board_setup::clocks() != HAL_OK)
        demo_error();
    board_setup::leds();
    __HAL_RCC_GPIOB_CLK_ENABLE();  // the console pins
    __HAL_RCC_DMA1_CLK_ENABLE();
    HAL_NVIC_SetPriority(DMA1_Channel3_IRQn, 10, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel3_IRQn);
    if (board_setup::console(huart3) != HAL_OK)
        demo_error();
    timer_init();
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
    send("demo firmware\r\n", 15);
    if (HAL_UART_Receive_DMA(&huart3, &console_rx_byte, 1) != HAL_OK)
        demo_error();
    if (HAL_TIM_Base_Start_IT(&htim7) != HAL_OK)
        demo_error();
    for (;;) {
        __WFI();
    }
}
