// Board bring-up and the start-up self-tests.
#include "sys_init.h"

#include "btime.h"
#include "flash_user_data.h"
#include "main.h"
#include "sys_adc.h"
#include "sys_battery.h"
#include "sys_bluetooth.h"
#include "sys_clock.h"
#include "sys_dma.h"
#include "sys_dnt.h"
#include "sys_gpio.h"
#include "sys_i2c.h"
#include "sys_imu.h"
#include "sys_onoff.h"
#include "sys_rtc.h"
#include "sys_sdata.h"
#include "sys_spi.h"
#include "sys_ster.h"
#include "sys_timer.h"
#include "sys_uart.h"
#include "sys_uart_handler.h"
#include "w25q_mem.h"

volatile uint32_t tempCount = 0;

namespace {

// "<rst-q7.0>" CR LF with the zero bytes of its 16-bit fields; padded to 20 bytes.
const uint8_t kStartMarker[20] = {'<', 'r', 's', 0, 't', 0,   '-',  0,    'q', 0,
                                  '7', 0,   '.', 0, '0', '>', 0x0D, 0x0A, 0,   0};

void status(GPIO_PinState s) {
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, s);
}

void heartbeat(GPIO_PinState s) {
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, s);
}

constexpr GPIO_PinState ON = GPIO_PIN_SET;
constexpr GPIO_PinState OFF = GPIO_PIN_RESET;

// The self-test failure loops. The device must be reset; the tick is not running
// yet, so nothing is detected, logged or reported meanwhile.
[[noreturn]] void external_memory_failed() {
    for (;;) {
        status(ON);
        HAL_Delay(495);
        status(OFF);
        HAL_Delay(495);
        status(ON);
        heartbeat(ON);
        HAL_Delay(495);
        status(OFF);
        heartbeat(OFF);
        HAL_Delay(495);
        UART5_Printf("External Memory is not OK!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tempCount));
        tempCount = tempCount + 1;
    }
}

[[noreturn]] void motion_sensor_failed() {
    for (;;) {
        status(ON);
        HAL_Delay(100);
        status(OFF);
        HAL_Delay(100);
        HAL_Delay(495);
        status(ON);
        heartbeat(OFF);
        HAL_Delay(495);
        heartbeat(ON);
        status(OFF);
        HAL_Delay(495);
        heartbeat(OFF);
        HAL_Delay(495);
        UART5_Printf("Gyro sensor detect fail!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tempCount));
        tempCount = tempCount + 1;
    }
}

[[noreturn]] void actuator_failed() {
    for (;;) {
        UART5_Printf("Actuator detect fail!!!! c=%lu \r\n", static_cast<unsigned long>(tempCount));
        tempCount = tempCount + 1;
        for (int i = 0; i < 2; ++i) {
            status(ON);
            HAL_Delay(100);
            status(OFF);
            HAL_Delay(100);
            HAL_Delay(500);
        }
        for (int i = 0; i < 2; ++i) {
            status(ON);
            heartbeat(OFF);
            HAL_Delay(495);
            heartbeat(ON);
            status(OFF);
            HAL_Delay(495);
        }
        heartbeat(OFF);
        HAL_Delay(495);
    }
}

// The external flash answers its identity read with a non-zero byte; a read the
// driver reports as failed counts as no answer too.
bool external_memory_present() {
    W25Q_Init();
    uint8_t id = 0;
    const W25Q_STATE r = W25Q_ReadID(&id);
    return r == W25Q_OK && id != 0;
}

bool actuator_connected() {
    return HAL_GPIO_ReadPin(ACT_DETECT1_GPIO_Port, ACT_DETECT1_Pin) == GPIO_PIN_RESET &&
           HAL_GPIO_ReadPin(ACT_DETECT2_GPIO_Port, ACT_DETECT2_Pin) == GPIO_PIN_RESET;
}

}  // namespace

int sys_init(void) {
    HAL_Init();
    sys_clock_init();
    sys_gpio_init();
    status(ON);  // lit for the rest of start-up
    sys_dma_init();
    sys_uart_init();
    UART5_Printf("Start! CLK=%luMHz, Ver=%s \r\n", static_cast<unsigned long>(g_HCLK / 1000u),
                 VersionInfo);
    sys_uart_send(&huart3, kStartMarker, 18, 1000);
    sys_adc_init();
    sys_i2c_init();
    sys_timer_init();
    sys_spi_init();
    sys_rtc_init();
    UART5_Printf("\r\n%s\r\n", GetCurrentDateTimeString());
    print_fall_detector_version_info();

    if (!external_memory_present())
        external_memory_failed();
    HAL_ADC_Start_IT(&hadc1);  // the battery's first conversion
    if (sys_imu_init() < 0)
        motion_sensor_failed();

    sys_battery_init();
    sys_dnt_init();
    sys_onoff_prepare();
    sys_sdata_init();
    sys_ster_init();
    sys_uart_start_receive();
    if (!actuator_connected())
        actuator_failed();

    HAL_TIM_Base_Start_IT(&htim7);  // ticks begin here
    status(OFF);
    sys_bluetooth_init();

    UART5_Printf("\r\n");
    flash_user_data_print_trigger_data();
    UART5_Printf("\r\n");
    // The tick already runs and writes the external flash on its own; while this
    // listing reads the chip, the tick leaves it alone (an access of the tick between
    // a read's command and its data would make the read return the wrong bytes).
    g_bExflashThreadRead = true;
    sys_onoff_print_for_boot();
    g_bExflashThreadRead = false;
    return 0;
}
