// The read-back mode: block ranges dumped on request, and every request that is not
// one (bad, odd, early, sent during a dump) refused or dropped. (The event log's dump
// is the read-back tool's test, tests/readback.)
#include <gtest/gtest.h>

#include "logger.h"

namespace {

using namespace mfw;

// A board with two power-ups: block 1 holds ~10 s of samples, block 2 ~5 s.
const fs::path &prepared() {
    static const fs::path board = [] {
        const fs::path d = scratch("readback-board");
        run(d / "board", scenario("14s"), false);
        run(d / "board", "version 3\nlength 9s\n", false);
        return d / "board";
    }();
    return board;
}

TEST(ReadBack, RequestsAndWhatTheyDump) {
    // The tick runs from 3.3 s; the mode starts once PA12 has been low for a second,
    // at 4.3 s.
    const struct {
        const char *events;
        std::vector<const char *> blocks;  // "SD_block" lines in order
        std::size_t bad;
    } rows[] = {
        // Both blocks end before their last record: the dump stops at the first erased one.
        {"at 7s console dec 1 2", {"1"}, 0},
        {"at 7s console dec 2 1", {"2"}, 0},
        {"at 7s console dec 0 5\nat 8s console dec 251 1\nat 9s console dec 7 255", {}, 3},
        // Sent before the mode, during start-up (held in the receive register) or while
        // running: stale.
        {"at 2.5s console dec 1 1", {}, 0},
        {"at 3.8s console dec 1 1", {}, 0},
        {"at 7s console dec 1\nat 8s console dec 2 2", {"2"}, 0},    // an odd byte dropped
        {"at 7s console dec 1 1\nat 8s console dec 2 2", {"1"}, 0},  // sent during a dump
    };
    for (const auto &row : rows) {
        const fs::path d = scratch("readback");
        fs::copy(prepared(), d / "board");
        const Result r = run(
            d / "board",
            std::string("version 3\nlength 15s\nat 3s pin PA12 0\n") + row.events + "\n", false);
        std::vector<std::string> blocks;
        std::size_t records = 0;
        for (const std::string &l : lines(r.console.substr(r.console.find("Read-back ready")))) {
            if (l.rfind("SD_block ", 0) == 0)
                blocks.push_back(l.substr(9));
            records += !blocks.empty() && l.find(',') != std::string::npos;
        }
        EXPECT_EQ(blocks, std::vector<std::string>(row.blocks.begin(), row.blocks.end()))
            << row.events;
        EXPECT_EQ(count(r.console, "Bad request"), row.bad) << row.events;
        EXPECT_EQ(count(r.console, "END!!!"), row.blocks.empty() ? 0u : 1u) << row.events;
        EXPECT_TRUE(row.blocks.empty() || records > 200u) << row.events;
    }
}

}  // namespace
