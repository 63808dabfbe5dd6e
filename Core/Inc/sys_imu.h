#pragma once
// The motion sensor (ICM-42670-P on I2C1, bus address 0xD0): identity check and
// configuration at start-up, one sample per sensor tick in the device's frame, the
// sample stamps, and recovery of a sensor that stops answering.
#include <cstdint>

// One sample as read, in the device's frame: 8192 counts per g (+-4 g) and 65.536
// counts per degree per second (+-500 dps); the layout the detector takes.
typedef struct {
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
} SENSORData;

// Failed sample reads since start-up (wraps at 65536).
extern volatile uint16_t __sys_imu_read_data_error;

// 0; -1 wrong identity (printed); -2, -3, -4 the power, gyroscope or accelerometer
// configuration write failed.
int sys_imu_init(void);
// Reads one sample into out (written only on success): 0; -1 the register pointer
// write failed (or the bus was held); -2 the data read failed; -3 the sensor has no
// valid data (it reports -32768 on an axis it has no sample for, e.g. after it reset
// itself). Every failure is counted; after repeated failures the bus and the sensor
// are set up again.
int sys_imu_read_data(SENSORData *out);
// Both sensors off: 0 or -1.
int sys_imu_go_to_sleep_mode(void);
// Stamps the sample just committed to the ring (main's __rsensordata): 0 to 1000
// in turn, 7777 while the battery is low, 5555 while standby is pending, 1234 on
// the first sample after a firing.
void make_seqnum_data_out(void);
// True while the sensor has given no valid sample for half a second or more.
bool sys_imu_sensor_fault(void);
