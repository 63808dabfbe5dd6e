// The device image's main module: start-up, the 10 ms tick with its sensor and
// check ticks and the periodic jobs, and the main loop.
//
// The tick (TIM7, every 10 ms) does everything time-critical. Odd ticks read one
// motion sample into the ring and run the detector on it, firing at once on a fall;
// even ticks look at the service inputs and run the post-firing indicator. Every
// tick then runs the phone status line, the battery evaluation, the LEDs and the
// flash scheduler, each only when its own due tick has come; the slow jobs sit on
// fixed phases of each second (status line 13, date-and-time record 37, battery 61,
// status-event record 83), so at most one of them runs on any tick. The main loop
// sleeps until the tick count changes and then does what must not run inside the
// tick: the second trigger-data save, the low-battery tone, and forwarding the phone
// link's bytes to the console. In service mode (the tick stopped for good by a
// console command or the dump input) the main loop goes on with those jobs and runs
// the console's commands and the dump service.
#include "main.h"

#include "FallDetector.h"
#include "flash_user_data.h"
#include "myQueue.h"
#include "sys_battery.h"
#include "sys_bluetooth.h"
#include "sys_buzzer.h"
#include "sys_dnt.h"
#include "sys_gpio.h"
#include "sys_imu.h"
#include "sys_init.h"
#include "sys_onoff.h"
#include "sys_sdata.h"
#include "sys_ster.h"
#include "sys_timer.h"
#include "sys_uart.h"
#include "sys_uart3_command.h"
#include "sys_uart_handler.h"
#include "trigger_action.h"

volatile uint32_t timer7_10ms_counter = 0;
volatile uint32_t __send_status_to_ble_time_check = 513;
volatile uint32_t __dnt_write_time_check = 3037;
volatile uint32_t __battery_check_time_limit = 1061;
volatile uint32_t __sys_ster_write_time_check = 30083;
SENSORDATASTORE __sensordata_store;
SENSORDATASTORE_ITEM *__rsensordata = nullptr;
MyQueue uartTransQ;
volatile bool g_bTriggerON = false;
volatile uint8_t __last_trigger_type = 0;
volatile uint32_t __write_last_trigger_data_time = 0;
volatile uint8_t __trigger_type_for_seqNum = 0;
volatile uint32_t BT_seqNum = 0;
volatile bool low_batt_status = false;
volatile bool stanby_batt_status = false;
volatile bool bt_Android_conn_2 = false;
const char *VersionInfo = "Ver0320_20230331";
volatile bool g_bExflashThreadRead = false;
volatile bool g_bServiceMode = false;

namespace {

constexpr uint32_t kDntPeriodTicks = 3000;    // 30 s
constexpr uint32_t kSterPeriodTicks = 30000;  // 5 min
constexpr uint32_t kFirstSampleTick = 101;    // samples wait for the first second

volatile bool bSensorReadToggle = true;  // true: the next tick is a sensor tick
FALL_DETECTOR __fall_detector;
SensorData_TypeDef *__wsensordata = nullptr;  // the ring record handed to the sensor-data log

// Moves a due tick to the next tick strictly after now whose count ends in `phase`
// (modulo 100).
uint32_t next_phase(uint32_t now, uint32_t phase) {
    const uint32_t r = now % 100u;
    return now - r + (r < phase ? phase : phase + 100u);
}

// A failed read leaves the slot uncommitted (it is filled again next time) and the
// detector without a sample.
void sensor_tick() {
    __rsensordata = SensorDataStore_Get(&__sensordata_store);
    SENSORData d;
    if (sys_imu_read_data(&d) < 0)
        return;
    __rsensordata->accX = d.accX;
    __rsensordata->accY = d.accY;
    __rsensordata->accZ = d.accZ;
    __rsensordata->gyroX = d.gyroX;
    __rsensordata->gyroY = d.gyroY;
    __rsensordata->gyroZ = d.gyroZ;
    SensorDataStore_UpdatePointer(&__sensordata_store, 0);
    make_seqnum_data_out();
    const FALL_DETECTOR_SENSOR_DATA sample = {d.accX, d.accY, d.accZ, d.gyroX, d.gyroY, d.gyroZ};
    const int result = FallDetectorWork(&__fall_detector, &sample);
    if (result >= 1 && !g_bTriggerON) {
        trigger_action(static_cast<uint8_t>(result));
        set_sys_ster_write();
    }
}

void check_tick() {
    block_dump_check();
    if (g_bServiceMode)
        return;
    manual_shoot_check();
    trigger_on_check();
}

void sleep_unless_ticked(uint32_t handled) {
    if (timer7_10ms_counter == handled) {
        __WFI();
        __WFI();
    }
}

}  // namespace

