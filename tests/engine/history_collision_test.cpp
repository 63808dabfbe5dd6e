#include <gtest/gtest.h>

#include "FallDetectorCollision.h"
#include "FallDetectorHistory.h"
#include "engine_test_support.h"

namespace {

struct HistoryFixture : ::testing::Test {
  DetectorUnderTest t;
  FALL_HISTORY& h = t.d.FallHistory;
  void SetUp() override { t.JumpTo(300); }
  // An open phase of `len` samples of which `strong` are strong free fall.
  void Phase(int32_t len, uint32_t strong, int32_t lastIndex, int32_t lastCounter) {
    h.wHighFallCounter = len;
    t.LowFallAgo(len) = 50;
    t.LowFallAgo(0) = 50 + strong;
    h.wHighFallLastIndex = lastIndex;
    h.wHighFallLastCounter = lastCounter;
  }
};

TEST_F(HistoryFixture, NothingRecordedYet) {
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 5, 0), 1);
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 5, 1), 0);
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 1000, 1), 0);
  EXPECT_EQ(FallDetectorLastFallHistory(&t.d)->wLastIndex, 0);
  EXPECT_EQ(FallDetectorLastFallHistory(&t.d)->wFallCounter, 0);
}

TEST_F(HistoryFixture, PushRecordsTheLastConfirmingSampleAndOpensTheWatch) {
  Phase(6, 3, 290, 6);
  h.wFallCounter = 9;
  t.d.wCollisionRawAccMax = 777;  // left from a window that ended long ago
  FallDetectorPushFallHistory(&t.d);
  EXPECT_EQ(h.wIndex, 1);
  EXPECT_EQ(h.Items[0].wLastIndex, 290);
  EXPECT_EQ(h.Items[0].wFallCounter, 6);
  EXPECT_EQ(h.wFallCounter, 0);
  EXPECT_EQ(t.d.wCollisionCheckLastIndex, 320);
  EXPECT_EQ(t.d.wCollisionRawAccMax, 0);
  EXPECT_EQ(FallDetectorLastFallHistory(&t.d), &h.Items[0]);
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 10, 6), 1);
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 9, 6), 0);
  EXPECT_EQ(FallDetectorIsFallNear(&t.d, 10, 7), 0);
}

TEST_F(HistoryFixture, ShortOrWeakPhasesAreNotRecordedButTheCounterIsCleared) {
  Phase(3, 3, 290, 5);
  h.wFallCounter = 9;
  FallDetectorPushFallHistory(&t.d);
  EXPECT_EQ(h.wIndex, 0);
  EXPECT_EQ(h.wFallCounter, 0);
  EXPECT_EQ(t.d.wCollisionCheckLastIndex, 0);

  Phase(7, 2, 290, 5);  // 2 strong of 7: fewer than 7 / 2
  h.wFallCounter = 9;
  FallDetectorPushFallHistory(&t.d);
  EXPECT_EQ(h.wIndex, 0);
  EXPECT_EQ(h.wFallCounter, 0);

  Phase(4, 2, 290, 5);  // minimum length, exactly half strong
  FallDetectorPushFallHistory(&t.d);
  EXPECT_EQ(h.wIndex, 1);
}

TEST_F(HistoryFixture, OpenWindowKeepsItsPeakAndIsExtended) {
  Phase(6, 6, 290, 6);
  FallDetectorPushFallHistory(&t.d);
  t.d.raw_acc = 450;
  FallDetectorTrackCollisionPeak(&t.d);
  EXPECT_EQ(t.d.wCollisionRawAccMax, 450);
  EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, 300);

  t.JumpTo(310);
  Phase(6, 6, 305, 6);
  FallDetectorPushFallHistory(&t.d);
  EXPECT_EQ(t.d.wCollisionRawAccMax, 450);
  EXPECT_EQ(t.d.wCollisionCheckLastIndex, 330);

  // Smaller values do not replace the peak; the window end is exclusive.
  t.d.raw_acc = 300;
  FallDetectorTrackCollisionPeak(&t.d);
  EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, 300);
  t.JumpTo(330);
  t.d.raw_acc = 900;
  FallDetectorTrackCollisionPeak(&t.d);
  EXPECT_EQ(t.d.wCollisionRawAccMax, 450);
  t.JumpTo(329);
  FallDetectorTrackCollisionPeak(&t.d);
  EXPECT_EQ(t.d.wCollisionRawAccMax, 900);
  EXPECT_EQ(t.d.wCollisionRawAccMaxIndex, 329);
}

TEST_F(HistoryFixture, RingOfThirtyTwoOverwritesTheOldest) {
  for (int i = 0; i < 33; ++i) {
    Phase(5, 5, 1000 + i, 5);
    FallDetectorPushFallHistory(&t.d);
  }
  EXPECT_EQ(h.wIndex, 1);
  EXPECT_EQ(h.Items[0].wLastIndex, 1032);
  EXPECT_EQ(h.Items[1].wLastIndex, 1001);
  EXPECT_EQ(FallDetectorLastFallHistory(&t.d)->wLastIndex, 1032);
}

