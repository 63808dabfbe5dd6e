// I2C1 with the vendor HAL's blocking transfers, and the motion sensor behind it.
#include <gtest/gtest.h>

#include "devices_fixture.h"
#include "sim/board.h"

namespace {

using devices::hi2c1;
using devices::sleep_until;
using sim::DeviceFaultKind;
using sim::Time;

constexpr uint16_t kSensor = 0xD0;
constexpr Time kMs = 1000000;

void write_reg(uint8_t reg, uint8_t value) {
    HAL_I2C_Mem_Write(&hi2c1, kSensor, reg, I2C_MEMADD_SIZE_8BIT, &value, 1, 100);
}

// The device image's start: both sensors in low-noise mode, ±500 °/s and ±4 g at 800 Hz.
void start_sensor(uint8_t gyro_config = 0x46, uint8_t accel_config = 0x46) {
    write_reg(0x1F, 0x0F);
    write_reg(0x20, gyro_config);
    write_reg(0x21, accel_config);
}

// The six axes of a 12-byte read from 0x0B, each high byte first.
std::array<int16_t, 6> axes(const uint8_t *b) {
    std::array<int16_t, 6> v{};
    for (int k = 0; k < 6; ++k) v[k] = static_cast<int16_t>((b[2 * k] << 8) | b[2 * k + 1]);
    return v;
}

std::array<int16_t, 6> read_axes() {
    uint8_t b[12] = {};
    EXPECT_EQ(HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x0B, I2C_MEMADD_SIZE_8BIT, b, 12, 100), HAL_OK);
    return axes(b);
}

// A run whose firmware sets I2C1 up as the device image does and gives the sensor its
// 2 ms to come up before `body`; the sensor plays the recording `csv`, if one is given.
fixture::Run sensor_run(Time length, const std::string &csv, std::function<void()> body,
                        sim::DeviceSetup setup = {}) {
    std::string err;
    EXPECT_TRUE(csv.empty() || sim::parse_motion_recording(csv, "r.csv", setup.motion, err)) << err;
    return devices::run(
        [body] {
            HAL_Init();
            devices::init_i2c();
            sleep_until(2 * kMs);
            body();
            fixture::idle();
        },
        length, std::move(setup));
}

// Bus time from the timing register: one bit period is (PRESC + 1)(SCLL + SCLH + 2)
// kernel clocks plus 2 × (3 + DNF) synchronisation clocks plus 2 × 50 ns with the
// analog filter; a START, a repeated START and a STOP take one bit each, a byte nine.
TEST(I2cBus, TransferTimesFollowTheTimingRegisterAndFilters) {
    struct Row {
        const char *what;
        uint32_t timing;
        bool analog;
        uint32_t dnf;
        int op;  // 0 Mem_Read 12, 1 Transmit 1, 2 Receive 12, 3 Mem_Write 1
        long long dur_ns;
    } const rows[] = {
        {"device setting, 12-byte read", 0x00506682, true, 0, 0, 138 * 5100},
        {"register pointer write", 0x00506682, true, 0, 1, 20 * 5100},
        {"12-byte receive", 0x00506682, true, 0, 2, 119 * 5100},
        {"register write", 0x00506682, true, 0, 3, 29 * 5100},
        {"analog filter off", 0x00506682, false, 0, 0, 138 * 5000},
        {"digital filter 15", 0x00506682, true, 15, 0, 138 * 5725},
        {"400 kHz setting", 0x00702991, true, 0, 0, 557750 + 138 * 100},
        {"100 kHz setting", 0x10909CEC, true, 0, 0, 2282750 + 138 * 100},
    };
    for (const Row &row : rows) {
        auto r = devices::run(
            [&] {
                HAL_Init();
                devices::init_i2c(row.timing, row.analog, row.dnf);
                sleep_until(2 * kMs);
                uint8_t b[12] = {0x0B, 0};
                switch (row.op) {
                    case 0:
                        HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x0B, 1, b, 12, 100);
                        break;
                    case 1:
                        HAL_I2C_Master_Transmit(&hi2c1, kSensor, b, 1, 100);
                        break;
                    case 2:
                        HAL_I2C_Master_Receive(&hi2c1, kSensor, b, 12, 100);
                        break;
                    default:
                        HAL_I2C_Mem_Write(&hi2c1, kSensor, 0x20, 1, b, 1, 100);
                }
                fixture::idle();
            },
            5 * kMs, {});
        const auto t = fixture::records(r.trace, "i2c");
        ASSERT_EQ(t.size(), 1u) << row.what;
        EXPECT_EQ(fixture::field(t[0], "dur_ns"), row.dur_ns) << row.what;
        EXPECT_NE(t[0].find("\"result\":\"ok\""), std::string::npos) << row.what << t[0];
    }
}

