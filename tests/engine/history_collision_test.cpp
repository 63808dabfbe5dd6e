// Fall history, collision watch window, fall-near test and collision falls, one table per rule;
// each row puts one threshold at its edge or one step past it.
#include <gtest/gtest.h>

#include "FallDetectorCollision.h"
#include "FallDetectorHistory.h"
#include "engine_test_support.h"

namespace {

struct HistoryFixture : ::testing::Test {
    DetectorUnderTest t;
    FALL_HISTORY &h = t.d.FallHistory;
    void SetUp() override { t.JumpTo(300); }
    // Closes a phase of `len` samples, `strong` of them strong, last confirmed at lastIndex.
    void Push(int32_t len, uint32_t strong, int32_t lastIndex, int32_t lastCounter) {
        h.wHighFallCounter = len;
        t.LowFallAgo(len) = 50;
        t.LowFallAgo(0) = 50 + strong;
        h.wHighFallLastIndex = lastIndex;
        h.wHighFallLastCounter = lastCounter;
        h.wFallCounter = 9;
        FallDetectorPushFallHistory(&t.d);
        EXPECT_EQ(h.wFallCounter, 0) << "cleared whether recorded or not";
    }
};

TEST_F(HistoryFixture, RecordsPhasesLongAndStrongEnough) {
    const int32_t rows[][3] = {{3, 3, 0}, {4, 2, 1}, {5, 2, 1}, {5, 1, 0}};  // len, strong, kept
    for (const auto &r : rows) {
        t.Restart(300);
        Push(r[0], static_cast<uint32_t>(r[1]), 290, 6);
        EXPECT_EQ(h.wIndex, r[2]) << r[0] << " samples, " << r[1] << " strong";
        EXPECT_EQ(t.d.wCollisionCheckLastIndex, r[2] ? 320 : 0) << r[0] << " " << r[1];
        EXPECT_EQ(h.Items[0].wLastIndex, r[2] ? 290 : 0) << r[0] << " " << r[1];
        EXPECT_EQ(h.Items[0].wFallCounter, r[2] ? 6 : 0) << r[0] << " " << r[1];
    }
}

TEST_F(HistoryFixture, WatchWindowKeepsItsPeakWhileOpenAndTracksTwentySamples) {
    for (const int32_t endAgo : {0, 1}) {  // the previous window ended this many samples ago
        t.Restart(300);
        t.d.wCollisionCheckLastIndex = 300 - endAgo;
        t.d.wCollisionRawAccMax = 450;
        Push(6, 6, 290, 6);
        EXPECT_EQ(t.d.wCollisionRawAccMax, endAgo == 0 ? 450 : 0) << endAgo;
    }
    const int32_t rows[][3] = {{319, 500, 500}, {320, 500, 0}, {305, 0, 0}};  // at, acc, max
    for (const auto &r : rows) {
        t.d.wCollisionRawAccMax = 0;
        t.d.wCollisionRawAccMaxIndex = 1;
        t.JumpTo(r[0]);
        t.d.raw_acc = static_cast<uint16_t>(r[1]);
        FallDetectorTrackCollisionPeak(&t.d);
        EXPECT_EQ(t.d.wCollisionRawAccMax, r[2]) << "at " << r[0];
        EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, r[2] ? r[0] : 1) << "at " << r[0];
    }
}

TEST_F(HistoryFixture, RingOfThirtyTwoOverwritesTheOldest) {
    for (int i = 0; i < 33; ++i) Push(5, 5, 1000 + i, 5);
    EXPECT_EQ(h.wIndex, 1);
    EXPECT_EQ(h.Items[1].wLastIndex, 1001);
    EXPECT_EQ(FallDetectorLastFallHistory(&t.d)->wLastIndex, 1032);
}

// An open phase counts toward the fall-near test (the impact tables check recorded phases).
TEST_F(HistoryFixture, FallNearCountsAnOpenPhase) {
    h.wFallCounter = 3;
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 5, 3), 1);
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 5, 4), 0);
}

// The earlier phase was confirmed last at sample 100 with counter `earlier`; the current phase
// starts at 101 + gap and has k samples. Of the last 17 samples s17 were standing, inPhase of
// them inside the current phase (the most recent), the others just before the 17-sample window
// ends; every older sample outside the phase was standing too.
struct CollisionRow {
    const char *edge;
    int32_t earlier, gap, k, s17, inPhase, peak, peakAt, expected;
};

