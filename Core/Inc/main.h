#pragma once
// The device image's pins, and the globals of its main module that other modules
// use: the application clock, the schedule of the periodic jobs, the sample ring,
// the firing and battery states.
#include <cstdint>

#include "SensorDataStore.h"
#include "stm32l4xx_hal.h"

// Indicator LEDs, both active high.
#define LED_STATUS_Pin GPIO_PIN_10
#define LED_STATUS_GPIO_Port GPIOA
#define LED_HEARTBEAT_Pin GPIO_PIN_11
#define LED_HEARTBEAT_GPIO_Port GPIOA
// Trigger outputs: 1 and 2 rise first, 3 after the console marker.
#define TRIGGER_OUT1_Pin GPIO_PIN_9
#define TRIGGER_OUT1_GPIO_Port GPIOA
#define TRIGGER_OUT2_Pin GPIO_PIN_15
#define TRIGGER_OUT2_GPIO_Port GPIOB
#define TRIGGER_OUT3_Pin GPIO_PIN_8
#define TRIGGER_OUT3_GPIO_Port GPIOA
// Actuator sense inputs, no pull: both read low with the actuator connected.
#define ACT_DETECT1_Pin GPIO_PIN_4
#define ACT_DETECT1_GPIO_Port GPIOA
#define ACT_DETECT2_Pin GPIO_PIN_5
#define ACT_DETECT2_GPIO_Port GPIOA
// Service inputs with pull-up, low = asserted.
#define BLOCK_DUMP_Pin GPIO_PIN_12
#define BLOCK_DUMP_GPIO_Port GPIOA
#define MANUAL_SHOOT_Pin GPIO_PIN_12
#define MANUAL_SHOOT_GPIO_Port GPIOB
// Radio module: power enable (high = on) and reset (low = in reset).
#define RF_MOD_RESET_Pin GPIO_PIN_4
#define RF_MOD_RESET_GPIO_Port GPIOB
#define RF_MOD_PWR_EN_Pin GPIO_PIN_5
#define RF_MOD_PWR_EN_GPIO_Port GPIOB
// Buzzer (TIM2 channel 1) and battery sense (ADC1 channel 6).
#define BUZZER_Pin GPIO_PIN_0
#define BUZZER_GPIO_Port GPIOA
#define BATT_SENSE_Pin GPIO_PIN_1
#define BATT_SENSE_GPIO_Port GPIOA

class MyQueue;

// The 18-byte console frame of the start-up and trigger markers, little-endian.
typedef struct {
    char start;
    char seqNum;
    int16_t n1, n2, n3, n4, n5, n6;
    char reserved;
    char end;
    char end2;
    char end3;
} PACKETDATA;
static_assert(sizeof(PACKETDATA) == 18, "the marker frame is 18 bytes on the wire");

// Ticks of 10 ms since the tick timer started: the application clock. Written only
// by the tick.
extern volatile uint32_t timer7_10ms_counter;

// Due ticks of the periodic jobs (each job runs when the clock has reached it).
extern volatile uint32_t __send_status_to_ble_time_check;  // status line to the phone
extern volatile uint32_t __dnt_write_time_check;           // date-and-time record
extern volatile uint32_t __battery_check_time_limit;       // battery evaluation
extern volatile uint32_t __sys_ster_write_time_check;      // status-event record

// Ring of motion samples: filled by the sensor tick, drained by the sensor-data log.
extern SENSORDATASTORE __sensordata_store;
// The ring slot being filled on the current sensor tick.
extern SENSORDATASTORE_ITEM *__rsensordata;
// Byte pairs from the phone-link port, drained by the main loop.
extern MyQueue uartTransQ;

// Firing state (trigger_action): latched by the first firing, never cleared.
extern volatile bool g_bTriggerON;
extern volatile uint8_t __last_trigger_type;
// Tick at or after which the main loop stores the trigger data again; 0 = none.
extern volatile uint32_t __write_last_trigger_data_time;
// Fall type for the next sample stamp (consumed by make_seqnum_data_out).
extern volatile uint8_t __trigger_type_for_seqNum;
// Messages sent to the phone (status and firing lines).
extern volatile uint32_t BT_seqNum;

// Battery states (battery_check): low battery, and standby pending.
extern volatile bool low_batt_status;
extern volatile bool stanby_batt_status;

// Set by the main loop when the phone application's "~~" marker arrives.
extern volatile bool bt_Android_conn_2;

extern const char *VersionInfo;

// Set by the thread while it reads the external flash with the tick running (the
// start-up listing): the tick leaves the chip alone meanwhile.
extern volatile bool g_bExflashThreadRead;

// Service mode: the tick stopped for good by a console command or the dump input;
// nothing is sensed, fired, reported or logged until reset. The main loop goes on.
extern volatile bool g_bServiceMode;
// Enters it (any context): stops the tick, heartbeat LED dark, status LED lit.
void enter_service_mode(void);

// Moves the date-and-time record's due tick to the next tick whose count ends in
// 37, strictly after now (a new sensor-data block gets its heartbeat soon).
void set_sys_dnt_write(void);
// The same for the status-event record, on ticks ending in 83 (after a firing).
void set_sys_ster_write(void);
void print_fall_detector_version_info(void);
// The tick's flash scheduler, every tick: at most one write, a power-cycle record
// that waits first, else a due date-and-time record, else a due status-event
// record, else the oldest sample of the ring not yet logged (from tick 101 on). A
// writer that holds back without using the chip (a log backing off after failures)
// leaves the tick's write to the next one.
void save_sensor_data_into_flash(void);