// What the vendor's code answers, and when, in each situation the firmware meets.
TEST(I2cBus, VendorOutcomesAndTheirTimes) {
    constexpr uint32_t kAf = HAL_I2C_ERROR_AF;
    constexpr uint32_t kTimeout = HAL_I2C_ERROR_TIMEOUT;
    constexpr Time kNak = 11 * 5100;  // address byte, NACK and STOP
    enum Change { kNone, kNack, kStuck, kBusyHandle, kLockedHandle };
    struct Row {
        const char *what;
        HAL_StatusTypeDef status;
        uint32_t error;
        Time min_ns, max_ns;  // the call's duration
        Change change = kNone;
        Time fault_at = 0;
        uint32_t timeout = 100;
        uint16_t address = kSensor, size = 12;
        Time call_at = 2 * kMs;
    } const rows[] = {
        {"sensor not yet up (1 ms)", HAL_ERROR, kAf, kNak, kNak + 1000, kNone, 0, 100, kSensor, 12,
         0},
        {"no device at 0x69", HAL_ERROR, kAf, kNak, kNak + 1000, kNone, 0, 100, 0xD2},
        {"NACK fault", HAL_ERROR, kAf, kNak, kNak + 1000, kNack},
        {"bus stuck before the call: the 25 ms busy wait", HAL_ERROR, kTimeout, 25 * kMs, 27 * kMs,
         kStuck, kMs, 1000},
        {"bus stuck during the read: the call's own time-out", HAL_ERROR, kTimeout, 5 * kMs,
         7 * kMs, kStuck, 2 * kMs + 300000, 5},
        {"time-out 0", HAL_ERROR, kTimeout, 0, 1000, kNone, 0, 0},
        {"handle busy", HAL_BUSY, 0, 0, 1000, kBusyHandle},
        {"handle locked", HAL_BUSY, 0, 0, 1000, kLockedHandle},
        {"no data size", HAL_ERROR, HAL_I2C_ERROR_INVALID_PARAM, 0, 1000, kNone, 0, 100, kSensor,
         0},
    };
    for (const Row &row : rows) {
        HAL_StatusTypeDef status = HAL_OK;
        Time took = 0;
        sim::DeviceSetup setup;
        if (row.change == kNack || row.change == kStuck)
            setup.plan.faults = {devices::fault(row.fault_at, row.change == kNack
                                                                  ? DeviceFaultKind::I2cNack
                                                                  : DeviceFaultKind::I2cStuck)};
        auto r = devices::run(
            [&] {
                HAL_Init();
                devices::init_i2c();
                sleep_until(row.call_at);
                if (row.change == kBusyHandle)
                    hi2c1.State = HAL_I2C_STATE_BUSY_RX;
                if (row.change == kLockedHandle)
                    hi2c1.Lock = HAL_LOCKED;
                uint8_t b[12];
                const Time t0 = sim::board().now();
                status = HAL_I2C_Mem_Read(&hi2c1, row.address, 0x0B, 1, b, row.size, row.timeout);
                took = sim::board().now() - t0;
                fixture::idle();
            },
            100 * kMs, setup);
        EXPECT_EQ(status, row.status) << row.what;
        EXPECT_GE(took, row.min_ns) << row.what;
        EXPECT_LE(took, row.max_ns) << row.what;
        if (row.status != HAL_BUSY) {
            EXPECT_EQ(hi2c1.ErrorCode, row.error) << row.what;
            EXPECT_EQ(hi2c1.State, HAL_I2C_STATE_READY) << row.what;
        }
    }
}