void set_sys_dnt_write(void) {
    __dnt_write_time_check = next_phase(timer7_10ms_counter, 37);
}

void set_sys_ster_write(void) {
    __sys_ster_write_time_check = next_phase(timer7_10ms_counter, 83);
}

// The LEDs say the device is not armed: a dark heartbeat alone would look like a
// device switched off, a frozen one like a device that still senses.
void enter_service_mode(void) {
    sys_timer_stop_tick();
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
    g_bServiceMode = true;
}

void print_fall_detector_version_info(void) {
    UART5_Printf("\r\n%s\r\n\n", FallDetectorGetVersionInfo());
}

// A writer's -1 means it holds back without having used the chip (the chip is idle
// here: busy was ruled out first); any other failure used the tick's write.
void save_sensor_data_into_flash(void) {
    const uint32_t c = timer7_10ms_counter;
    if (c >= __sys_ster_write_time_check)
        sys_ster_set_data();  // refused while a snapshot still waits to be written
    if (g_bExflashThreadRead)
        return;
    // A status read that fails says nothing about the chip: no write either.
    if (W25Q_IsBusy() != W25Q_OK)
        return;
    if (sys_onoff_write_queued())
        return;
    if (c >= __dnt_write_time_check) {
        const int r = sys_dnt_write();
        if (r == 0)
            __dnt_write_time_check = __dnt_write_time_check + kDntPeriodTicks;
        if (r != -1)
            return;
    }
    if (c >= __sys_ster_write_time_check) {
        const int r = sys_ster_write();
        if (r == 0)
            __sys_ster_write_time_check = __sys_ster_write_time_check + kSterPeriodTicks;
        if (r != -1)
            return;
    }
    if (c < kFirstSampleTick)
        return;
    __wsensordata =
        reinterpret_cast<SensorData_TypeDef *>(SensorDataStore_PopOnly(&__sensordata_store));
    if (__wsensordata != nullptr && sys_sdata_write(__wsensordata) == 0)
        SensorDataStore_UpdatePointer(&__sensordata_store, 1);
}

void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    if (htim->Instance != TIM7)
        return;
    timer7_10ms_counter = timer7_10ms_counter + 1;
    if (bSensorReadToggle)
        sensor_tick();
    else
        check_tick();
    bSensorReadToggle = !bSensorReadToggle;
    if (g_bServiceMode)
        return;  // the dump input has stopped the tick: this one ends here too
    send_status_to_ble();
    battery_check();
    led_blink();
    save_sensor_data_into_flash();
}

int main(void) {
    // The detector keeps a pointer to its configuration; main never returns.
    FALL_DETECTOR_CFG cfg;
    FallDetectorSetDefaultConfig(&cfg);
    FallDetectorSet(&__fall_detector, &cfg);
    SensorDataStore_Init(&__sensordata_store);
    __send_status_to_ble_time_check = 513;
    __dnt_write_time_check = 3037;
    __battery_check_time_limit = 1061;
    __sys_ster_write_time_check = 30083;
    sys_init();
    Buzzer_Init();
    Buzzer_ON();
    UART5_Printf("\r\nSystem Ready!\r\n");

    uint32_t handled = 0;
    bool low_tone_played = false;
    for (;;) {
        HAL_GetTick();
        // In service mode the count stands still: every interrupt (the system tick's
        // at least) starts a pass.
        const bool service = g_bServiceMode;
        if (timer7_10ms_counter == handled && !service) {
            __WFI();
            __WFI();
            continue;
        }
        handled = timer7_10ms_counter;
        sleep_unless_ticked(handled);
        // The ring no longer changes once the tick has stopped: a save still due is
        // made at once rather than never.
        const uint32_t save_at = __write_last_trigger_data_time;
        if (save_at != 0 && (timer7_10ms_counter >= save_at || service)) {
            flash_user_data_save_trigger_data(__last_trigger_type);
            __write_last_trigger_data_time = 0;
        }
        if (low_batt_status && !low_tone_played) {
            low_tone_played = true;
            Buzzer_Low();
        }
        sleep_unless_ticked(handled);
        sys_bluetooth_forward();
        if (service) {
            sys_uart3_command_run_waiting();
            if (block_dump_service_check()) {
                sys_uart_console_stop();
                block_dump_service();
                sys_uart_console_start();
            }
        }
        sleep_unless_ticked(handled);
    }
}
