// Device-like load for measuring the simulator's device models (run by hand, not a
// test): the device image's tick shape without its logic. A 10 ms TIM7 tick at
// priority 2 reads the motion sensor on every second tick (a one-byte register
// pointer write and a 12-byte read, as the device does), starts a battery
// conversion every 10 s (its callback at priority 2) and sends a status line to the
// phone through the radio module every 5 s; the main loop sleeps.
//
// Scenario pins switch parts off, so that one part's cost is the difference of two
// runs: PA4 high skips the sensor reads, PA5 high the battery and the status lines.
//
//   build/host/bench/sim/device_load_fw --board DIR --scenario bench/sim/device-load-3600s.scn
#include "stm32l4xx_hal.h"

I2C_HandleTypeDef hi2c1;
ADC_HandleTypeDef hadc1;
UART_HandleTypeDef huart1;
TIM_HandleTypeDef htim7;

namespace {

volatile uint32_t ticks = 0;
volatile uint32_t battery = 0;
bool read_sensor = true, side_jobs = true;
uint8_t sample[12];

void write_reg(uint8_t reg, uint8_t value) {
    HAL_I2C_Mem_Write(&hi2c1, 0xD0, reg, I2C_MEMADD_SIZE_8BIT, &value, 1, 2);
}

void init() {
    HAL_Init();
    GPIO_InitTypeDef in = {GPIO_PIN_4 | GPIO_PIN_5, GPIO_MODE_INPUT, GPIO_NOPULL, 0, 0};
    HAL_GPIO_Init(GPIOA, &in);
    read_sensor = HAL_GPIO_ReadPin(GPIOA, GPIO_PIN_4) == GPIO_PIN_RESET;
    side_jobs = HAL_GPIO_ReadPin(GPIOA, GPIO_PIN_5) == GPIO_PIN_RESET;
    GPIO_InitTypeDef radio = {GPIO_PIN_4 | GPIO_PIN_5, GPIO_MODE_OUTPUT_PP, GPIO_PULLDOWN, 0, 0};
    HAL_GPIO_Init(GPIOB, &radio);
    HAL_GPIO_WritePin(GPIOB, GPIO_PIN_4 | GPIO_PIN_5, GPIO_PIN_SET);

    hi2c1.Instance = I2C1;
    hi2c1.Init.Timing = 0x00506682;
    hi2c1.Init.AddressingMode = I2C_ADDRESSINGMODE_7BIT;
    HAL_I2C_Init(&hi2c1);
    HAL_I2CEx_ConfigAnalogFilter(&hi2c1, I2C_ANALOGFILTER_ENABLE);
    HAL_I2CEx_ConfigDigitalFilter(&hi2c1, 0);
    HAL_Delay(2);
    write_reg(0x1F, 0x0F);
    write_reg(0x20, 0x46);
    write_reg(0x21, 0x46);

    hadc1.Instance = ADC1;
    hadc1.Init.ClockPrescaler = ADC_CLOCK_SYNC_PCLK_DIV4;
    hadc1.Init.EOCSelection = ADC_EOC_SEQ_CONV;
    hadc1.Init.NbrOfConversion = 1;
    HAL_ADC_Init(&hadc1);
    ADC_ChannelConfTypeDef ch = {ADC_CHANNEL_6, ADC_REGULAR_RANK_1, ADC_SAMPLETIME_24CYCLES_5,
                                 ADC_SINGLE_ENDED, ADC_OFFSET_NONE, 0};
    HAL_ADC_ConfigChannel(&hadc1, &ch);
    HAL_NVIC_SetPriority(ADC1_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(ADC1_IRQn);

    huart1.Instance = USART1;
    huart1.Init.BaudRate = 115200;
    huart1.Init.WordLength = UART_WORDLENGTH_8B;
    huart1.Init.StopBits = UART_STOPBITS_1;
    huart1.Init.Mode = UART_MODE_TX_RX;
    huart1.Init.OverSampling = UART_OVERSAMPLING_8;
    HAL_UART_Init(&huart1);

    htim7.Instance = TIM7;
    htim7.Init.Prescaler = 47;
    htim7.Init.Period = 9999;
    htim7.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_ENABLE;
    HAL_TIM_Base_Init(&htim7);
    HAL_NVIC_SetPriority(TIM7_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(TIM7_IRQn);
    HAL_TIM_Base_Start_IT(&htim7);
}

}  // namespace

extern "C" {

void SysTick_Handler(void) {
    HAL_IncTick();
}
void TIM7_IRQHandler(void) {
    HAL_TIM_IRQHandler(&htim7);
}
void ADC1_IRQHandler(void) {
    HAL_ADC_IRQHandler(&hadc1);
}

void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef *h) {
    battery = HAL_ADC_GetValue(h);
}

void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *) {
    const uint32_t t = ++ticks;
    if ((t & 1u) && read_sensor) {
        uint8_t reg = 0x0B;
        if (HAL_I2C_Master_Transmit(&hi2c1, 0xD0, &reg, 1, 2) == HAL_OK)
            HAL_I2C_Master_Receive(&hi2c1, 0xD0, sample, sizeof sample, 2);
    }
    if (side_jobs && t % 1000 == 61)
        HAL_ADC_Start_IT(&hadc1);
    if (side_jobs && t % 500 == 13) {
        static const uint8_t line[] = "Q=0;1;0,93,004,\n";
        HAL_UART_Transmit(&huart1, line, sizeof line - 1, 1000);
    }
}

}  // extern "C"

int main() {
    init();
    for (;;) __WFI();
}
