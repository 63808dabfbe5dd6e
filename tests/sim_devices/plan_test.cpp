// The scenario's device syntax (format version 3), motion recordings, and the
// board directory that names the image which last ran on it.
#include <gtest/gtest.h>

#include "../sim/program_runs.h"
#include "scenario.h"
#include "sim/devices.h"

namespace {

using sim::DeviceFaultKind;
using sim::RadioMode;
constexpr std::uint64_t kS = 1000000000;

sim::Scenario parse_ok(const std::string &text) {
    sim::Scenario sc;
    std::string err;
    EXPECT_TRUE(sim::parse_scenario(text, "t.scn", sc, err)) << err;
    return sc;
}

TEST(ScenarioV3, DeviceDirectivesAndEvents) {
    const sim::Scenario sc = parse_ok(
        "version 3\n"
        "length 60s\n"
        "motion walk.csv linear\n"
        "at 10s battery 2150\n"
        "at 20s battery 2000 over 30s\n"
        "at 1s fault i2c-nack 3\n"
        "at 2s fault i2c-stuck\n"
        "at 3s fault i2c-stuck off\n"
        "at 4s fault sensor-reset\n"
        "at 0 radio silent\n"
        "at 5s radio babble 500\n"
        "at 6s radio pipe\n"
        "at 0 hold PB5 low\n"
        "at 7s hold PB5 off\n"
        "at 8s fault nor-missing\n");
    EXPECT_EQ(sc.version, 3u);
    EXPECT_EQ(sc.devices.motion.path, "walk.csv");
    EXPECT_EQ(sc.devices.motion.resampling, sim::Resampling::Linear);
    ASSERT_EQ(sc.devices.battery.size(), 2u);
    EXPECT_EQ(sc.devices.battery[1].counts, 2000);
    EXPECT_EQ(sc.devices.battery[1].ramp_ns, 30 * kS);
    struct F {
        std::uint64_t at;
        DeviceFaultKind kind;
        std::uint32_t count;
    } const faults[] = {{1 * kS, DeviceFaultKind::I2cNack, 3},
                        {2 * kS, DeviceFaultKind::I2cStuck, 1},
                        {3 * kS, DeviceFaultKind::I2cStuck, 0},
                        {4 * kS, DeviceFaultKind::SensorReset, 1}};
    ASSERT_EQ(sc.devices.faults.size(), std::size(faults));
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        EXPECT_EQ(sc.devices.faults[i].at_ns, faults[i].at) << i;
        EXPECT_EQ(sc.devices.faults[i].kind, faults[i].kind) << i;
        EXPECT_EQ(sc.devices.faults[i].count, faults[i].count) << i;
    }
    ASSERT_EQ(sc.devices.radio.size(), 3u);
    EXPECT_EQ(sc.devices.radio[0].mode, RadioMode::Silent);
    EXPECT_EQ(sc.devices.radio[1].mode, RadioMode::Babble);
    EXPECT_EQ(sc.devices.radio[1].bytes_per_second, 500u);
    ASSERT_EQ(sc.events.size(), 2u);
    EXPECT_EQ(sc.events[0].kind, sim::ScenarioEventKind::PinHold);
    EXPECT_EQ(sc.events[0].level, 0);
    EXPECT_EQ(sc.events[1].level, sim::kRelease);
    EXPECT_EQ(sc.storage.faults.size(), 1u);  // the storage faults are still there
}

TEST(ScenarioV3, Refusals) {
    const std::string v3 = "version 3\nlength 10s\n";
    struct Case {
        std::string text;
        const char *fragment;
    } const cases[] = {
        {"version 2\nlength 1s\nat 0 battery 2000\n",
         "'battery' events are not part of scenario format version 2"},
        {"version 2\nlength 1s\nmotion a.csv\n",
         "'motion' is not part of scenario format version 2"},
        {"version 2\nlength 1s\nat 0 fault sensor-reset\n", "'sensor-reset' faults are not part"},
        {v3 + "at 0 battery 4096\n", "0 to 4095"},
        {v3 + "at 0 battery 2000 during 1s\n", "expected 'over <time>'"},
        {v3 + "at 0 battery 2000 over\n", "expected 'at <time> battery <counts> [over <time>]'"},
        {v3 + "at 0 radio loud\n", "unknown radio mode 'loud'"},
        {v3 + "at 0 radio babble 0\n", "bytes per second from 1"},
        {v3 + "at 0 radio pipe 5\n", "'pipe' takes nothing more"},
        {v3 + "at 0 hold PB5 2\n", "0, 1, low, high or off"},
        {v3 + "at 0 fault sensor-reset 2\n", "'sensor-reset' takes nothing"},
        {v3 + "at 0 fault i2c-stuck 2\n", "'i2c-stuck' takes nothing or 'off'"},
        {v3 + "at 0 fault i2c-nack 0\n", "fault count must be a number from 1"},
        {v3 + "motion a.csv\nmotion b.csv\n", "duplicate motion line (first on line 3)"},
        {v3 + "motion a.csv cubic\n", "'hold' or 'linear'"},
        {v3 + "at 10s battery 2000\n", "not before the end of the run"},
        {v3 + "at 0 motor on\n",
         "knows: console, phone, pin, fault, power-cut, battery, radio, hold"},
    };
    for (const Case &c : cases) {
        sim::Scenario sc;
        std::string err;
        EXPECT_FALSE(sim::parse_scenario(c.text, "t.scn", sc, err)) << c.text;
        EXPECT_NE(err.find(c.fragment), std::string::npos) << c.text << "\n-> " << err;
    }
}

