#include <gtest/gtest.h>

#include "FallDetectorHistory.h"
#include "engine_test_support.h"

namespace {

// ---------------------------------------------------------------------------------------
// Jump data

TEST(JumpPeakTable, BandsAndEdges) {
  EXPECT_EQ(FallDetectorJumpOverCount(0), 0);
  EXPECT_EQ(FallDetectorJumpOverCount(170), 0);
  EXPECT_EQ(FallDetectorJumpOverCount(171), 4);
  EXPECT_EQ(FallDetectorJumpOverCount(185), 6);   // 15*4/30 + 4
  EXPECT_EQ(FallDetectorJumpOverCount(200), 8);
  EXPECT_EQ(FallDetectorJumpOverCount(201), 8);
  EXPECT_EQ(FallDetectorJumpOverCount(229), 10);  // 29*5/50 + 8
  EXPECT_EQ(FallDetectorJumpOverCount(250), 13);
  EXPECT_EQ(FallDetectorJumpOverCount(251), 13);
  EXPECT_EQ(FallDetectorJumpOverCount(399), 13);
}

struct JumpFixture : ::testing::Test {
  DetectorUnderTest t;
  MAX_JUMP_DATA& j = t.d.MaxJumpData;
  void SetUp() override { t.JumpTo(100); }
  void Sample(int32_t rawAcc, int32_t roll = 0, int32_t pitch = 0) {
    t.d.raw_acc = static_cast<uint16_t>(rawAcc);
    t.d.roll = roll;
    t.d.pitch = pitch;
    FallDetectorMakeJumpData(&t.d);
    FallDetectorAdvance(&t.d);
  }
};

TEST_F(JumpFixture, AccumulatesAndDerivesOverCountAfterThreeSamples) {
  Sample(150);
  EXPECT_EQ(j.wJumpStartIndex, 100);
  Sample(160);
  Sample(170);
  EXPECT_EQ(j.wOverCount, 0);  // not yet 3 samples after the start
  Sample(185);
  EXPECT_EQ(j.wJumpAccSum, 50 + 60 + 70 + 85);
  EXPECT_EQ(j.wValue, 185);
  EXPECT_EQ(j.wIndex, 103);
  EXPECT_EQ(j.wLastSetValue, 185);
  EXPECT_EQ(j.wOverCount, 6);
  Sample(180);  // lower peak: value and over count stay
  EXPECT_EQ(j.wValue, 185);
  EXPECT_EQ(j.wOverCount, 6);
}

TEST_F(JumpFixture, BoundsAreExclusiveAndLongPhasesBlockCollection) {
  Sample(140);
  Sample(400);
  EXPECT_EQ(j.wJumpAccSum, 0);
  t.d.FallHistory.wHighFallCounter = 6;
  Sample(200);
  EXPECT_EQ(j.wJumpAccSum, 0);
  t.d.FallHistory.wHighFallCounter = 5;
  Sample(200);
  EXPECT_EQ(j.wJumpAccSum, 100);
}

TEST_F(JumpFixture, PeakNeedsUprightPostureButTheSumRuleDoesNot) {
  for (int i = 0; i < 4; ++i) Sample(390, 60, 0);  // roll outside -59..59
  EXPECT_EQ(j.wValue, 0);
  EXPECT_EQ(j.wJumpAccSum, 4 * 290);
  EXPECT_EQ(j.wOverCount, 1160 / 60 - 17);
  Sample(390, 0, 60);  // pitch 60 is not below 60
  EXPECT_EQ(j.wValue, 0);
  for (int i = 0; i < 6; ++i) Sample(390, -59, 59);
  EXPECT_EQ(j.wValue, 390);
  EXPECT_EQ(j.wOverCount, 13);  // capped
}

TEST_F(JumpFixture, ForgottenOneSecondAfterThePeak) {
  Sample(250);
  Sample(250);
  Sample(250);
  Sample(250);
  ASSERT_EQ(j.wIndex, 103);
  ASSERT_EQ(j.wOverCount, 13);
  t.JumpTo(153);
  Sample(100);
  EXPECT_EQ(j.wValue, 250);  // 103 + 50 is not below 153
  Sample(100);
  EXPECT_EQ(j.wValue, 0);
  EXPECT_EQ(j.wOverCount, 0);
  EXPECT_EQ(j.wJumpAccSum, 0);
  EXPECT_EQ(j.wLastSetValue, 0);
  EXPECT_EQ(j.wIndex, 103);  // index and start are kept
  EXPECT_EQ(j.wJumpStartIndex, 100);
}

TEST_F(JumpFixture, ClearingNeedsARecordedPeak) {
  j.wValue = 0;
  j.wJumpAccSum = 500;
  j.wOverCount = 2;
  FallDetectorClearMaxJumpData(&t.d);
  EXPECT_EQ(j.wJumpAccSum, 500);
  EXPECT_EQ(j.wOverCount, 2);
}

// ---------------------------------------------------------------------------------------
// Free-fall counters

struct FallCounterFixture : ::testing::Test {
  DetectorUnderTest t;
  FALL_HISTORY& h = t.d.FallHistory;
  void SetUp() override { t.JumpTo(100); }
  // One sample with the given 5 Hz magnitude; returns the check count it left.
  int32_t Sample(int32_t a, int32_t lpfAcc = 50, int16_t gyroX = 0) {
    FALL_DETECTOR_SENSOR_DATA s = {0, 0, 0, gyroX, 0, 0};
    h.wLpfAcc5Hz = a;
    t.d.lpf_acc = static_cast<uint16_t>(lpfAcc);
    t.d.check_count = 0;
    const int r = FallDetectorMakeFallCounter(&t.d, &s);
    EXPECT_EQ(r, 0);
    const int32_t k = t.d.check_count;
    FallDetectorAdvance(&t.d);
    return k;
  }
};

TEST_F(FallCounterFixture, FourSamplesNeverConfirmTheFifthStrongDoes) {
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Sample(50), 0);
  EXPECT_EQ(h.wHighFallStartIndex, 100);
  EXPECT_EQ(Sample(50), 5);
  EXPECT_EQ(h.wHighFallLastIndex, 104);
  EXPECT_EQ(h.wHighFallLastCounter, 5);
  EXPECT_EQ(h.wLowFallCounter, 5);
  EXPECT_EQ(h.wVerticalVelocity, 5 * 50);
}

