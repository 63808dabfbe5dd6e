#pragma once
// The motion sensor (ICM-42670-P on I2C1) and the firing sequence.
#include <cstdint>

#include "main.h"

// One sample in the device frame: raw counts, 8192 per g (±4 g) and 65.536 per °/s
// (±500 °/s); the layout the detector takes.
typedef struct {
    int16_t accX, accY, accZ;
    int16_t gyroX, gyroY, gyroZ;
} sensorData;

// The value of every axis of a sample that could not be read: what the sensor itself
// reports for an axis without data.
constexpr int16_t GYRO_NO_DATA = -32768;

// Reads the identity (printed always) and configures both sensors: 1 when the sensor
// answered 0x67, else 0.
int GyroInit(void);

// Reads one sample into `out`: 0, or −1 (pointer write failed), −2 (data read failed),
// −3 (the sensor has no data: all three axes of a sensor read −32768). On failure
// every axis of `out` is GYRO_NO_DATA. Repeated failures set the bus and the sensor up
// again, and after half a second the sensor counts as faulty (Gyro_Fault).
int ReadSensorData2(sensorData *out);

// True while the sensor has failed every read for half a second or longer.
bool Gyro_Fault(void);

// Both sensors off (standby).
void Gyro_SleepMode(void);

// The firing, from the sensor tick: trigger outputs, the trigger frame, the snapshot,
// the firing record, the latch and the phone line.
void trigger_process_start(uint8_t type);
// The post-firing status LED pulse, every check tick once fired.
void trigger_process_pulse(void);