// A time-out leaves the peripheral in its transfer, holding the bus, as the
// vendor's code leaves it on the chip: only disabling the peripheral frees it.
TEST(I2cBus, AStuckBusHoldsUntilThePeripheralIsReset) {
    std::vector<std::pair<HAL_StatusTypeDef, Time>> calls;
    sim::DeviceSetup setup;
    setup.plan.faults = {devices::fault(5 * kMs, DeviceFaultKind::I2cStuck),
                         devices::fault(50 * kMs, DeviceFaultKind::I2cStuck, 0)};
    auto r = devices::run(
        [&] {
            HAL_Init();
            devices::init_i2c();
            auto call = [&] {
                uint8_t b[12];
                const Time t0 = sim::board().now();
                const HAL_StatusTypeDef st = HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x0B, 1, b, 12, 5);
                calls.emplace_back(st, (sim::board().now() - t0) / kMs);
            };
            sleep_until(5 * kMs - 200000);
            call();  // stalls at 5 ms, gives up after its 5 ms
            call();  // the bus shows busy: 25 ms
            HAL_I2C_Init(&hi2c1);
            call();  // freed, but no START while the line is held: 5 ms, held again
            sleep_until(60 * kMs);
            call();  // the line came free at 50 ms, the peripheral still holds: 25 ms
            HAL_I2C_Init(&hi2c1);
            call();  // works again
            fixture::idle();
        },
        200 * kMs, setup);
    // Whole milliseconds; the HAL's 25 ms wait ends after 25 or 26 of them.
    const std::vector<std::pair<HAL_StatusTypeDef, Time>> expected = {
        {HAL_ERROR, 5}, {HAL_ERROR, 26}, {HAL_ERROR, 5}, {HAL_ERROR, 26}, {HAL_OK, 0}};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(fixture::records(r.trace, "i2c_stuck").size(), 2u);
}

TEST(I2cBus, DeviceReadyProbeCountsItsTrials) {
    HAL_StatusTypeDef present = HAL_ERROR, absent = HAL_OK;
    uint32_t absent_error = 0;
    Time absent_took = 0;
    sensor_run(5 * kMs, "", [&] {
        present = HAL_I2C_IsDeviceReady(&hi2c1, kSensor, 3, 100);
        const Time t0 = sim::board().now();
        absent = HAL_I2C_IsDeviceReady(&hi2c1, 0xD2, 3, 100);
        absent_took = sim::board().now() - t0;
        absent_error = hi2c1.ErrorCode;
    });
    EXPECT_EQ(present, HAL_OK);
    EXPECT_EQ(absent, HAL_ERROR);
    EXPECT_EQ(absent_error, HAL_I2C_ERROR_TIMEOUT);
    EXPECT_GE(absent_took, 3u * 11 * 5100);
    EXPECT_LE(absent_took, 3u * 11 * 5100 + 1000);
}

// Identity, the register pointer kept across a STOP, any burst length, data only
// once each sensor has started, and the device's axis order.
TEST(MotionSensor, RegistersPointerAndStartUp) {
    uint8_t id = 0;
    std::array<int16_t, 6> before{}, accel_only{}, both{}, split{};
    uint8_t tail[2] = {0xAA, 0xAA}, config[2] = {};
    auto r = sensor_run(60 * kMs, "time_ms,ax,ay,az,gx,gy,gz\n0,100,-200,300,-400,500,-600\n", [&] {
        HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x75, 1, &id, 1, 100);
        before = read_axes();
        start_sensor();
        const Time on = sim::board().now();
        sleep_until(on + 15 * kMs);
        accel_only = read_axes();
        sleep_until(on + 35 * kMs);
        both = read_axes();
        // Pointer by a one-byte write, then two reads that continue one another.
        uint8_t reg = 0x0B, b[14];
        HAL_I2C_Master_Transmit(&hi2c1, kSensor, &reg, 1, 100);
        HAL_I2C_Master_Receive(&hi2c1, kSensor, b, 6, 100);
        HAL_I2C_Master_Receive(&hi2c1, kSensor, b + 6, 8, 100);
        split = axes(b);
        tail[0] = b[12];
        tail[1] = b[13];
        HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x20, 1, config, 2, 100);
    });
    EXPECT_EQ(id, 0x67);
    const std::array<int16_t, 6> invalid = {-32768, -32768, -32768, -32768, -32768, -32768};
    EXPECT_EQ(before, invalid);
    const std::array<int16_t, 6> accel = {100, -200, 300, -32768, -32768, -32768};
    EXPECT_EQ(accel_only, accel);
    const std::array<int16_t, 6> all = {100, -200, 300, -400, 500, -600};
    EXPECT_EQ(both, all);
    EXPECT_EQ(split, all);
    EXPECT_EQ(tail[0], 0);  // 0x17, 0x18 follow the data
    EXPECT_EQ(tail[1], 0);
    EXPECT_EQ(config[0], 0x46);
    EXPECT_EQ(config[1], 0x46);
    EXPECT_EQ(fixture::records(r.trace, "sensor_mode").size(), 1u);
}