TEST_F(FallCounterFixture, ConfirmingNeedsHalfOfThePhaseStrong) {
  Sample(50);
  for (int i = 0; i < 4; ++i) Sample(80);  // phase 5, one strong sample
  EXPECT_EQ(h.wHighFallCounter, 5);
  EXPECT_EQ(Sample(50), 0);  // phase 6, two strong: fewer than 3
  EXPECT_EQ(Sample(50), 7);  // phase 7, three strong: 7 / 2 = 3
}

TEST_F(FallCounterFixture, PhaseCounterCapsPerBand) {
  for (int i = 0; i < 10; ++i) Sample(93);
  EXPECT_EQ(h.wHighFallCounter, 5);
  EXPECT_EQ(h.wLowFallCounter, 0);
  for (int i = 0; i < 40; ++i) Sample(80, 30);
  EXPECT_EQ(h.wHighFallCounter, 30);
}

TEST_F(FallCounterFixture, FirstStrongSampleOfALongPhaseShortensItAndDampsAJump) {
  for (int i = 0; i < 8; ++i) Sample(80);
  t.d.MaxJumpData.wOverCount = 8;
  t.d.MaxJumpData.wJumpAccSum = 1079;
  Sample(50);
  EXPECT_EQ(h.wHighFallCounter, 5);
  EXPECT_EQ(t.d.MaxJumpData.wOverCount, 3);

  // A big jump keeps its over count.
  t.Reset();
  t.JumpTo(100);
  for (int i = 0; i < 3; ++i) Sample(80);
  t.d.MaxJumpData.wOverCount = 8;
  t.d.MaxJumpData.wJumpAccSum = 1080;
  Sample(50);
  EXPECT_EQ(h.wHighFallCounter, 4);  // shorter than 8: not cut
  EXPECT_EQ(t.d.MaxJumpData.wOverCount, 8);
}

