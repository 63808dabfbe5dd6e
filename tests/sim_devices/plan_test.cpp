// Motion recordings, and the board directory that names the image which last ran on it.
#include <gtest/gtest.h>

#include "../sim/program_runs.h"
#include "sim/devices.h"

namespace {

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
