// Storage test firmware of the device image: the real storage modules of Core/ on the
// simulated board, started in the device's order (calendar, flash self-test, logs,
// console reception, tick, trigger data and power-cycle listing), with a 10 ms tick
// that feeds the sample ring and writes the logs the way the device's flash
// scheduler does (a waiting power-cycle record first, then a due heartbeat, then a due
// status event, else one sample),
// and a console that runs the service listings and a few workload commands.
//
// Console commands (one per line; the listing commands stop the tick, as the
// device's console does):
//   dnt -o | dnt -d | sdata A B   the listings, as on the device
//   speed D S      heartbeat every D ticks, status event every S ticks, from now
//   samples 0|1    stop or resume logging the sample ring
//   trig T         a firing of type T on the next tick: power-cycle record, trigger data
//   fire N         a firing record in the power-cycle log on each of the next N ticks
// Commands run in the main loop; each one's output ends with a line "#".
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../sim/board_setup.h"
#include "flash_user_data.h"
#include "main.h"
#include "sys_battery.h"
#include "sys_dnt.h"
#include "sys_onoff.h"
#include "sys_rtc.h"
#include "sys_sdata.h"
#include "sys_ster.h"
#include "sys_uart.h"
#include "btime.h"
#include "w25q_mem.h"

DMA_HandleTypeDef hdma_usart3_rx;
TIM_HandleTypeDef htim7;

namespace {

constexpr uint32_t kBatteryCounts = 1955;  // 85 %
uint32_t dnt_period = 3000;
uint32_t ster_period = 30000;
uint32_t ster_due = 30083;
bool samples_on = true;
uint32_t sample_seq = 0;
volatile int32_t fire_requests = 0;  // firings run in the tick, as on the device
volatile int32_t trigger_request = 0;
uint8_t console_ring[64];  // circular reception: no byte lost while the tick runs
uint32_t console_head = 0;
char line[128];
uint32_t line_len = 0;

[[noreturn]] void halt() {
    __disable_irq();
    for (;;) __WFI();
}

void console_init() {
    __HAL_RCC_DMA1_CLK_ENABLE();
    HAL_NVIC_SetPriority(DMA1_Channel3_IRQn, 10, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel3_IRQn);
    if (board_setup::console(huart3) != HAL_OK)
        halt();
}

void tick_init() {
    __HAL_RCC_TIM7_CLK_ENABLE();
    htim7.Instance = TIM7;  // 48 MHz / 48 / 10000: 10 ms
    htim7.Init = {47, TIM_COUNTERMODE_UP, 9999, 0, 0, TIM_AUTORELOAD_PRELOAD_ENABLE};
    if (HAL_TIM_Base_Init(&htim7) != HAL_OK)
        halt();
    HAL_NVIC_SetPriority(TIM7_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(TIM7_IRQn);
}

// A motion sample whose values follow from its sequence number, so that a test can
// tell every record of the sensor-data log from every other.
void sample() {
    SENSORDATASTORE_ITEM *s = SensorDataStore_Get(&__sensordata_store);
    const int16_t n = static_cast<int16_t>(sample_seq);
    s->accX = static_cast<int16_t>(n * 3);
    s->accY = static_cast<int16_t>(-n);
    s->accZ = 8192;
    s->gyroX = static_cast<int16_t>(n * 7);
    s->gyroY = static_cast<int16_t>(-2 * n);
    s->gyroZ = static_cast<int16_t>(n ^ 0x55);
    SensorDataStore_UpdatePointer(&__sensordata_store, 0);
    s->num = static_cast<int16_t>(sample_seq % 1001);
    ++sample_seq;
}

// The device's flash scheduler: at most one write per tick.
void flash_schedule() {
    const uint32_t c = timer7_10ms_counter;
    if (c >= ster_due)
        sys_ster_set_data();
    if (W25Q_IsBusy() == W25Q_BUSY)
        return;
    if (sys_onoff_write_queued())
        return;
    if (c >= __dnt_write_time_check) {
        if (sys_dnt_write() == 0)
            __dnt_write_time_check = __dnt_write_time_check + dnt_period;
        return;
    }
    if (c >= ster_due) {
        if (sys_ster_write() == 0)
            ster_due += ster_period;
        return;
    }
    if (c >= 101 && samples_on) {
        SENSORDATASTORE_ITEM *p = SensorDataStore_PopOnly(&__sensordata_store);
        if (p != nullptr && sys_sdata_write(reinterpret_cast<SensorData_TypeDef *>(p)) == 0)
            SensorDataStore_UpdatePointer(&__sensordata_store, 1);
    }
}

bool is(const char *word, const char *text) {
    return word != nullptr && std::strcmp(word, text) == 0;
}

void command(char *text) {
    char *argv[10] = {};
    int argc = 0;
    for (char *t = std::strtok(text, " "); t != nullptr && argc < 10; t = std::strtok(nullptr, " "))
        argv[argc++] = t;
    if (argc == 0)
        return;
    const char *a1 = argc > 1 ? argv[1] : nullptr;
    if (is(argv[0], "speed") && argc == 3) {
        dnt_period = static_cast<uint32_t>(std::atoi(argv[1]));
        ster_period = static_cast<uint32_t>(std::atoi(argv[2]));
        __dnt_write_time_check = timer7_10ms_counter + dnt_period;
        ster_due = timer7_10ms_counter + ster_period;
    } else if (is(argv[0], "samples") && argc == 2) {
        samples_on = std::atoi(argv[1]) != 0;
    } else if (is(argv[0], "fire") && argc == 2) {
        fire_requests = std::atoi(argv[1]);
    } else if (is(argv[0], "trig") && argc == 2) {
        trigger_request = std::atoi(argv[1]);
    } else {
        HAL_TIM_Base_Stop_IT(&htim7);  // a listing stops the tick, as on the device
        if (is(argv[0], "dnt") && is(a1, "-o"))
            sys_onoff_print_all();
        else if (is(argv[0], "dnt") && is(a1, "-d"))
            sys_dnt_print_all();
        else if (is(argv[0], "sdata") && argc == 3)
            sys_sdata_print(std::atoi(argv[1]), std::atoi(argv[2]));
    }
    UART5_Printf("#\r\n");
}

}  // namespace

extern "C" void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    if (htim->Instance != TIM7)
        return;
    timer7_10ms_counter = timer7_10ms_counter + 1;
    if (timer7_10ms_counter % 2 == 1)
        sample();
    if (trigger_request != 0) {
        sys_dnt_trigger_write(trigger_request);
        flash_user_data_save_trigger_data(static_cast<uint32_t>(trigger_request));
        trigger_request = 0;
    } else if (fire_requests > 0) {
        sys_dnt_trigger_write(1);
        fire_requests = fire_requests - 1;
    }
    flash_schedule();
}