TEST_F(FallCounterFixture, ClosesWhenBackAboveOneG) {
  for (int i = 0; i < 6; ++i) Sample(50);
  ASSERT_EQ(h.wHighFallLastCounter, 6);
  Sample(100, 100);  // 96..100 counts as no free fall but does not close
  EXPECT_EQ(h.wHighFallCounter, 6);
  Sample(101, 60);  // lpf_acc below 61 keeps it open
  EXPECT_EQ(h.wHighFallCounter, 6);
  Sample(101, 61);
  EXPECT_EQ(h.wHighFallCounter, 0);
  EXPECT_EQ(h.wVerticalVelocity, 0);
  EXPECT_EQ(h.wLowFallCounter, 6);  // never cleared
  EXPECT_EQ(h.wIndex, 1);
  EXPECT_EQ(h.Items[0].wLastIndex, 105);
  EXPECT_EQ(h.Items[0].wFallCounter, 6);
}

TEST_F(FallCounterFixture, ClosesAfterMoreThanThreeReducedSamplesFollowingStrongOnes) {
  for (int i = 0; i < 5; ++i) Sample(50);
  for (int i = 0; i < 3; ++i) Sample(80, 80);
  EXPECT_EQ(h.wHighFallCounter, 8);
  EXPECT_EQ(h.wLowOverCounter, 3);
  Sample(80, 60);  // fourth, but lpf_acc below 61
  EXPECT_EQ(h.wHighFallCounter, 9);
  Sample(80, 61);
  EXPECT_EQ(h.wHighFallCounter, 0);
  EXPECT_EQ(h.Items[0].wFallCounter, 5);
}

TEST_F(FallCounterFixture, LongPhaseClosingAboveOneGClearsTheJump) {
  t.d.MaxJumpData.wValue = 200;
  t.d.MaxJumpData.wOverCount = 8;
  for (int i = 0; i < 7; ++i) Sample(50);
  Sample(101, 100);
  EXPECT_EQ(t.d.MaxJumpData.wValue, 0);

  t.Reset();
  t.JumpTo(100);
  t.d.MaxJumpData.wValue = 200;
  for (int i = 0; i < 6; ++i) Sample(50);
  Sample(101, 100);
  EXPECT_EQ(t.d.MaxJumpData.wValue, 200);
}

TEST_F(FallCounterFixture, BendDownCounter) {
  Sample(100, 100, -10001);
  Sample(100, 100, -10001);
  EXPECT_EQ(h.wBendDownCounter, 2);
  Sample(100, 100, -10000);
  EXPECT_EQ(h.wBendDownCounter, 0);
}

TEST_F(FallCounterFixture, SnapshotsTrackTheStrongCount) {
  Sample(50);
  Sample(70);
  Sample(50);
  // lowFallCounter holds the count after each sample.
  EXPECT_EQ(t.LowFallAgo(3), 1u);
  EXPECT_EQ(t.LowFallAgo(2), 1u);
  EXPECT_EQ(t.LowFallAgo(1), 2u);
}

// ---------------------------------------------------------------------------------------
// Posture conditions

struct ConditionsFixture : ::testing::Test {
  DetectorUnderTest t;
  int32_t Run(int32_t pitch, int32_t overCount, int32_t lowFall, int32_t velocity, int32_t bend = 0) {
    t.d.pitch = pitch;
    t.d.MaxJumpData.wOverCount = overCount;
    t.d.FallHistory.wLowFallCounter = lowFall;
    t.d.FallHistory.wVerticalVelocity = velocity;
    t.d.FallHistory.wBendDownCounter = bend;
    t.d.over_count2 = 1234;
    FallDetectorMakeConditions(&t.d, nullptr);
    return t.d.over_count2;
  }
};