TEST(MotionRecording, FormatAndRefusals) {
    sim::MotionRecording rec;
    std::string err;
    ASSERT_TRUE(sim::parse_motion_recording(
        "\xEF\xBB\xBF# sensor frame\r\ntime_ms,ax,ay,az,gx,gy,gz\r\n0,1,2,3,4,5,6\r\n"
        " 1.25 , -32768 ,32767,0,0,0,0\n\n2.000001,0,0,0,0,0,0",
        "r.csv", rec, err))
        << err;
    ASSERT_EQ(rec.t.size(), 3u);
    EXPECT_EQ(rec.t[1], 1250000u);
    EXPECT_EQ(rec.t[2], 2000001u);
    EXPECT_EQ(rec.v[1][0], -32768);
    EXPECT_EQ(rec.v[0][5], 6);
    struct Case {
        const char *text;
        const char *message;
    } const cases[] = {
        {"", "r.csv: no samples"},
        {"t,ax,ay\n", "r.csv:1: the header must name 7 columns"},
        {"0,1,2,3,4,5\n", "r.csv:1: expected 7 values"},
        {"5,0,0,0,0,0,0\n4,0,0,0,0,0,0\n", "r.csv:2: time 4 ms is earlier than the previous"},
        {"-1,0,0,0,0,0,0\n", "r.csv:1: time '-1' is not a number of milliseconds"},
        {"0.0000001,0,0,0,0,0,0\n", "r.csv:1: time '0.0000001'"},
        {"0,0,0,0,0,0,32768\n", "r.csv:1: value '32768' for gz is not a whole number"},
        {"0,0,0,1.5,0,0,0\n", "r.csv:1: value '1.5' for az"},
    };
    for (const Case &c : cases) {
        std::string e;
        EXPECT_FALSE(sim::parse_motion_recording(c.text, "r.csv", rec, e)) << c.text;
        EXPECT_EQ(e.rfind(c.message, 0), 0u) << c.text << "\n-> " << e;
    }
}

// ---- the simulator executables --------------------------------------------------

using namespace programs;

Exec run_image(const std::string &exe, const std::string &args, const fs::path &dir) {
    return run(exe + " " + args + " --console none", dir);
}

// The two images give the same flash areas different meanings: a board written by
// one is refused to the other, unless --reflash says it is meant. A bad motion
// recording named in the scenario (found beside it) is refused with its own file and
// line before the board is touched.
TEST(BoardImage, ABoardWrittenByAnotherImageIsRefusedUnlessReflashed) {
    const fs::path d = scratch("image");
    std::ofstream(d / "good.csv") << "0,8192,0,0,0,0,0\n";
    std::ofstream(d / "bad.csv") << "0,8192,0,0,0,0\n";
    std::ofstream(d / "s.scn") << "version 3\nlength 50ms\nmotion good.csv\n";
    std::ofstream(d / "bad.scn") << "version 3\nlength 50ms\nmotion bad.csv hold\n";
    const std::string board = "--board " + (d / "board").string();
    const Exec bad = run_image(DEMO_FW_EXE, board + " --scenario " + (d / "bad.scn").string(), d);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(
        bad.err.find("bad.scn:3: motion: " + (d / "bad.csv").string() + ":1: expected 7 values"),
        std::string::npos)
        << bad.err;
    EXPECT_FALSE(fs::exists(d / "board"));

    const std::string args = board + " --scenario " + (d / "s.scn").string();
    EXPECT_EQ(run_image(DEMO_FW_EXE, args, d).status, 0);
    EXPECT_NE(slurp(d / "board" / "board.txt").find("\nimage demo_fw\n"), std::string::npos);
    EXPECT_EQ(run_image(DEMO_FW_EXE, args, d).status, 0);
    const std::string before = slurp(d / "board" / "board.txt");
    const Exec refused = run_image(KELDA_STORAGE_FW_EXE, args, d);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("was last run with the image 'demo_fw'"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("give --reflash"), std::string::npos) << refused.err;
    EXPECT_EQ(slurp(d / "board" / "board.txt"), before);
    EXPECT_EQ(run_image(KELDA_STORAGE_FW_EXE, args + " --reflash", d).status, 0);
    EXPECT_NE(slurp(d / "board" / "board.txt").find("\nimage kelda_storage_fw\n"),
              std::string::npos);
}

}  // namespace
