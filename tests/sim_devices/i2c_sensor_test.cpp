// I2C1 with the vendor HAL's blocking transfers, and the motion sensor behind it.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices_fixture.h"
#include "sim/board.h"

namespace {

using devices::hi2c1;
using devices::sleep_until;
using sim::DeviceFaultKind;
using sim::Time;

constexpr uint16_t kSensor = 0xD0;
constexpr Time kMs = 1000000;

// The device image's start: both sensors in low-noise mode, ±500 °/s and ±4 g at 800 Hz
// unless told otherwise.
void start_sensor(uint8_t config = 0x46) {
    uint8_t values[] = {0x0F, config, config};  // registers 0x1F, 0x20, 0x21
    for (uint8_t i = 0; i < 3; ++i)
        HAL_I2C_Mem_Write(&hi2c1, kSensor, 0x1F + i, I2C_MEMADD_SIZE_8BIT, &values[i], 1, 100);
}

// The six axes of a 12-byte read from 0x0B, each high byte first.
std::array<int16_t, 6> read_axes() {
    uint8_t b[12] = {};
    EXPECT_EQ(HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x0B, I2C_MEMADD_SIZE_8BIT, b, 12, 100), HAL_OK);
    std::array<int16_t, 6> v{};
    for (int k = 0; k < 6; ++k) v[k] = static_cast<int16_t>((b[2 * k] << 8) | b[2 * k + 1]);
    return v;
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
// The images' setting for each transfer they make, and one setting they never use.
TEST(I2cBus, TransferTimesFollowTheTimingRegisterAndFilters) {
    // A 12-byte register read, a register pointer write and a 12-byte receive.
    const auto durations = [](uint32_t timing, bool analog, uint32_t dnf) {
        auto r = devices::run(
            [&] {
                HAL_Init();
                devices::init_i2c(timing, analog, dnf);
                sleep_until(2 * kMs);
                uint8_t b[12] = {0x0B, 0};
                HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x0B, 1, b, 12, 100);
                HAL_I2C_Master_Transmit(&hi2c1, kSensor, b, 1, 100);
                HAL_I2C_Master_Receive(&hi2c1, kSensor, b, 12, 100);
                fixture::idle();
            },
            10 * kMs, {});
        std::vector<long long> out;
        for (const std::string &t : fixture::records(r.trace, "i2c")) {
            EXPECT_NE(t.find("\"result\":\"ok\""), std::string::npos) << t;
            out.push_back(fixture::field(t, "dur_ns"));
        }
        return out;
    };
    EXPECT_EQ(durations(0x00506682, true, 0),
              (std::vector<long long>{138 * 5100, 20 * 5100, 119 * 5100}));
    // PRESC 1 (100 kHz), no analog filter, digital filter 15: 824 clocks of 48 MHz a bit.
    EXPECT_EQ(durations(0x10909CEC, false, 15).at(0), 138 * 824 * 1000 / 48);
}