TEST_F(ConditionsFixture, LeaningBack) {
  EXPECT_EQ(Run(20, 0, 10, 710), 9);   // v 71
  EXPECT_EQ(Run(20, 0, 10, 700), 2);   // v 70: (20-15)*9/20
  EXPECT_EQ(Run(35, 5, 6, 0), 9);      // at the back limit, jump allowed from 24 on
  EXPECT_EQ(Run(20, 5, 6, 600), 0);    // below 24 with a jump: default rule, o > 0
  EXPECT_EQ(Run(16, 0, 10, 610), 0);   // n = 0: default rule, v below 86
  EXPECT_EQ(Run(20, 0, 5, 1000), 0);   // fewer than 6 strong samples
  EXPECT_EQ(Run(34, 0, 10, 610), 8);   // 19*9/20
}

TEST_F(ConditionsFixture, BendingDown) {
  EXPECT_EQ(Run(-11, 0, 0, 0, 6), -4);
  EXPECT_EQ(Run(-11, 0, 0, 0, 20), -7);  // capped
  EXPECT_EQ(Run(-11, 5, 0, 0, 6), -2);   // 4 + 5 > 7
  EXPECT_EQ(Run(-11, 7, 0, 0, 6), 0);    // nothing left: default, o > 0
  EXPECT_EQ(Run(-11, 0, 0, 0, 1), 0);
  EXPECT_EQ(Run(-10, 0, 0, 0, 6), 0);
}

TEST_F(ConditionsFixture, FastVerticalFallDefault) {
  EXPECT_EQ(Run(0, 0, 10, 860), 3);
  EXPECT_EQ(Run(0, 0, 10, 859), 0);
  EXPECT_EQ(Run(0, 1, 10, 860), 0);
  EXPECT_EQ(Run(-11, 0, 10, 860, 1), 3);
  EXPECT_EQ(Run(0, 0, 0, 5000), 0);  // no strong samples yet: no division
}

// ---------------------------------------------------------------------------------------
// Confirming-count decision

struct DecisionFixture : ::testing::Test {
  DetectorUnderTest t;
  int Run(int32_t k, int32_t omega, int32_t overCount = 0, int32_t over2 = 0, int32_t fallAvg = 100) {
    t.d.check_count = k;
    t.d.omega_avg = static_cast<uint16_t>(omega);
    t.d.MaxJumpData.wOverCount = overCount;
    t.d.over_count2 = over2;
    t.d.fall_avg = static_cast<uint16_t>(fallAvg);
    return FallDetectorConfirmDecision(&t.d);
  }
};

TEST_F(DecisionFixture, LittleRotation) {
  EXPECT_EQ(Run(19, 159), 0);
  EXPECT_EQ(Run(20, 159), 1);
  EXPECT_EQ(Run(11, 0, 0, 9), 1);
  EXPECT_EQ(Run(10, 0, 0, 9), 0);
  EXPECT_EQ(Run(32, 0, 13), 0);
  EXPECT_EQ(Run(33, 0, 13), 3);
  EXPECT_EQ(Run(37, 0, 13, -7), 0);
  EXPECT_EQ(Run(38, 0, 13, -7), 9);  // the long phase decides before 40 is reached
}

TEST_F(DecisionFixture, RotatingEarlyDecision) {
  EXPECT_EQ(Run(20, 160), 12);
  // f = 40 * 0.2 / 200 = 0.04: 41 - 1.64 truncates to 39.
  EXPECT_EQ(Run(5, 200, 0, 0, 41), 2);
  EXPECT_EQ(Run(5, 200, 2, 0, 41), 4);
  EXPECT_EQ(Run(4, 200, 0, 0, 41), 0);   // below (20 + 1) / 4
  EXPECT_EQ(Run(5, 160, 0, 0, 40), 0);   // f = 0: 40 is not below 40
  EXPECT_EQ(Run(5, 160, 0, 0, 39), 2);
  EXPECT_EQ(Run(5, 359, 0, 0, 48), 2);   // f = 0.199: 48 - 9.552 = 38.4
  EXPECT_EQ(Run(5, 359, 0, 0, 50), 0);   // 40.05
}

