// Firing on recorded falls: the whole sequence, and for every bundled recording the
// sample the image fires on against the replay tool on the samples the image logged.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "support.h"

namespace {

using namespace kfw;

// The walk down the stairs ends in a fall of type 7 (C F on the marker).
TEST(Firing, ARecordedFallRunsTheWholeSequence) {
    const Result r =
        run(scratch("fall") / "board",
            scenario("46s", "motion " + recording("stairs-then-collision-fall.csv") + "\n"));
    ASSERT_EQ(r.status, 0) << r.summary;

    // Trigger outputs 1 and 2 together, output 3 1.6 ms later, all in the tick that read
    // the sample; the marker frame goes out in between.
    const auto out1 = r.edges("PA9", 1), out2 = r.edges("PB15", 1), out3 = r.edges("PA8", 1);
    ASSERT_EQ(out1.size(), 1u);
    ASSERT_EQ(out2.size(), 1u);
    ASSERT_EQ(out3.size(), 1u);
    EXPECT_LT(out2[0] - out1[0], 1000u);
    EXPECT_NEAR(static_cast<double>(out3[0] - out1[0]), 1600e3, 1e3);
    const std::size_t fired = r.tick_at(out1[0]);
    EXPECT_EQ(fired % 2, 1u);  // a sensor tick
    const Console c = console_of(r);
    const std::size_t m =
        c.text.find(std::string("<tr\0"
                                "7\0_\0j\0C\0s\0F<\r\n",
                                18));
    ASSERT_NE(m, std::string::npos);
    EXPECT_GT(c.at[m], out1[0]);
    EXPECT_LT(c.at[m + 17], out3[0]);
    EXPECT_EQ(count(c.text, "<tr"), 1u);  // later detections are ignored

    // Phone: the firing line carries the message count so far.
    const std::size_t before = count(r.phone.substr(0, r.phone.find("Q=2")), "Q=0");
    char line[32];
    std::snprintf(line, sizeof line, "Q=2;1;1,100,%03zu,\n", before);
    EXPECT_NE(r.phone.find(line), std::string::npos) << r.phone;
    EXPECT_EQ(count(r.phone, "Q=2"), 1u);

    // The trigger snapshot at the firing and again 120 ticks later (two page erases each).
    const auto erases = r.of("intflash_erase");
    ASSERT_EQ(erases.size(), 4u);
    EXPECT_EQ(r.tick_at(erases[0]->t), fired);
    const std::size_t second = r.tick_at(erases[2]->t);
    EXPECT_GE(second, fired + 120);
    EXPECT_LE(second, fired + 121);
    // The status-event record, re-phased to the next tick ending in 83: the log's
    // first flash work after the firing (on a fresh board, its sector's erase).
    const std::size_t ster_tick = r.first_flash_tick(4 * 4096, 6 * 4096, out1[0]);
    EXPECT_EQ(ster_tick % 100, 83u);
    EXPECT_LE(ster_tick, fired + 100);

    // Post-firing: the status LED lit one check tick in five (20 ms of every 100 ms),
    // the message on the first 12 cycles.
    std::vector<Time> after;
    for (Time t : r.edges("PA10", 1))
        if (t > out1[0])
            after.push_back(t);
    ASSERT_GE(after.size(), 20u);
    for (std::size_t i = 2; i < 20; ++i)
        EXPECT_EQ(r.tick_at(after[i]) - r.tick_at(after[i - 1]), 10u) << i;
    EXPECT_EQ(count(c.text, "g_bTriggerON = true -----------\r\n"), 12u);

    // Flash: the firing record (kind 2, the type) in the power-cycle log, and the sample
    // right after the firing stamped 1234.
    const Decoded f = decode(r.board, 1, 1);
    int firings = 0;
    for (const Row *row : f.log("power_cycle"))
        if (f.value(*row, "kind") == 2) {
            ++firings;
            EXPECT_EQ(f.value(*row, "block"), 7);
        }
    EXPECT_EQ(firings, 1);
    int stamped = 0;
    for (const Row *row : f.log("sensor_data")) stamped += f.value(*row, "num") == 1234;
    EXPECT_EQ(stamped, 1);
}

// What the image stored in its sample log (the device frame, after the axis map) run
// through the replay tool: the first fall it reports is the sample the image fired on
// (the one before the sample stamped 1234), with the same type; quiet activity never
// fires.
TEST(Firing, EachBundledRecordingFiresOnTheSampleTheReplayReports) {
    struct Row {
        const char *recording, *length;
        int type;  // 0: no fall
    } rows[] = {{"stairs-then-collision-fall.csv", "45s", 7},
                {"daily-then-hard-impact.csv", "160s", 6},
                {"daily-quiet.csv", "140s", 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.recording);
        const fs::path d = scratch("replay");
        const Result r = run(
            d / "board", scenario(row.length, "motion " + recording(row.recording) + "\n"), false);
        ASSERT_EQ(r.status, 0) << r.summary;
        const Decoded f = decode(r.board, 1, 3);
        std::string csv = "ax,ay,az,gx,gy,gz\n";
        long long fired_on = -1, n = 0;
        for (const auto *s : f.log("sensor_data")) {
            if (f.value(*s, "num") == 1234 && fired_on < 0)
                fired_on = n - 1;
            const char *sep = "";
            for (const char *axis : {"accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ"}) {
                csv += sep + s->at(f.header, axis);
                sep = ",";
            }
            csv += "\n";
            ++n;
        }
        const programs::Exec replay = programs::run(
            std::string(FALL_REPLAY) + " -s " + programs::write(d / "logged.csv", csv), d);
        ASSERT_EQ(replay.status, 0);
        std::smatch first;
        const bool replay_fell =
            std::regex_search(replay.out, first, std::regex("sample ([0-9]+) .* type ([0-9]+)"));
        const std::string fired = row.type ? "type " + std::to_string(row.type) : " none";
        EXPECT_NE(r.note("firing").find(fired), std::string::npos) << r.summary;
        if (row.type == 0) {
            EXPECT_FALSE(replay_fell) << replay.out;
            EXPECT_EQ(fired_on, -1);
            continue;
        }
        ASSERT_TRUE(replay_fell) << replay.out;
        EXPECT_EQ(std::stoll(first[1]), fired_on) << replay.out;
        EXPECT_EQ(std::stoi(first[2]), row.type);
    }
}

}  // namespace
