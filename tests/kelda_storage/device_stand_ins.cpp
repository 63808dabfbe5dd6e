// What the storage modules take from the rest of the device image (its main module,
// the battery, the sensor and the receive counters), for the storage test firmware and
// the module tests, which run those modules without the image.
#include "main.h"
#include "sys_battery.h"
#include "sys_imu.h"
#include "sys_uart_handler.h"

volatile uint32_t timer7_10ms_counter = 0;
volatile uint32_t __dnt_write_time_check = 3037;
SENSORDATASTORE __sensordata_store;
volatile uint32_t g_battAdcVal = 0;
volatile uint16_t __sys_imu_read_data_error = 0;
volatile uint16_t __sys_uart_rx_counter = 0;

void enter_service_mode(void) {}

void set_sys_dnt_write(void) {
    const uint32_t now = timer7_10ms_counter;
    const uint32_t r = now % 100;
    __dnt_write_time_check = now - r + (r < 37 ? 37 : 137);
}

uint32_t sys_battery_get_percent(void) {
    return g_battAdcVal * 100u / 2300u;
}
