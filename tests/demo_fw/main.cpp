// Demo firmware: a stand-in for the device image with the same shape. A 10 ms tick
// on TIM7 (priority 2) toggles the heartbeat LED and, once a second, prints a
// 16-byte uptime line on the console port (USART3, 115200 8N1); console bytes
// received by circular DMA are echoed from the receive interrupt (priority 10).
// The main loop only sleeps.
#include "main.h"

UART_HandleTypeDef huart3;
DMA_HandleTypeDef hdma_usart3_rx;
TIM_HandleTypeDef htim7;

volatile uint32_t demo_ticks = 0;

namespace {

uint8_t console_rx_byte;
constexpr uint32_t kTicksPerSecond = 100;

// 48 MHz from the 8 MHz crystal through the PLL (M 1, N 12, R 2), all buses undivided.
void clock_init() {
    RCC_OscInitTypeDef osc = {};
    osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
    osc.HSEState = RCC_HSE_ON;
    osc.PLL.PLLState = RCC_PLL_ON;
    osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
    osc.PLL.PLLM = 1;
    osc.PLL.PLLN = 12;
    osc.PLL.PLLP = RCC_PLLP_DIV7;
    osc.PLL.PLLQ = RCC_PLLQ_DIV2;
    osc.PLL.PLLR = RCC_PLLR_DIV2;
    if (HAL_RCC_OscConfig(&osc) != HAL_OK)
        demo_error();
    RCC_ClkInitTypeDef clk = {};
    clk.ClockType =
        RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
    clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
    clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
    clk.APB1CLKDivider = RCC_HCLK_DIV1;
    clk.APB2CLKDivider = RCC_HCLK_DIV1;
    if (HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2) != HAL_OK)
        demo_error();
}

void gpio_init() {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    __HAL_RCC_GPIOB_CLK_ENABLE();
    HAL_GPIO_WritePin(GPIOA, LED_STATUS_Pin | LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    GPIO_InitTypeDef init = {};
    init.Pin = LED_STATUS_Pin | LED_HEARTBEAT_Pin;
    init.Mode = GPIO_MODE_OUTPUT_PP;
    init.Pull = GPIO_PULLDOWN;
    init.Speed = GPIO_SPEED_FREQ_LOW;
    HAL_GPIO_Init(GPIOA, &init);
}

void uart_init() {
    huart3.Instance = USART3;
    huart3.Init.BaudRate = 115200;
    huart3.Init.WordLength = UART_WORDLENGTH_8B;
    huart3.Init.StopBits = UART_STOPBITS_1;
    huart3.Init.Parity = UART_PARITY_NONE;
    huart3.Init.Mode = UART_MODE_TX_RX;
    huart3.Init.HwFlowCtl = UART_HWCONTROL_NONE;
    huart3.Init.OverSampling = UART_OVERSAMPLING_8;
    huart3.Init.OneBitSampling = UART_ONE_BIT_SAMPLE_DISABLE;
    huart3.AdvancedInit.AdvFeatureInit = UART_ADVFEATURE_NO_INIT;
    if (HAL_UART_Init(&huart3) != HAL_OK)
        demo_error();
}

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
    clock_init();
    gpio_init();
    __HAL_RCC_DMA1_CLK_ENABLE();
    HAL_NVIC_SetPriority(DMA1_Channel3_IRQn, 10, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel3_IRQn);
    uart_init();
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
