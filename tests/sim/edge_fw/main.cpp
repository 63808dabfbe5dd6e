// Firmware for the simulator executable's edge tests. What it does is chosen by
// the levels the scenario holds on PC0 and PC1 from reset:
//   0  prints 20 000 bytes on the console port (100 lines of 200), then sleeps
//   1  prints a line, then calls exit(3)
//   2  prints a line, then calls abort()
//   3  spins for ever without letting time pass
#include <cstdio>
#include <cstdlib>

#include "../board_setup.h"
#include "stm32l4xx_hal.h"

UART_HandleTypeDef huart3;

extern "C" void SysTick_Handler(void) {
    HAL_IncTick();
}

namespace {
void print(const char *text, uint16_t n) {
    HAL_UART_Transmit(&huart3, reinterpret_cast<const uint8_t *>(text), n, HAL_MAX_DELAY);
}
}  // namespace

int main(void) {
    HAL_Init();
    GPIO_InitTypeDef in = {};
    in.Pin = GPIO_PIN_0 | GPIO_PIN_1;
    in.Mode = GPIO_MODE_INPUT;
    in.Pull = GPIO_PULLDOWN;
    HAL_GPIO_Init(GPIOC, &in);
    const uint32_t mode = GPIOC->IDR & 3u;
    board_setup::console(huart3);
    if (mode == 1u) {
        print("before exit\r\n", 13);
        exit(3);
    }
    if (mode == 2u) {
        print("before abort\r\n", 14);
        abort();
    }
    if (mode == 3u) {
        static volatile uint32_t spins;
        for (;;) spins = spins + 1u;
    }
    char line[200];
    for (int i = 0; i < 100; ++i) {
        const int n = std::snprintf(line, sizeof line, "%03d ", i);
        for (int k = n; k < 198; ++k) line[k] = static_cast<char>('a' + k % 26);
        line[198] = '\r';
        line[199] = '\n';
        print(line, sizeof line);
    }
    for (;;) __WFI();
}
