// The storage test firmware's simulator executable through power cuts: the exit
// status and the next run as the next power-up. That the same cuts leave the same
// boards is checked in-process (storage_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "program_runs.h"

namespace {

using namespace programs;

Exec power_up(const fs::path &board, const std::string &scenario) {
    return run(
        std::string(STORAGE_FW_EXE) + " --board " + board.string() + " --scenario " + scenario,
        board.parent_path());
}

const std::string kCut = std::string(SCENARIO_DIR) + "/power-cut.scn";

TEST(PowerCut, EachRunEndsWithItsStatusAndTheNextOneRecoversTheLog) {
    const fs::path d = scratch("cut-cycles");
    // 19 records complete before the cut, the 20th torn: each power-up finds the
    // log 19 records further and one more torn record.
    for (int boot = 1; boot <= 3; ++boot) {
        const Exec c = power_up(d / "board", kCut);
        EXPECT_EQ(c.status, 5) << "boot " << boot;
        const std::string expect = "boot " + std::to_string(boot) + ": log at " +
                                   std::to_string(19 * (boot - 1)) + ", torn " +
                                   std::to_string(boot - 1) + "\r\n";
        EXPECT_EQ(c.out.rfind(expect, 0), 0u) << c.out;
    }
}

}  // namespace
