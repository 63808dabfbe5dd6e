// The demo firmware's simulator executable run as a program: determinism and the
// script that builds and runs it.
#include <gtest/gtest.h>

#include <string>

#include "program_runs.h"

namespace {

using namespace programs;

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(Executable, SameScenarioTwiceGivesByteIdenticalTraces) {
    const fs::path d = scratch("determinism");
    const std::string demo = std::string(DEMO_FW_EXE) + " --board " + (d / "board").string() +
                             " --scenario " + SCENARIO_DIR + "/demo.scn --trace ";
    const Exec a =
        run(demo + (d / "a.jsonl").string() + " --phone-out " + (d / "phone.txt").string(), d);
    const Exec b = run(demo + (d / "b.jsonl").string(), d);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string ta = slurp(d / "a.jsonl"), tb = slurp(d / "b.jsonl");
    EXPECT_GT(ta.size(), 10000u);
    EXPECT_EQ(ta, tb);
    EXPECT_EQ(a.out, b.out);
    // The uptime lines and the echo of what was typed.
    EXPECT_NE(a.out.find("uptime 00003 s\r\n"), std::string::npos);
    EXPECT_NE(a.out.find("rtc\r"), std::string::npos);
    EXPECT_NE(a.err.find("irq TIM7"), std::string::npos);
    EXPECT_TRUE(fs::exists(d / "phone.txt"));
    // The tick toggles the heartbeat pin every 10 ms: 4 s of 10 ms ticks, the one at
    // exactly 4 s not run.
    EXPECT_EQ(occurrences(ta, "\"type\":\"pin\",\"pin\":\"PA11\""), 399u);
    EXPECT_EQ(occurrences(ta, "\"type\":\"irq_enter\",\"irq\":\"TIM7\""), 399u);
}

// scripts/run.sh takes relative paths from the caller's directory, and --board and
// --scenario replace its defaults.
TEST(Executable, RunScriptTakesRelativePathsFromTheCallersDirectory) {
    const fs::path d = scratch("run-sh");
    fs::create_directories(d / "sub");
    write(d / "sub" / "short.scn", "version 1\nlength 5ms\n");
    const Exec e = run("cd " + d.string() + " && FIRMWARE=" + DEMO_FW_EXE + " " + RUN_SH +
                           " --scenario sub/short.scn --board sub/board --trace sub/t.jsonl",
                       d);
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.err.find("run length:   0.005000000 s"), std::string::npos) << e.err;
    EXPECT_EQ(e.out, "demo firmware\r\n");
    EXPECT_TRUE(fs::exists(d / "sub" / "board" / "board.txt"));
    EXPECT_NE(slurp(d / "sub" / "t.jsonl").find("\"type\":\"summary\""), std::string::npos);
}

}  // namespace
