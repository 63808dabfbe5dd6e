// The motion sensor. Inside the tick every transfer must fit the 10 ms period: a
// sample takes 0.7 ms on the bus, so the time-outs are 2 ms, and a bus that shows
// busy is not waited for (the HAL would wait 25 ms for it before every transfer).
#include "sys_imu.h"

#include "main.h"
#include "sys_i2c.h"
#include "sys_uart.h"

volatile uint16_t __sys_imu_read_data_error = 0;

namespace {

constexpr uint16_t GyroAddr = 0xD0;
constexpr uint8_t kRegData = 0x0B;  // 12 bytes: accel X, Y, Z, gyro X, Y, Z, big-endian
constexpr uint8_t kRegPower = 0x1F;
constexpr uint8_t kRegGyroConfig = 0x20;
constexpr uint8_t kRegAccelConfig = 0x21;
constexpr uint8_t kRegWhoAmI = 0x75;
constexpr uint8_t kWhoAmI = 0x67;
constexpr uint8_t kPowerLowNoise = 0x0F;  // gyroscope and accelerometer low-noise
constexpr uint8_t kPowerOff = 0x00;
constexpr uint8_t kGyro500Dps800Hz = 0x46;
constexpr uint8_t kAccel4G800Hz = 0x46;
constexpr int16_t kNoData = -32768;  // what the sensor reports for an axis it has no sample for

constexpr uint32_t kStartTimeoutMs = 1000;
constexpr uint32_t kTickTimeoutMs = 2;
constexpr uint32_t kRecoverEvery = 10;  // failed sensor ticks (200 ms) between set-ups
constexpr uint32_t kFaultAfter = 25;    // failed sensor ticks (500 ms) before the pattern

uint32_t seqNum = 0;
uint32_t __sys_imu_fail_run = 0;  // sensor ticks without a valid sample

bool bus_held() {
    return __HAL_I2C_GET_FLAG(&hi2c1, I2C_FLAG_BUSY) != RESET;
}

bool write_register(uint8_t reg, uint8_t value, uint32_t timeout) {
    if (bus_held())
        return false;
    uint8_t b[2] = {reg, value};
    return HAL_I2C_Master_Transmit(&hi2c1, GyroAddr, b, 2, timeout) == HAL_OK;
}

// The sensor wants 200 us after a power mode change before the next register write.
int configure(uint32_t timeout) {
    if (!write_register(kRegPower, kPowerLowNoise, timeout))
        return -2;
    HAL_Delay(1);
    if (!write_register(kRegGyroConfig, kGyro500Dps800Hz, timeout))
        return -3;
    if (!write_register(kRegAccelConfig, kAccel4G800Hz, timeout))
        return -4;
    return 0;
}

int16_t be16(const uint8_t *p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}

int16_t negate(int16_t v) {
    return static_cast<int16_t>(-static_cast<uint16_t>(v));
}

int read_once(SENSORData *out) {
    uint8_t reg = kRegData;
    if (bus_held() || HAL_I2C_Master_Transmit(&hi2c1, GyroAddr, &reg, 1, kTickTimeoutMs) != HAL_OK)
        return -1;
    uint8_t b[12];
    if (bus_held() ||
        HAL_I2C_Master_Receive(&hi2c1, GyroAddr, b, sizeof b, kTickTimeoutMs) != HAL_OK)
        return -2;
    int16_t s[6];
    for (int i = 0; i < 6; ++i) {
        s[i] = be16(b + 2 * i);
        if (s[i] == kNoData)
            return -3;
    }
    // Sensor frame to device frame.
    out->accX = s[1];
    out->accY = negate(s[0]);
    out->accZ = s[2];
    out->gyroX = s[4];
    out->gyroY = negate(s[3]);
    out->gyroZ = s[5];
    return 0;
}

// Sets the bus up again (a transfer that timed out leaves the peripheral holding
// it), then the sensor (one that reset itself is back to off and its defaults).
void recover() {
    sys_i2c_setup(&hi2c1, I2C1);
    configure(kTickTimeoutMs);
}

}  // namespace

int sys_imu_init(void) {
    uint8_t id = 0;
    HAL_I2C_Mem_Read(&hi2c1, GyroAddr, kRegWhoAmI, I2C_MEMADD_SIZE_8BIT, &id, 1, 100);
    if (id != kWhoAmI) {
        UART5_Printf("Invalid IMU ID : 0x%X\r\n", id);
        return -1;
    }
    return configure(kStartTimeoutMs);
}

int sys_imu_read_data(SENSORData *out) {
    const int r = read_once(out);
    if (r == 0) {
        if (__sys_imu_fail_run >= kFaultAfter)
            UART5_Printf("Gyro sensor back after %lu failed reads\r\n",
                         static_cast<unsigned long>(__sys_imu_fail_run));
        __sys_imu_fail_run = 0;
        return 0;
    }
    __sys_imu_read_data_error = static_cast<uint16_t>(__sys_imu_read_data_error + 1);
    ++__sys_imu_fail_run;
    if (__sys_imu_fail_run == kFaultAfter)
        UART5_Printf("Gyro sensor read fail!!!! no sample for 0.5 s\r\n");
    if (__sys_imu_fail_run % kRecoverEvery == 0)
        recover();
    return r;
}

int sys_imu_go_to_sleep_mode(void) {
    return write_register(kRegPower, kPowerOff, kTickTimeoutMs) ? 0 : -1;
}

void make_seqnum_data_out(void) {
    if (seqNum > 1000)
        seqNum = 0;
    if (low_batt_status)
        seqNum = 7777;
    if (stanby_batt_status)
        seqNum = 5555;
    if (__trigger_type_for_seqNum != 0) {
        seqNum = 1234;
        __trigger_type_for_seqNum = 0;
    }
    __rsensordata->num = static_cast<int16_t>(seqNum);
    ++seqNum;
}

bool sys_imu_sensor_fault(void) {
    return __sys_imu_fail_run >= kFaultAfter;
}