int CheckCollision(DetectorUnderTest &t, const CollisionRow &r) {
    t.Reset();
    const int32_t start = 101 + r.gap;
    t.JumpTo(start + r.k - 1);
    t.d.FallHistory.Items[0] = {100, r.earlier};
    t.d.FallHistory.wIndex = 1;
    t.d.FallHistory.wHighFallStartIndex = start;
    t.d.FallHistory.wHighFallCounter = t.d.check_count = r.k;
    t.d.wCollisionRawAccMax = r.peak;
    t.d.wCollisionRawAccMaxIndex = r.peakAt;
    const int32_t before = r.s17 - r.inPhase;
    uint32_t count = 1000;
    for (int32_t ago = 0; ago < 64; ++ago) {  // ring entries hold the count up to that sample
        t.StandAgo(ago) = count;
        const bool inside = ago < r.k;
        const bool standing =
            inside ? ago < r.inPhase : (ago < 17 ? ago >= 17 - before : ago >= r.k);
        count -= standing ? 1 : 0;
    }
    return FallDetectorCheckCollisionFall(&t.d);
}

TEST(CollisionFall, Thresholds) {
    const CollisionRow rows[] = {
        {"off balance: E 6, k 5, gap 5", 6, 5, 5, 0, 0, 400, 103, 7},
        {"E 5", 5, 5, 5, 0, 0, 400, 103, 0},
        {"k 4", 6, 5, 4, 0, 0, 400, 103, 0},
        {"gap 4", 6, 4, 5, 0, 0, 400, 103, 0},
        {"gap 20", 6, 20, 5, 0, 0, 400, 103, 7},
        {"gap 21", 6, 21, 5, 0, 0, 400, 103, 0},
        {"peak 399", 6, 5, 5, 0, 0, 399, 103, 0},
        {"peak at the earlier phase's end", 6, 5, 5, 0, 0, 400, 100, 0},
        {"peak right after it", 6, 5, 5, 0, 0, 400, 101, 7},
        {"peak right before the start", 6, 5, 5, 0, 0, 400, 105, 7},
        {"peak at the start", 6, 5, 5, 0, 0, 400, 106, 0},
        {"1 standing: f 4", 6, 5, 5, 1, 0, 400, 103, 7},
        {"2 standing: f 3", 6, 5, 5, 2, 0, 400, 103, 0},
        {"10 standing: f 1", 9, 5, 8, 10, 1, 400, 103, 7},
        {"11 standing: f -8", 18, 5, 17, 11, 11, 400, 103, 7},
        {"12 standing: E 18 is only long", 18, 5, 18, 12, 12, 400, 103, 8},
        {"2 of 9 not standing: enough", 9, 5, 9, 7, 7, 400, 103, 7},
        {"1 of 9 not standing: too few", 9, 5, 9, 8, 8, 400, 103, 0},
        {"long: E 15, k 9 is 24 in all", 15, 5, 9, 11, 3, 400, 103, 0},
        {"long: k 8", 17, 5, 8, 11, 2, 400, 103, 0},
        {"long: E 9", 9, 5, 16, 11, 10, 400, 103, 0},
        {"long: E 10", 10, 5, 16, 11, 10, 400, 103, 8},
        {"long: 3 of 9 not standing", 16, 5, 9, 11, 6, 400, 103, 8},
        {"long: 2 of 9 not standing", 16, 5, 9, 11, 7, 400, 103, 0},
    };
    DetectorUnderTest t;
    for (const CollisionRow &r : rows) EXPECT_EQ(CheckCollision(t, r), r.expected) << r.edge;

    // A decided collision advances the detector like any positive result.
    EXPECT_EQ(CheckCollision(t, rows[0]), 7);
    EXPECT_EQ(t.d.wDataCounter, 111);
    // Before any recording (E is {0, 0}, nothing watched) nothing qualifies.
    t.d.FallHistory.Items[0] = {0, 0};
    t.d.FallHistory.wIndex = 0;
    EXPECT_EQ(FallDetectorCheckCollisionFall(&t.d), 0);
    // The long collision needs more than 4 confirming samples of its own.
    t.cfg.AFTER_COLLISION_FALL_COUNTER_LIMIT = 3;
    EXPECT_EQ(CheckCollision(t, {"k 5", 20, 5, 5, 11, 0, 400, 103, 8}), 8);
    EXPECT_EQ(CheckCollision(t, {"k 4", 21, 5, 4, 11, 0, 400, 103, 0}), 0);
}

}  // namespace