// The recording's ±4 g / ±500 °/s counts at the configured full scale: doubled at
// the narrowest range (saturating at ±32767), divided at the wider ones, rounded
// half away from zero.
TEST(MotionSensor, FullScaleRescalesTheRecording) {
    struct Row {
        uint8_t fs;
        std::array<int16_t, 6> expect;
    } const rows[] = {
        {0, {5000, -5000, 1, -1, 1, -1}},    // ±16 g, ±2000 °/s: / 4
        {1, {10000, -10000, 2, -2, 1, -1}},  // ±8 g, ±1000 °/s: / 2
        {2, {20000, -20000, 3, -3, 2, -2}},  // the recording's own range
        {3, {32767, -32767, 6, -6, 4, -4}},  // ±2 g, ±250 °/s: × 2
    };
    for (const Row &row : rows) {
        std::array<int16_t, 6> got{};
        sensor_run(50 * kMs, "0,20000,-20000,3,-3,2,-2\n", [&] {
            const uint8_t config = static_cast<uint8_t>((row.fs << 5) | 0x06);
            start_sensor(config, config);
            sleep_until(40 * kMs);
            got = read_axes();
        });
        EXPECT_EQ(got, row.expect) << "full scale code " << int(row.fs);
    }
}

// A recording at its own rate, sampled at the sensor's output data rate: held, or
// on a straight line between its samples.
TEST(MotionSensor, RecordingIsResampledAtTheOutputDataRate) {
    struct Row {
        sim::Resampling resampling;
        uint8_t odr;  // 6: 800 Hz, 10: 50 Hz
        Time read_at;
        int16_t lo, hi;  // accel X read
    } const rows[] = {
        {sim::Resampling::Hold, 6, 105 * kMs, 1000, 1000},  // latest sample: 100 ms
        {sim::Resampling::Hold, 6, 125 * kMs, 2000, 2000},
        {sim::Resampling::Linear, 6, 105 * kMs, 1188, 1250},  // 50 a ms, a 1.25 ms grid
        {sim::Resampling::Linear, 6, 130 * kMs, 2438, 2500},
        {sim::Resampling::Linear, 10, 130 * kMs, 1500, 2500},  // a 20 ms grid
        {sim::Resampling::Hold, 6, 900 * kMs, 5000, 5000},     // past the end: held
    };
    for (const Row &row : rows) {
        int16_t got = 0;
        sim::DeviceSetup setup;
        setup.plan.motion.resampling = row.resampling;
        const std::string ramp =
            "# ramp\n0,0,0,0,0,0,0\n100,1000,0,0,0,0,0\n120,2000,0,0,0,0,0\n"
            "140,3000,0,0,0,0,0\n500,5000,0,0,0,0,0\n";
        sensor_run(
            row.read_at + 5 * kMs, ramp,
            [&] {
                const uint8_t config = static_cast<uint8_t>(0x40 | row.odr);
                start_sensor(config, config);
                sleep_until(row.read_at);
                got = read_axes()[0];
            },
            setup);
        EXPECT_GE(got, row.lo) << row.read_at;
        EXPECT_LE(got, row.hi) << row.read_at;
    }
}

// A reset (the scenario's fault, or the soft reset bit) returns the sensor to its
// power-on state: it answers again after 1 ms, switched off, configuration at its
// defaults.
TEST(MotionSensor, ResetReturnsToThePowerOnState) {
    for (bool soft : {false, true}) {
        HAL_StatusTypeDef during = HAL_OK;
        uint8_t after[3] = {};
        std::array<int16_t, 6> data{};
        sim::DeviceSetup setup;
        if (!soft)
            setup.plan.faults = {devices::fault(50 * kMs, DeviceFaultKind::SensorReset)};
        auto r = sensor_run(
            60 * kMs, "",
            [&] {
                start_sensor();
                sleep_until(50 * kMs);
                if (soft)
                    write_reg(0x02, 0x10);
                uint8_t b;
                during = HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x75, 1, &b, 1, 100);
                sleep_until(52 * kMs);
                HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x1F, 1, after, 3, 100);
                data = read_axes();
            },
            setup);
        EXPECT_EQ(during, HAL_ERROR) << soft;
        EXPECT_EQ(after[0], 0x00) << soft;
        EXPECT_EQ(after[1], 0x06) << soft;
        EXPECT_EQ(after[2], 0x06) << soft;
        EXPECT_EQ(data[0], -32768) << soft;
        EXPECT_NE(r.result.summary.text().find("1 resets"), std::string::npos) << soft;
    }
}

}  // namespace
