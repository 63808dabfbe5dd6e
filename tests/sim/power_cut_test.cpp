// The storage test firmware's simulator executable through power cuts: the exit
// status, the next run as the next power-up, and the time without power between two
// runs. That the same cuts leave the same boards is checked in-process
// (storage_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "program_runs.h"

namespace {

using namespace programs;

struct Cycle {
    int status;
    std::string console;
};

Cycle power_up(const fs::path &board, const std::string &scenario, const std::string &extra = "") {
    const Exec e = run(std::string(STORAGE_FW_EXE) + " --board " + board.string() + " --scenario " +
                           scenario + " " + extra,
                       board.parent_path());
    return {e.status, e.out};
}

const std::string kCut = std::string(SCENARIO_DIR) + "/power-cut.scn";

TEST(PowerCut, EachRunEndsWithItsStatusAndTheNextOneRecoversTheLog) {
    const fs::path d = scratch("cut-cycles");
    // 19 records complete before the cut, the 20th torn: each power-up finds the
    // log 19 records further and one more torn record.
    for (int boot = 1; boot <= 3; ++boot) {
        const Cycle c = power_up(d / "board", kCut);
        EXPECT_EQ(c.status, 5) << "boot " << boot;
        const std::string expect = "boot " + std::to_string(boot) + ": log at " +
                                   std::to_string(19 * (boot - 1)) + ", torn " +
                                   std::to_string(boot - 1) + ",";
        EXPECT_EQ(c.console.rfind(expect, 0), 0u) << c.console;
    }
}

TEST(PowerCut, TheCalendarRunsOnThroughTheTimeWithoutPower) {
    const fs::path d = scratch("off-time");
    // The calendar is set at the first start and the run ends 2 s later, a moment
    // before 00:00:02; an hour without power follows.
    const std::string two_s = write(d / "two.scn", "version 2\nlength 2s\n");
    EXPECT_EQ(power_up(d / "board", two_s).status, 0);
    const Cycle c = power_up(d / "board", two_s, "--off-time 3600s");
    EXPECT_NE(c.console.find("2024-01-01 01:00:01"), std::string::npos) << c.console;
    EXPECT_EQ(power_up(d / "board", two_s, "--off-time 1h").status, 2);  // not a time
}

}  // namespace