TEST_F(DecisionFixture, FastRotationOnlyAllowsFullOrLongPhases) {
  EXPECT_EQ(Run(19, 360, 0, 0, 0), 0);
  EXPECT_EQ(Run(20, 360), 12);
  EXPECT_EQ(Run(38, 360, 13, -7), 9);
  EXPECT_EQ(Run(37, 360, 13, -7), 0);
}

// ---------------------------------------------------------------------------------------
// Turning fall and impacts

struct TurnFixture : ::testing::Test {
  DetectorUnderTest t;
  void SetUp() override { t.JumpTo(100); }
  int Sample(int32_t acc, int32_t gyro, bool standing = false) {
    if (standing) ++t.d.wStandCounter;
    t.d.standCounter[t.d.wFallDataIndex] = t.d.wStandCounter;
    t.d.raw_acc = static_cast<uint16_t>(acc);
    t.d.raw_gyro = static_cast<uint16_t>(gyro);
    const int r = FallDetectorTurnFall(&t.d);
    FallDetectorAdvance(&t.d);
    return r;
  }
};

TEST_F(TurnFixture, NineteenTurningSamples) {
  for (int i = 0; i < 18; ++i) ASSERT_EQ(Sample(151, 151), 0) << i;
  EXPECT_EQ(Sample(151, 151), 5);
}

TEST_F(TurnFixture, ThresholdsAreExclusiveAndResetTheCount) {
  for (int i = 0; i < 18; ++i) Sample(151, 151);
  EXPECT_EQ(Sample(150, 300), 0);
  EXPECT_EQ(t.d.wTurnFallCounter, 0);
  for (int i = 0; i < 18; ++i) Sample(151, 151);
  EXPECT_EQ(Sample(300, 150), 0);
}

TEST_F(TurnFixture, StandingSamplesInTheWindowDemandMore) {
  // Four standing samples: two more turning samples needed.
  for (int i = 0; i < 19; ++i) ASSERT_EQ(Sample(151, 151, i >= 10 && i < 14), 0) << i;
  EXPECT_EQ(Sample(151, 151), 0);
  EXPECT_EQ(Sample(151, 151), 5);
}

struct ImpactFixture : ::testing::Test {
  DetectorUnderTest t;
  void SetUp() override { t.JumpTo(200); }
  void Recent(int32_t ago, int32_t counter) {
    t.d.FallHistory.Items[0] = {200 - ago, counter};
    t.d.FallHistory.wIndex = 1;
  }
  int Run(int32_t sum, int32_t roll = 0, int32_t pitch = 0) {
    t.d.wThreeGravityJumpSum = sum;
    t.d.roll = roll;
    t.d.pitch = pitch;
    return FallDetectorThreeGravityImpact(&t.d);
  }
};

TEST_F(ImpactFixture, HardImpactAfterARecentPhase) {
  Recent(5, 3);
  EXPECT_EQ(Run(1600), 6);
  EXPECT_EQ(Run(1599), 0);  // upright: the softer rule does not apply
  Recent(6, 3);
  EXPECT_EQ(Run(1600), 0);
  Recent(5, 2);
  EXPECT_EQ(Run(1600), 0);
}

TEST_F(ImpactFixture, SofterImpactNeedsTiltAndALongerPhase) {
  Recent(5, 7);
  EXPECT_EQ(Run(1200, -56), 16);
  EXPECT_EQ(Run(1200, 56), 16);
  EXPECT_EQ(Run(1200, 0, 46), 16);
  EXPECT_EQ(Run(1200, -55, 45), 0);
  EXPECT_EQ(Run(1199, 60), 0);
  Recent(5, 6);
  EXPECT_EQ(Run(1200, 60), 0);
}

TEST_F(ImpactFixture, HardSumWithoutRecentPhaseDoesNotTryTheSofterRule) {
  t.cfg.THREE_GRAVITY_FALL_OFFSET = 2;  // hard rule looks back less far than the soft one
  Recent(4, 8);
  EXPECT_EQ(Run(1599, 60), 16);
  EXPECT_EQ(Run(1600, 60), 0);
}

}  // namespace