namespace {

// Console lines, taken from the circular reception by the main loop.
void console_poll() {
    const uint32_t pos = sizeof console_ring - __HAL_DMA_GET_COUNTER(huart3.hdmarx);
    while (console_head != pos % sizeof console_ring) {
        const char c = static_cast<char>(console_ring[console_head]);
        console_head = (console_head + 1) % sizeof console_ring;
        if (c == '\r' || c == '\n') {
            line[line_len] = '\0';
            if (line_len != 0)
                command(line);
            line_len = 0;
        } else if (line_len < sizeof line - 1) {
            line[line_len++] = c;
        }
    }
}

}  // namespace

extern "C" void HAL_UART_MspInit(UART_HandleTypeDef *huart) {
    if (huart->Instance != USART3)
        return;
    __HAL_RCC_USART3_CLK_ENABLE();
    GPIO_InitTypeDef g = {GPIO_PIN_10 | GPIO_PIN_11, GPIO_MODE_AF_PP, GPIO_PULLUP,
                          GPIO_SPEED_FREQ_VERY_HIGH, GPIO_AF7_USART3};
    HAL_GPIO_Init(GPIOB, &g);
    hdma_usart3_rx.Instance = DMA1_Channel3;
    hdma_usart3_rx.Init = {DMA_REQUEST_2,   DMA_PERIPH_TO_MEMORY, DMA_PINC_DISABLE,
                           DMA_MINC_ENABLE, DMA_PDATAALIGN_BYTE,  DMA_MDATAALIGN_BYTE,
                           DMA_CIRCULAR,    DMA_PRIORITY_LOW};
    if (HAL_DMA_Init(&hdma_usart3_rx) != HAL_OK)
        halt();
    __HAL_LINKDMA(huart, hdmarx, hdma_usart3_rx);
}

extern "C" {
void SysTick_Handler(void) {
    HAL_IncTick();
}
void TIM7_IRQHandler(void) {
    HAL_TIM_IRQHandler(&htim7);
}
void DMA1_Channel3_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart3_rx);
}
}  // extern "C"

int main(void) {
    HAL_Init();
    board_setup::leds();
    if (board_setup::qspi(hqspi) != HAL_OK)
        halt();
    console_init();
    UART5_Printf("Start!\r\n");
    board_setup::rtc_clock();
    tick_init();
    sys_rtc_init();
    UART5_Printf("\r\n%s\r\n", GetCurrentDateTimeString());
    W25Q_Init();
    uint8_t id = 0;
    W25Q_ReadID(&id);
    if (id == 0) {
        UART5_Printf("External Memory is not OK!!!! c=0 \r\n");
        halt();
    }
    g_battAdcVal = kBatteryCounts;
    sys_dnt_init();
    sys_sdata_init();
    sys_ster_init();
    if (HAL_UART_Receive_DMA(&huart3, console_ring, sizeof console_ring) != HAL_OK)
        UART5_Printf("console reception refused\r\n");
    HAL_TIM_Base_Start_IT(&htim7);
    UART5_Printf("\r\n");
    flash_user_data_print_trigger_data();
    UART5_Printf("\r\n");
    sys_onoff_print_for_boot();
    UART5_Printf("ready\r\n");
    for (;;) {
        console_poll();
        __WFI();
    }
}
