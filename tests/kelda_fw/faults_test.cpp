// The device under faults of its parts, and the behaviours that keep it safe: a held
// manual input, an erase error inside the firing, invalid sensor data, a full sample
// ring, a heartbeat that fails.
#include <gtest/gtest.h>

#include "support.h"

namespace {

using namespace kfw;

std::vector<Time> sensor_reads(const Result &r) {
    std::vector<Time> out;
    for (const Record *p : r.of("i2c"))
        if (p->str("op") == "read" && p->str("result") == "ok")
            out.push_back(p->t);
    return out;
}

const std::string kStairs = "motion " + recording("stairs-then-collision-fall.csv") + "\n";

// While the external flash fails or hangs, the sensor's bus is held, the radio module
// is missing (start-up then never ends) or the internal flash will not erase when the
// fall comes, the device samples at 50 Hz, fires on the fall within the tick that read
// it, with output 3 1.6 ms after outputs 1 and 2, and no tick but the firing's
// overruns. A failed erase is reported, nothing is programmed into the area that did
// not erase, and the firing goes on: its record, the post-firing messages.
TEST(Faults, SamplingAndFiringSurviveDeviceFaults) {
    struct Case {
        const char *name, *events;
        Time lost_from, lost_to;  // no samples expected here
        std::size_t erase_errors;
    } cases[] = {
        {"flash programs fail", "at 20s fault nor-program always\n", 0, 0, 0},
        {"flash stuck busy", "at 20s fault nor-stuck-busy\n", 0, 0, 0},
        {"sensor bus held", "at 20s fault i2c-stuck\nat 22s fault i2c-stuck off\n", 20 * kS,
         22300 * kMs, 0},
        {"radio module absent", "at 0 radio absent\n", 0, 0, 0},
        {"internal flash erase fails", "at 30s fault intflash-erase always\n", 0, 0, 2},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        const Result r = run(scratch("faults") / "board", scenario("42s", kStairs + row.events));
        ASSERT_EQ(r.status, 0) << r.summary;
        const auto reads = sensor_reads(r);
        for (Time s = 5 * kS; s < 37 * kS; s += kS) {
            if (s + kS > row.lost_from && s < row.lost_to)
                continue;
            EXPECT_NEAR(static_cast<double>(between(reads, s, s + kS)), 50, 1) << s / kS;
        }
        if (row.lost_to != 0) {
            EXPECT_EQ(between(reads, row.lost_from + 50 * kMs, row.lost_to - 350 * kMs), 0u);
        }
        const auto out1 = r.edges("PA9", 1), out3 = r.edges("PA8", 1);
        ASSERT_EQ(out1.size(), 1u);
        ASSERT_EQ(out3.size(), 1u);
        EXPECT_NEAR(static_cast<double>(out3[0] - out1[0]), 1600e3, 1e3);
        Time last_read = 0;
        for (Time t : reads)
            if (t < out1[0])
                last_read = t;
        EXPECT_EQ(r.tick_at(out1[0]), r.tick_at(last_read));
        EXPECT_NE(r.note("firing").find("type 7"), std::string::npos) << r.summary;
        EXPECT_NE(r.note("tick").find(" 1 overruns"), std::string::npos) << r.note("tick");
        EXPECT_NE(r.note("phone lines").find("(1 firing)"), std::string::npos) << r.summary;
        EXPECT_EQ(count(r.console, "g_bTriggerON = true"), 12u);
        // The firing's save and the second one.
        EXPECT_EQ(count(r.console, "Eraser Error\r\n"), row.erase_errors);
        if (row.erase_errors != 0) {
            EXPECT_TRUE(r.of("intflash_program").empty());
            const Decoded f = decode(r.board, 1, 1);
            bool recorded = false;
            for (const Row *x : f.log("power_cycle")) recorded |= f.value(*x, "kind") == 2;
            EXPECT_TRUE(recorded);
        }
    }
}

// The manual input acts only when held for a second: a half-second press does
// nothing; a held one stops the tick, erases the stored trigger data, keeps the
// device identity, and blinks the status LED until reset.
TEST(Mends, ManualInputActsOnlyWhenHeldAndKeepsTheIdentity) {
    const fs::path d = scratch("manual");
    ASSERT_EQ(run(d / "board", scenario("42s", kStairs), false).status, 0);  // trigger data
    constexpr long kArea = 256 * 1024 - 4096;
    {
        std::fstream f(d / "board" / "intflash.bin",
                       std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(kArea + 3072);
        f.write("SN-0042\0\0\0\0\0\0\0\0\0", 16);
    }
    const Result r = run(d / "board",
                         "version 3\nlength 12s\n"
                         "at 4s pin PB12 0\nat 4.5s pin PB12 1\n"
                         "at 7s pin PB12 0\n");
    ASSERT_EQ(r.status, 0) << r.summary;
    ASSERT_FALSE(r.ticks.empty());
    EXPECT_GT(r.ticks.back(), 7950 * kMs);  // 50 check ticks after the press at 7 s
    EXPECT_LT(r.ticks.back(), 8050 * kMs);
    const auto lit = r.edges("PA10", 1);
    ASSERT_GE(lit.size(), 8u);
    for (std::size_t i = lit.size() - 6; i < lit.size(); ++i)
        EXPECT_NEAR(static_cast<double>(lit[i] - lit[i - 1]), 402e6, 1e6);  // 2 x HAL_Delay(200)
    const std::string area = programs::slurp(d / "board" / "intflash.bin").substr(kArea, 4096);
    EXPECT_EQ(area.substr(0, 2416), std::string(2416, '\xFF'));
    EXPECT_EQ(area.substr(3072, 8), std::string("SN-0042\0", 8));
}

// A sensor that resets itself answers -32768 on every axis (and, while its gyroscope
// starts, on the rates): such reads are failures, never samples. After repeated
// failures the sensor is set up again; while it keeps failing the heartbeat LED
// flashes four times a second. Then the sample log stalls for six seconds (the chip
// stuck busy): the ring keeps its newest 149 samples and gives up only the oldest, in
// one run; logging then goes on.
TEST(Mends, InvalidSensorDataNeverReachesTheDetectorAndAFullRingDropsItsOldest) {
    const Result r =
        run(scratch("sensor") / "board", scenario("36s",
                                                  "at 10s fault sensor-reset\n"
                                                  "at 20s fault i2c-nack always\n"
                                                  "at 23s fault i2c-nack off\n"
                                                  "at 26s fault nor-stuck-busy\n"
                                                  "at 32s fault nor-stuck-busy off\n"));
    ASSERT_EQ(r.status, 0) << r.summary;
    // "N data reads, M of them with data not valid, ..."
    const std::string sensor = r.note("motion sensor");
    const std::size_t invalid = std::stoul(sensor.substr(sensor.find(", ") + 2));
    EXPECT_GT(invalid, 0u) << sensor;
    int configured = 0;  // the sensor set up again after its reset
    for (const Record *p : r.of("i2c"))
        configured += p->t > 10 * kS && p->t < 11 * kS && p->str("wrote") == "1f0f";
    EXPECT_EQ(configured, 1);
    const auto reads = sensor_reads(r);
    EXPECT_GE(between(reads, 10500 * kMs, 11500 * kMs), 48u);
    EXPECT_GE(between(reads, 23500 * kMs, 24500 * kMs), 48u);
    const Decoded f = decode(r.board, 1, 1);
    for (const Row *row : f.log("sensor_data"))
        for (const char *axis : {"accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ"})
            ASSERT_NE(f.value(*row, axis), -32768) << axis;
    // The fault pattern from half a second into the failures until the first good read.
    const auto hb = r.edges("PA11", 1);
    EXPECT_EQ(between(hb, 21 * kS, 23 * kS), 8u);
    EXPECT_EQ(between(hb, 25 * kS, 27 * kS), 2u);
    EXPECT_EQ(count(r.console, "Gyro sensor read fail!!!! no sample for 0.5 s\r\n"), 1u);
    EXPECT_EQ(count(r.console, "Gyro sensor back after"), 1u);
    EXPECT_NE(r.note("tick").find(" 0 overruns"), std::string::npos) << r.note("tick");
    const auto gaps = stamp_gaps(f);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(static_cast<std::size_t>(gaps[0]) + f.log("sensor_data").size(),
              reads.size() - invalid);
    EXPECT_NEAR(static_cast<double>(gaps[0]),
                static_cast<double>(between(reads, 26 * kS, 32 * kS)) - 149, 2);
}

// A heartbeat whose program fails backs its log off for a second; the tick's flash
// write goes to the samples meanwhile instead of waiting for the log.
TEST(Mends, SamplesFlushWhileAFailedHeartbeatBacksOff) {
    const fs::path d = scratch("heartbeat");
    const auto heartbeat = [](const Record *p) {
        const long long a = p->num("addr");
        return a >= 2 * 4096 && a < 4 * 4096 && p->num("len") == 8;
    };
    const Result plain = run(d / "board", scenario("33s"));
    Time beat = 0, before = 0;
    for (const Record *p : plain.of("nor_program")) {
        if (p->t > 30 * kS && heartbeat(p)) {
            beat = p->t;
            break;
        }
        before = p->t;
    }
    ASSERT_NE(beat, 0u);
    fs::remove_all(d / "board");
    const Result r = run(d / "board", scenario("35s", "at " + std::to_string(before + kMs) +
                                                          "ns fault nor-program 1\n"));
    ASSERT_EQ(r.status, 0) << r.summary;
    const std::size_t failed = r.tick_at(beat);
    std::size_t samples = 0, retried = 0;
    for (const Record *p : r.of("nor_program")) {
        const std::size_t t = r.tick_at(p->t);
        samples += t > failed && t < failed + 90 && p->num("addr") >= 65536;
        if (t > failed && heartbeat(p) && retried == 0)
            retried = t;
    }
    EXPECT_GE(samples, 40u);
    EXPECT_GE(retried, failed + 100);
    EXPECT_LE(retried, failed + 102);
}

}  // namespace