// Collision check. Earlier phase ends (last confirming sample) at 100 with counter E;
// the current phase starts at 101 + gap; the peak lies in between.
struct CollisionFixture : ::testing::Test {
  DetectorUnderTest t;
  FALL_HISTORY& h = t.d.FallHistory;
  void Setup(int32_t earlier, int32_t gap, int32_t k, uint32_t standing17 = 0, uint32_t standingH = 0,
             int32_t peak = 400, int32_t peakAt = 103) {
    t.JumpTo(101 + gap + k - 1);
    h.Items[0] = {100, earlier};
    h.wIndex = 1;
    h.wHighFallStartIndex = 101 + gap;
    h.wHighFallCounter = k;
    t.d.check_count = k;
    t.d.wCollisionRawAccMax = peak;
    t.d.wCollisionRawAccMaxIndex = peakAt;
    // standing samples: `standingH` inside the last k, the rest of `standing17` before them.
    for (int i = 0; i < FALL_DETECTOR_RING; ++i) t.d.standCounter[i] = 1000;
    t.d.wStandCounter = 1000;
    for (int32_t ago = 0; ago < k; ++ago) t.StandAgo(ago) = 1000;
    t.StandAgo(k) = 1000 - standingH;
    for (int32_t ago = k + 1; ago < 64; ++ago) t.StandAgo(ago) = 1000 - standingH;
    t.StandAgo(17) = 1000 - standing17;
  }
  int Check() { return FallDetectorCheckCollisionFall(&t.d); }
};

TEST_F(CollisionFixture, NothingBeforeTheFirstRecording) {
  Setup(10, 5, 10);
  h.Items[0] = {0, 0};
  h.wIndex = 0;
  t.d.wCollisionRawAccMax = 0;
  EXPECT_EQ(Check(), 0);
}

TEST_F(CollisionFixture, CollisionFallAdvancesTheRings) {
  Setup(6, 5, 5);  // off balance (no standing): thresholds lowered by 4
  const int32_t counter = t.d.wDataCounter, index = t.d.wFallDataIndex;
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(t.d.wDataCounter, counter + 1);
  EXPECT_EQ(t.d.wFallDataIndex, (index + 1) % 64);
}

TEST_F(CollisionFixture, GapBounds) {
  Setup(6, 4, 5);
  EXPECT_EQ(Check(), 0);
  Setup(6, 5, 5);
  EXPECT_EQ(Check(), 7);
  Setup(6, 20, 5);
  EXPECT_EQ(Check(), 7);
  Setup(6, 21, 5);
  EXPECT_EQ(Check(), 0);
}

TEST_F(CollisionFixture, PeakMustLieStrictlyInsideTheGapAndBeLargeEnough) {
  Setup(6, 5, 5, 0, 0, 400, 105);
  EXPECT_EQ(Check(), 7);
  Setup(6, 5, 5, 0, 0, 400, 106);  // at the start of the current phase
  EXPECT_EQ(Check(), 0);
  Setup(6, 5, 5, 0, 0, 400, 100);  // at the earlier phase's last sample
  EXPECT_EQ(Check(), 0);
  Setup(6, 5, 5, 0, 0, 399, 103);
  EXPECT_EQ(Check(), 0);
}

TEST_F(CollisionFixture, StandingJustBeforeRaisesTheThresholds) {
  // s17 = 10: f = 1, so 8 and 9 are needed.
  Setup(9, 5, 8, 10);
  EXPECT_EQ(Check(), 7);
  Setup(9, 5, 7, 10);
  EXPECT_EQ(Check(), 0);
  // s17 = 11: f = -8, so 17 and 18 would be needed; the long rule needs 10 before.
  Setup(9, 5, 8, 11);
  EXPECT_EQ(Check(), 0);
  Setup(18, 5, 17, 11);
  EXPECT_EQ(Check(), 7);
}

TEST_F(CollisionFixture, StandingInsideThePhaseCounts) {
  Setup(9, 5, 9, 7, 7);  // 2 of 9 not standing: at least 9 / 4
  EXPECT_EQ(Check(), 7);
  Setup(9, 5, 9, 8, 8);  // 1 of 9
  EXPECT_EQ(Check(), 0);
}

TEST_F(CollisionFixture, LongCollisionFall) {
  // s17 = 17: f = -10, so the collision rule would need 19 and 20.
  Setup(16, 5, 9, 17);
  EXPECT_EQ(Check(), 8);
  Setup(15, 5, 9, 17);  // 24 in total
  EXPECT_EQ(Check(), 0);
  Setup(17, 5, 8, 17);  // after-collision count below 9
  EXPECT_EQ(Check(), 0);
  Setup(9, 5, 16, 17);  // before-collision count below 10
  EXPECT_EQ(Check(), 0);
  Setup(16, 5, 9, 17, 7);  // 2 of 9 not standing: fewer than 9 / 3
  EXPECT_EQ(Check(), 0);
}

}  // namespace
