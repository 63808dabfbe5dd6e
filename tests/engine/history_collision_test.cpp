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
        EXPECT_EQ(h.wFallCounter, 0);  // cleared whether recorded or not
    }
};

TEST_F(HistoryFixture, RecordsLongStrongPhasesAndOpensTheWatch) {
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 5, 0), 1);  // nothing recorded yet
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 1000, 1), 0);
    Push(3, 3, 290, 5);  // too short
    Push(7, 2, 290, 5);  // fewer than half strong
    EXPECT_EQ(h.wIndex, 0);
    EXPECT_EQ(t.d.wCollisionCheckLastIndex, 0);

    t.d.wCollisionRawAccMax = 777;  // from a window that ended long ago
    Push(4, 2, 290, 6);
    EXPECT_EQ(h.wIndex, 1);
    EXPECT_EQ(h.Items[0].wLastIndex, 290);
    EXPECT_EQ(h.Items[0].wFallCounter, 6);
    EXPECT_EQ(t.d.wCollisionCheckLastIndex, 320);
    EXPECT_EQ(t.d.wCollisionRawAccMax, 0);
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 10, 6), 1);
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 9, 6), 0);
    EXPECT_EQ(FallDetectorIsFallNear(&t.d, 10, 7), 0);
}

TEST_F(HistoryFixture, WatchWindowTracksThePeakAndIsExtendedWithoutLosingIt) {
    Push(6, 6, 290, 6);
    t.d.raw_acc = 450;
    FallDetectorTrackCollisionPeak(&t.d);
    t.JumpTo(310);
    Push(6, 6, 305, 6);
    EXPECT_EQ(t.d.wCollisionRawAccMax, 450);
    EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, 300);
    EXPECT_EQ(t.d.wCollisionCheckLastIndex, 330);
    t.JumpTo(330);  // window end is exclusive
    t.d.raw_acc = 900;
    FallDetectorTrackCollisionPeak(&t.d);
    EXPECT_EQ(t.d.wCollisionRawAccMax, 450);
    t.JumpTo(329);
    FallDetectorTrackCollisionPeak(&t.d);
    EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, 329);
}

TEST_F(HistoryFixture, RingOfThirtyTwoOverwritesTheOldest) {
    for (int i = 0; i < 33; ++i) Push(5, 5, 1000 + i, 5);
    EXPECT_EQ(h.wIndex, 1);
    EXPECT_EQ(h.Items[0].wLastIndex, 1032);
    EXPECT_EQ(h.Items[1].wLastIndex, 1001);
    EXPECT_EQ(FallDetectorLastFallHistory(&t.d)->wLastIndex, 1032);
}

// Earlier phase confirmed last at 100 with counter `earlier`; the current phase starts
// at 101 + gap and has k samples; the collision peak lies in between.
struct CollisionFixture : ::testing::Test {
    DetectorUnderTest t;
    FALL_HISTORY &h = t.d.FallHistory;
    int Check(int32_t earlier, int32_t gap, int32_t k, uint32_t standing17 = 0,
              uint32_t standingInPhase = 0, int32_t peak = 400, int32_t peakAt = 103) {
        t.Reset();
        t.JumpTo(101 + gap + k - 1);
        h.Items[0] = {100, earlier};
        h.wIndex = 1;
        h.wHighFallStartIndex = 101 + gap;
        h.wHighFallCounter = t.d.check_count = k;
        t.d.wCollisionRawAccMax = peak;
        t.d.wCollisionRawAccMaxIndex = peakAt;
        for (int32_t ago = 0; ago < 64; ++ago)
            t.StandAgo(ago) = ago < k ? 1000 : 1000 - standingInPhase;
        t.StandAgo(17) = 1000 - standing17;
        return FallDetectorCheckCollisionFall(&t.d);
    }
};

TEST_F(CollisionFixture, CollisionFallAndItsBounds) {
    EXPECT_EQ(Check(6, 5, 5), 7);      // off balance: thresholds lowered by 4
    EXPECT_EQ(t.d.wDataCounter, 111);  // advanced through the fall path
    EXPECT_EQ(Check(5, 5, 5), 0);
    EXPECT_EQ(Check(6, 5, 4), 0);
    EXPECT_EQ(Check(6, 4, 5), 0);
    EXPECT_EQ(Check(6, 20, 5), 7);
    EXPECT_EQ(Check(6, 21, 5), 0);
    EXPECT_EQ(Check(6, 5, 5, 0, 0, 400, 105), 7);
    EXPECT_EQ(Check(6, 5, 5, 0, 0, 400, 106), 0);  // at the start of the current phase
    EXPECT_EQ(Check(6, 5, 5, 0, 0, 400, 100), 0);  // at the earlier phase's last sample
    EXPECT_EQ(Check(6, 5, 5, 0, 0, 399, 103), 0);
    h.Items[0] = {0, 0};  // before any recording nothing qualifies
    h.wIndex = 0;
    EXPECT_EQ(FallDetectorCheckCollisionFall(&t.d), 0);
}

TEST_F(CollisionFixture, StandingRaisesTheThresholds) {
    EXPECT_EQ(Check(9, 5, 8, 10), 7);  // s17 = 10: f = 1
    EXPECT_EQ(Check(9, 5, 7, 10), 0);
    EXPECT_EQ(Check(9, 5, 8, 11), 0);  // s17 = 11: f = -8
    EXPECT_EQ(Check(18, 5, 17, 11), 7);
    EXPECT_EQ(Check(9, 5, 9, 7, 7), 7);  // 2 of 9 not standing: at least 9 / 4
    EXPECT_EQ(Check(9, 5, 9, 8, 8), 0);
}

TEST_F(CollisionFixture, LongCollisionFall) {
    EXPECT_EQ(Check(16, 5, 9, 17), 8);     // s17 = 17: f = -10, type 7 out of reach
    EXPECT_EQ(Check(15, 5, 9, 17), 0);     // 24 in total
    EXPECT_EQ(Check(17, 5, 8, 17), 0);     // after-collision count below 9
    EXPECT_EQ(Check(9, 5, 16, 17), 0);     // before-collision count below 10
    EXPECT_EQ(Check(16, 5, 9, 17, 7), 0);  // 2 of 9 not standing: fewer than 9 / 3
}

}  // namespace
