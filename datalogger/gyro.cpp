// The motion sensor and the firing.
//
// Inside the tick every transfer must fit the 10 ms period: a sample takes 0.7 ms
// on the bus, so its time-outs are 2 ms, and a bus that shows busy is not waited for
// (the HAL would wait 25 ms for it before each transfer).
#include "gyro.h"

#include "exflash.h"
#include "flash.h"
#include "hs_uart5.h"

I2C_HandleTypeDef *Handle = nullptr;
uint8_t gyroBuff = 0;
uint8_t GyroAddr = 0xD0;

int32_t g_nTriggerONCount = 20;
int32_t g_nTriggerFireCount = 0;
bool g_bStopTriggerPin = false;

namespace {

constexpr uint8_t kRegData = 0x0B;  // accel X, Y, Z, gyro X, Y, Z big-endian, 2 more bytes
constexpr uint8_t kRegPower = 0x1F;
constexpr uint8_t kRegGyroConfig = 0x20;
constexpr uint8_t kRegAccelConfig = 0x21;
constexpr uint8_t kRegWhoAmI = 0x75;
constexpr uint8_t kWhoAmI = 0x67;
constexpr uint8_t kPowerLowNoise = 0x0F;
constexpr uint8_t kPowerOff = 0x00;
constexpr uint8_t kGyro500Dps800Hz = 0x46;
constexpr uint8_t kAccel4G800Hz = 0x46;

constexpr uint32_t kStartTimeoutMs = 1000;
constexpr uint32_t kTickTimeoutMs = 2;
constexpr uint32_t kRecoverEvery = 10;  // failed reads (200 ms) between set-ups
constexpr uint32_t kFaultAfter = 25;    // failed reads (500 ms) before the fault shows

uint32_t __gyro_fail_run = 0;    // consecutive failed reads
uint32_t __gyro_read_error = 0;  // failed reads since start-up

bool bus_held() {
    return __HAL_I2C_GET_FLAG(Handle, I2C_FLAG_BUSY) != RESET;
}

bool write_register(uint8_t reg, uint8_t value, uint32_t timeout) {
    if (bus_held())
        return false;
    uint8_t b[2] = {reg, value};
    return HAL_I2C_Master_Transmit(Handle, GyroAddr, b, 2, timeout) == HAL_OK;
}

// The sensor wants 200 µs after a power mode change before the next register write.
void configure(uint32_t timeout) {
    write_register(kRegPower, kPowerLowNoise, timeout);
    HAL_Delay(1);
    write_register(kRegGyroConfig, kGyro500Dps800Hz, timeout);
    write_register(kRegAccelConfig, kAccel4G800Hz, timeout);
}

int16_t be16(const uint8_t *p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}

// 16-bit negation: −(−32768) stays −32768.
int16_t negate(int16_t v) {
    return static_cast<int16_t>(-static_cast<uint16_t>(v));
}

bool no_data(const int16_t *axes) {
    return axes[0] == GYRO_NO_DATA && axes[1] == GYRO_NO_DATA && axes[2] == GYRO_NO_DATA;
}

int read_once(sensorData *out) {
    uint8_t reg = kRegData;
    if (bus_held() || HAL_I2C_Master_Transmit(Handle, GyroAddr, &reg, 1, kTickTimeoutMs) != HAL_OK)
        return -1;
    uint8_t b[14];
    if (bus_held() ||
        HAL_I2C_Master_Receive(Handle, GyroAddr, b, sizeof b, kTickTimeoutMs) != HAL_OK)
        return -2;
    int16_t s[6];
    for (int i = 0; i < 6; ++i) s[i] = be16(b + 2 * i);
    // A sensor that is off, starting or reset reports −32768 on every axis. A single
    // axis at −32768 is a reading at the end of its range (a hard impact), not a
    // failure, and must reach the detector.
    if (no_data(s) || no_data(s + 3))
        return -3;
    // This board's sensor is turned half a turn about its X axis.
    out->accX = s[0];
    out->accY = negate(s[1]);
    out->accZ = negate(s[2]);
    out->gyroX = s[3];
    out->gyroY = negate(s[4]);
    out->gyroZ = negate(s[5]);
    return 0;
}

// Sets the bus up again (a transfer that timed out leaves the peripheral holding
// it), then the sensor (one that reset itself is back to off and its defaults).
void recover() {
    HAL_I2C_DeInit(Handle);
    HAL_I2C_Init(Handle);
    HAL_I2CEx_ConfigAnalogFilter(Handle, I2C_ANALOGFILTER_ENABLE);
    HAL_I2CEx_ConfigDigitalFilter(Handle, 0);
    configure(kTickTimeoutMs);
}

void set_pin(GPIO_TypeDef *port, uint16_t pin, bool high) {
    HAL_GPIO_WritePin(port, pin, high ? GPIO_PIN_SET : GPIO_PIN_RESET);
}

}  // namespace

