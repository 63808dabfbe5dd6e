// The storage test firmware's simulator executable through power cuts: the exit
// status, the next run as the next power-up, byte-identical boards and traces for
// the same cuts, and the time without power between two runs.
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
    const Exec e = run(std::string(STORAGE_FW_EXE) + " --board " + board.string() +
                           " --scenario " + scenario + " " + extra,
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

TEST(PowerCut, TheSameCutsGiveByteIdenticalBoardsAndTraces) {
    const fs::path d = scratch("cut-determinism");
    const std::string erase_cut = write(d / "erase.scn",
                                        "version 2\nlength 10s\nseed 3\n"
                                        "power-cut nor-erase 1 at 30%\n");
    for (const char *b : {"a", "b"}) {
        const fs::path board = d / b;
        const std::string trace = (d / (std::string(b) + "-1.jsonl")).string();
        EXPECT_EQ(power_up(board, kCut, "--trace " + trace).status, 5);
        for (int i = 0; i < 14; ++i) power_up(board, kCut);  // 285 records: in the second sector
        EXPECT_EQ(
            power_up(board, erase_cut, "--trace " + (d / (std::string(b) + "-2.jsonl")).string())
                .status,
            5);
    }
    for (const char *f : {"board.txt", "nor.img", "nor-state.txt", "intflash.bin", "backup.txt"})
        EXPECT_TRUE(slurp(d / "a" / f) == slurp(d / "b" / f)) << f;
    EXPECT_EQ(slurp(d / "a-1.jsonl"), slurp(d / "b-1.jsonl"));
    EXPECT_EQ(slurp(d / "a-2.jsonl"), slurp(d / "b-2.jsonl"));
    EXPECT_NE(slurp(d / "a-2.jsonl").find("\"type\":\"power_cut\""), std::string::npos);
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
