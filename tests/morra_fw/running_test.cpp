// The data logger running: the calendar at a first power-up, every sample logged in
// order across block erases and the ring's wrap, sensor faults, the firing in its own
// tick during a drain, the snapshot at the next start-up, standby.
#include <gtest/gtest.h>

#include "logger.h"

namespace {

using namespace mfw;

int summary_count(const Result &r, const std::string &key, const std::string &before) {
    const std::string n = r.note(key);
    const std::size_t at = n.find(before);
    return at == std::string::npos ? -1 : std::stoi(n.substr(0, at));
}

// Every stamp follows the one before it, and nothing is lost on the way: the log
// holds every sensor read but the few still waiting in the ring at the run's end.
void expect_whole_log(const std::vector<Sample> &s, int reads) {
    ASSERT_FALSE(s.empty());
    for (std::size_t i = 1; i < s.size(); ++i)
        ASSERT_TRUE(follows(s[i - 1].num, s[i].num))
            << "record " << i << ": " << s[i - 1].num << " then " << s[i].num;
    EXPECT_LE(static_cast<int>(s.size()), reads);
    EXPECT_GE(static_cast<int>(s.size()), reads - 5);
}

TEST(Calendar, TheDeviceStartsOnlyOnAWholeValidTime) {
    const struct {
        const char *bytes;
        bool starts;
    } rows[] = {
        {"dec 25 6 1 8 0 0", true},   {"dec 24 2 29 23 59 59", true},
        {"dec 21 6 1 8 0 0", false},  {"dec 25 13 1 8 0 0", false},
        {"dec 25 2 30 8 0 0", false}, {"dec 25 2 29 8 0 0", false},
        {"dec 25 6 1 24 0 0", false}, {"dec 25 6 1 8 60 0", false},
        {"dec 25 6 1 8 0", false},  // five bytes: a partial time is never used
    };
    for (const auto &row : rows) {
        const fs::path d = scratch("calendar");
        const Result r =
            run(d / "board",
                std::string("version 3\nlength 6s\nat 500ms console ") + row.bytes + "\n", false);
        EXPECT_EQ(count(r.console, "Start!"), row.starts ? 1u : 0u) << row.bytes;
        EXPECT_EQ(count(r.console, "setting_time : "), row.starts ? 1u : 0u) << row.bytes;
    }
}

// A power-up continues on the block after the last one named; the ring goes from
// block 250 to 1, and the read-back follows it.
TEST(SampleLog, TheRingWrapsFromBlock250To1) {
    const fs::path d = scratch("wrap");
    run(d / "board", scenario("5s"), false);
    poke_nor(d / "board", 2 * 4096 + 7, 249);  // the last periodic record names block 249
    const Result r = run(d / "board", "version 3\nlength 100s\n", true);
    EXPECT_EQ(erased_blocks(r), (std::vector<int>{250, 1}));
    const std::vector<Sample> s = samples(d / "board", 250, 1);
    expect_whole_log(s, summary_count(r, "motion sensor", " data reads"));
    EXPECT_EQ(s.back().block, 1);
    const Result back =
        run(d / "board", "version 3\nlength 20s\nat 3s pin PA12 0\nat 6s console dec 250 1\n");
    const std::size_t first = back.console.find("SD_block 250\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(back.console.find("SD_block 1\r\n", first), std::string::npos);
    EXPECT_EQ(count(back.console, "END!!!"), 1u);
}

// Damaged block numbers in the last periodic record never lead to block 0 (the logs)
// nor to a block outside the ring.
TEST(SampleLog, ADamagedBlockNumberNeverErasesTheLogs) {
    for (int value : {0, 250, 251, 255}) {
        const fs::path d = scratch("damaged");
        run(d / "board", scenario("5s"), false);
        poke_nor(d / "board", 2 * 4096 + 7, static_cast<unsigned char>(value));
        const Result r = run(d / "board", "version 3\nlength 5s\n");
        const std::vector<int> erased = erased_blocks(r);
        ASSERT_EQ(erased.size(), 1u) << value;
        EXPECT_GE(erased[0], 1) << value;
        EXPECT_LE(erased[0], 250) << value;
        EXPECT_TRUE(value != 250 || erased[0] == 1);
    }
}

// A sensor that stops answering never fires the airbag on the fall that follows: its
// reads are counted and reported. One that resets itself reads −32768 on every axis
// until it is set up again; those samples are logged but kept from the detector, and
// the fall after its recovery fires.
TEST(Sensor, AFailingSensorNeverFires) {
    const struct {
        const char *fault;
        bool fires;
    } rows[] = {{"at 5s fault i2c-nack always", false},
                {"at 5s fault i2c-stuck", false},
                {"at 5s fault sensor-reset", true}};
    for (const auto &row : rows) {
        const fs::path d = scratch("sensor");
        const std::string motion = activity(d, "walk:5,fall:free_fall@9");
        const Result r =
            run(d / "board", scenario("14s", "motion " + motion + "\n" + row.fault + "\n"));
        EXPECT_EQ(r.edges("PA9", 1).size(), row.fires ? 1u : 0u) << row.fault;
        EXPECT_EQ(count(r.console, "Gyro sensor read fail!!!!"), row.fires ? 0u : 1u) << row.fault;
        const Decoded dec = decode(d / "board", 1, 1);
        int no_data = 0, blank = 0;
        for (const Row *x : dec.log("samples")) {
            no_data += dec.value(*x, "num") < 0;
            blank += dec.value(*x, "accX") == -32768;
        }
        EXPECT_EQ(no_data, 0) << "stamps stay stamps: " << row.fault;
        EXPECT_GT(blank, 0) << row.fault;
    }
}

// The fall comes while the records held during block 2's erase are drained: the
// actuator still fires in the tick that read the sample, and no record is lost.
TEST(Firing, InItsSamplesTickDuringADrain) {
    const fs::path d = scratch("drain");
    const std::string motion = activity(d, "walk:5,fall:free_fall@95.9");
    const Result r = run(d / "board", scenario("104s", "motion " + motion + "\n"));
    const std::vector<const Record *> erases = r.of("nor_erase");
    ASSERT_GE(erases.size(), 2u);
    const Time erase2 = erases.back()->t;
    const std::vector<Time> fired = r.edges("PA9", 1);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_GT(fired[0], erase2 + 150 * kMs) << "the firing must come after the erase";
    EXPECT_LT(fired[0], erase2 + 400 * kMs) << "and while its records drain";
    const std::string delay = r.note("sensor read to trigger");
    EXPECT_LT(std::stod(delay), 100.0) << delay;  // microseconds
    expect_whole_log(samples(d / "board", 1, 2), summary_count(r, "motion sensor", " data reads"));

    // The next start-up prints the snapshot: the type, 150 samples with the marker.
    const Result next = run(d / "board", "version 3\nlength 5s\n", false);
    EXPECT_EQ(count(next.console, "Trigger=1 \r\n"), 1u);
    EXPECT_EQ(count(next.console, "\r\n1234,"), 1u);
    EXPECT_EQ(count(next.console, "time[T] :"), 1u);
}

TEST(Battery, StandbyFollowsAFlatBatteryWithItsStamps) {
    const fs::path d = scratch("standby");
    const Result r = run(d / "board", scenario("300s", "at 10s battery 2000\n"), false);
    EXPECT_EQ(count(r.console, "Enter Standby mode!!!!! \r\n"), 1u);
    EXPECT_EQ(count(r.console, "standby hit count=50 \r\n"), 1u);
    int marked = 0;
    for (const Sample &s : samples(d / "board", 1, 4)) marked += s.num == 5555;
    EXPECT_GT(marked, 12000);
}

}  // namespace