int GyroInit(void) {
    Handle = &hi2c1;
    gyroBuff = 0;
    HAL_I2C_Mem_Read(Handle, GyroAddr, kRegWhoAmI, I2C_MEMADD_SIZE_8BIT, &gyroBuff, 1, 100);
    UART5_Printf("gyro ID=0x%x \r\n", gyroBuff);
    if (gyroBuff != kWhoAmI)
        return 0;
    configure(kStartTimeoutMs);
    return 1;
}

int ReadSensorData2(sensorData *out) {
    const int r = read_once(out);
    if (r == 0) {
        if (__gyro_fail_run >= kFaultAfter)
            UART5_Printf("Gyro sensor back after %lu failed reads \r\n",
                         static_cast<unsigned long>(__gyro_fail_run));
        __gyro_fail_run = 0;
        return 0;
    }
    *out = sensorData{GYRO_NO_DATA, GYRO_NO_DATA, GYRO_NO_DATA,
                      GYRO_NO_DATA, GYRO_NO_DATA, GYRO_NO_DATA};
    ++__gyro_read_error;
    ++__gyro_fail_run;
    if (__gyro_fail_run == kFaultAfter)
        UART5_Printf("Gyro sensor read fail!!!! c=%lu \r\n",
                     static_cast<unsigned long>(__gyro_read_error));
    if (__gyro_fail_run % kRecoverEvery == 0)
        recover();
    return r;
}

bool Gyro_Fault(void) {
    return __gyro_fail_run >= kFaultAfter;
}

void Gyro_SleepMode(void) {
    Handle = &hi2c1;
    write_register(kRegPower, kPowerOff, kTickTimeoutMs);
}

void trigger_process_start(uint8_t type) {
    set_pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, false);
    set_pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, true);
    set_pin(TRIGGER_OUT1_GPIO_Port, TRIGGER_OUT1_Pin, true);
    set_pin(TRIGGER_OUT2_GPIO_Port, TRIGGER_OUT2_Pin, true);
    UART5_SendTriggerFrame(type);
    set_pin(TRIGGER_OUT3_GPIO_Port, TRIGGER_OUT3_Pin, true);
    g_nTriggerONCount = 0;
    // A failed save is reported by the flash module; the firing goes on.
    Flash_Save_SensorData(type);
    Trigger_Write(type);
    __write_last_trigger_data_time = timer7_10ms_counter + 120;
    __last_trigger_type = type;
    __trigger_type_for_seqNum = type;
    g_bTriggerON = true;
    RF_SendStatus(true);
}

void trigger_process_pulse(void) {
    const int32_t n = g_nTriggerONCount;
    g_nTriggerONCount = n + 1;
    if (n < 4) {
        set_pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, false);
        return;
    }
    set_pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, true);
    if (!g_bStopTriggerPin)
        UART5_Printf("g_bTriggerON = true -----------\r\n");
    g_nTriggerONCount = 0;
    const int32_t m = g_nTriggerFireCount;
    g_nTriggerFireCount = m + 1;
    if (m >= 11)
        g_bStopTriggerPin = true;
}