// What the vendor's code answers, and when, in each situation the firmware meets; a
// device-ready probe tries as many times as it is told.
TEST(I2cBus, VendorOutcomesAndTheirTimes) {
    constexpr uint32_t kAf = HAL_I2C_ERROR_AF;
    constexpr uint32_t kTimeout = HAL_I2C_ERROR_TIMEOUT;
    constexpr Time kNak = 11 * 5100;  // address byte, NACK (or ACK) and STOP
    enum Change { kNone, kNack, kStuck, kBusyHandle, kProbe };  // kProbe: 3 trials, not a read
    struct Row {
        const char *what;
        HAL_StatusTypeDef status;
        uint32_t error;
        Time min_ns, max_ns;  // the call's duration
        Change change = kNone;
        uint32_t timeout = 100;
        uint16_t address = kSensor, size = 12;
        Time call_at = 2 * kMs;
    } const rows[] = {
        {"sensor not yet up (1 ms)", HAL_ERROR, kAf, kNak, kNak + 1000, kNone, 100, kSensor, 12, 0},
        {"no device at 0x69", HAL_ERROR, kAf, kNak, kNak + 1000, kNone, 100, 0xD2},
        {"NACK fault", HAL_ERROR, kAf, kNak, kNak + 1000, kNack},
        {"bus stuck since 1 ms: the 25 ms busy wait", HAL_ERROR, kTimeout, 25 * kMs, 27 * kMs,
         kStuck, 1000},
        {"time-out 0", HAL_ERROR, kTimeout, 0, 1000, kNone, 0},
        {"handle busy", HAL_BUSY, 0, 0, 1000, kBusyHandle},
        {"no data size", HAL_ERROR, HAL_I2C_ERROR_INVALID_PARAM, 0, 1000, kNone, 100, kSensor, 0},
        {"probe, sensor present", HAL_OK, 0, kNak, kNak + 1000, kProbe},
        {"probe, no device at 0x69", HAL_ERROR, kTimeout, 3 * kNak, 3 * kNak + 1000, kProbe, 100,
         0xD2},
    };
    for (const Row &row : rows) {
        HAL_StatusTypeDef status = HAL_OK;
        Time took = 0;
        sim::DeviceSetup setup;
        if (row.change == kNack)
            setup.plan.faults = {devices::fault(0, DeviceFaultKind::I2cNack)};
        if (row.change == kStuck)
            setup.plan.faults = {devices::fault(kMs, DeviceFaultKind::I2cStuck)};
        auto r = devices::run(
            [&] {
                HAL_Init();
                devices::init_i2c();
                sleep_until(row.call_at);
                if (row.change == kBusyHandle)
                    hi2c1.State = HAL_I2C_STATE_BUSY_RX;
                uint8_t b[12];
                const Time t0 = sim::board().now();
                status =
                    row.change == kProbe
                        ? HAL_I2C_IsDeviceReady(&hi2c1, row.address, 3, row.timeout)
                        : HAL_I2C_Mem_Read(&hi2c1, row.address, 0x0B, 1, b, row.size, row.timeout);
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

// The recording as the sensor gives it. Its ±4 g / ±500 °/s counts at the configured
// full scale: doubled at the narrowest range (saturating at ±32767), divided at the
// wider ones, rounded half away from zero. Its own rate sampled at the sensor's output
// data rate: held, or on a straight line between its samples.
TEST(MotionSensor, RecordingAtTheConfiguredScaleAndRate) {
    const char *one = "0,20000,-20000,3,-3,2,-2\n";
    const char *ramp =
        "# ramp\n0,0,0,0,0,0,0\n100,1000,0,0,0,0,0\n120,2000,0,0,0,0,0\n"
        "140,3000,0,0,0,0,0\n500,5000,0,0,0,0,0\n";
    using sim::Resampling;
    struct Row {
        const char *what;
        const char *csv;
        Resampling resampling;
        uint8_t config;  // full scale in bits 6:5; output data rate 6: 800 Hz, 10: 50 Hz
        Time read_at;
        std::array<int16_t, 6> expect;
        int16_t spread = 0;  // accel X may be up to this much above what is expected
    } const rows[] = {
        {"±16 g, ±2000 °/s: / 4",
         one,
         Resampling::Hold,
         0x06,
         40 * kMs,
         {5000, -5000, 1, -1, 1, -1}},
        {"the recording's own range",
         one,
         Resampling::Hold,
         0x46,
         40 * kMs,
         {20000, -20000, 3, -3, 2, -2}},
        {"±2 g, ±250 °/s: × 2",
         one,
         Resampling::Hold,
         0x66,
         40 * kMs,
         {32767, -32767, 6, -6, 4, -4}},
        {"held: the sample of 100 ms", ramp, Resampling::Hold, 0x46, 105 * kMs, {1000}},
        {"held: the sample of 120 ms", ramp, Resampling::Hold, 0x46, 125 * kMs, {2000}},
        {"linear: 50 a ms, a 1.25 ms grid", ramp, Resampling::Linear, 0x46, 105 * kMs, {1188}, 62},
        {"linear at 130 ms", ramp, Resampling::Linear, 0x46, 130 * kMs, {2438}, 62},
        {"linear at 50 Hz: a 20 ms grid", ramp, Resampling::Linear, 0x4A, 130 * kMs, {1500}, 1000},
        {"held past the end", ramp, Resampling::Hold, 0x46, 900 * kMs, {5000}},
    };
    for (const Row &row : rows) {
        std::array<int16_t, 6> got{};
        sim::DeviceSetup setup;
        setup.plan.motion.resampling = row.resampling;
        sensor_run(
            row.read_at + 5 * kMs, row.csv,
            [&] {
                start_sensor(row.config);
                sleep_until(row.read_at);
                got = read_axes();
            },
            setup);
        EXPECT_GE(got[0], row.expect[0]) << row.what;
        EXPECT_LE(got[0], row.expect[0] + row.spread) << row.what;
        EXPECT_TRUE(std::equal(got.begin() + 1, got.end(), row.expect.begin() + 1)) << row.what;
    }
}

// The scenario's sensor reset returns the sensor to its power-on state: it answers
// again after 1 ms, switched off, configuration at its defaults.
TEST(MotionSensor, ResetReturnsToThePowerOnState) {
    HAL_StatusTypeDef during = HAL_OK;
    uint8_t after[3] = {};
    std::array<int16_t, 6> data{};
    sim::DeviceSetup setup;
    setup.plan.faults = {devices::fault(50 * kMs, DeviceFaultKind::SensorReset)};
    auto r = sensor_run(
        60 * kMs, "",
        [&] {
            start_sensor();
            sleep_until(50 * kMs);
            uint8_t b;
            during = HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x75, 1, &b, 1, 100);
            sleep_until(52 * kMs);
            HAL_I2C_Mem_Read(&hi2c1, kSensor, 0x1F, 1, after, 3, 100);
            data = read_axes();
        },
        setup);
    EXPECT_EQ(during, HAL_ERROR);
    EXPECT_EQ(after[0], 0x00);
    EXPECT_EQ(after[1], 0x06);
    EXPECT_EQ(after[2], 0x06);
    EXPECT_EQ(data[0], -32768);
    EXPECT_NE(r.result.summary.text().find("1 resets"), std::string::npos);
}

}  // namespace
