// Power cuts at the flash operations of a representative run (a power-up on a board
// that already holds a run, sampling, a fall with its snapshot and second save, the
// date-and-time records), each followed by a power-up on the same board: the next
// block is a valid one that holds nothing (the previous runs' samples are kept), and
// the snapshot is whole or absent, never torn.
//
// MORRA_CUT_STRIDE=1 cuts at every operation (about 1500 runs); by default every
// erase and every 13th program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "logger.h"

namespace {

using namespace mfw;

// The stamps of the snapshot's 150 sample lines the start-up printed, or none when it
// printed an erased area.
std::vector<int> snapshot_stamps(const std::string &console) {
    std::vector<int> out;
    const std::vector<std::string> all = lines(console);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] != "Trigger=1 ")
            continue;
        for (std::size_t k = i + 2; k < i + 152 && k < all.size(); ++k)
            out.push_back(std::stoi(all[k]));
    }
    return out;
}

TEST(PowerCut, LogsAndSnapshotSurviveACutAtEveryFlashOperation) {
    const char *stride_env = std::getenv("MORRA_CUT_STRIDE");
    const int stride = stride_env ? std::max(1, std::atoi(stride_env)) : 13;
    const fs::path base = scratch("cut-base");
    const std::string motion = activity(base, "walk:5,fall:free_fall@9");
    run(base / "board", scenario("8s"), false);
    const std::string story = "version 3\nlength 14s\nseed 7\nmotion " + motion + "\n";

    const fs::path probe = scratch("cut-probe");
    fs::copy(base / "board", probe / "board");
    const Result full = run(probe / "board", story, false);
    ASSERT_NE(full.note("firing"), " none");

    const std::string ops = full.note("flash operations");  // "<kind> <count>, ..."
    int runs = 0;
    for (const std::string kind :
         {"nor-erase", "intflash-erase", "nor-program", "intflash-program"}) {
        const std::size_t at = ops.find(kind + " ");
        ASSERT_NE(at, std::string::npos) << kind;
        const int n = std::stoi(ops.substr(at + kind.size() + 1));
        ASSERT_GT(n, 0) << kind;
        const int step = kind.find("erase") != std::string::npos ? 1 : stride;
        for (int k = 1; k <= n; k += step) {
            const std::string cut = "power-cut " + kind + " " + std::to_string(k) + " at 50%";
            const fs::path d = scratch("cut");
            fs::copy(base / "board", d / "board");
            const Result r = run(d / "board", story + cut + "\n", false);
            ASSERT_NE(r.note("ended").find("power cut"), std::string::npos) << cut;
            std::set<int> used;
            for (const Sample &s : samples(d / "board", 1, 3)) used.insert(s.block);
            const Result next = run(d / "board", "version 3\nlength 5s\n", true);
            const std::vector<int> erased = erased_blocks(next);
            ASSERT_EQ(erased.size(), 1u) << cut;
            EXPECT_TRUE(erased[0] >= 1 && erased[0] <= 250 && !used.count(erased[0]))
                << cut << ": the power-up erased block " << erased[0];
            const std::vector<int> snap = snapshot_stamps(next.console);
            const bool absent = count(next.console, "Trigger=-1 \r\n") == 1;
            EXPECT_TRUE(absent || snap.size() == 150u) << cut;
            for (std::size_t i = 1; i < snap.size(); ++i)
                EXPECT_TRUE(follows(snap[i - 1], snap[i])) << cut << ": snapshot line " << i;
            ++runs;
        }
    }
    std::printf("%d power cuts\n", runs);
}

}  // namespace
