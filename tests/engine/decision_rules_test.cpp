#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace {

TEST(JumpData, PeakTable) {
    const int32_t v[] = {170, 171, 185, 200, 201, 229, 250, 251, 399};
    const int32_t over[] = {0, 4, 6, 8, 8, 10, 13, 13, 13};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(FallDetectorJumpOverCount(v[i]), over[i]) << v[i];
}

struct JumpFixture : ::testing::Test {
    DetectorUnderTest t;
    MAX_JUMP_DATA &j = t.d.MaxJumpData;
    void SetUp() override { t.JumpTo(100); }
    void Sample(int32_t rawAcc, int32_t roll = 0, int32_t pitch = 0) {
        t.d.raw_acc = static_cast<uint16_t>(rawAcc);
        t.d.roll = roll;
        t.d.pitch = pitch;
        FallDetectorMakeJumpData(&t.d);
        FallDetectorAdvance(&t.d);
    }
};

TEST_F(JumpFixture, AccumulatesAndDerivesOverCountFromTheThirdSampleOn) {
    Sample(140);  // bounds are exclusive
    Sample(400);
    EXPECT_EQ(j.wJumpAccSum, 0);
    Sample(150);
    Sample(175);
    Sample(185);
    EXPECT_EQ(j.wOverCount, 0);  // two samples after the start
    Sample(180);
    EXPECT_EQ(j.wJumpStartIndex, 102);
    EXPECT_EQ(j.wJumpAccSum, 50 + 75 + 85 + 80);
    EXPECT_EQ(j.wValue, 185);
    EXPECT_EQ(j.wIndex, 104);
    EXPECT_EQ(j.wOverCount, 6);
    t.d.FallHistory.wHighFallCounter = 6;  // no collection inside a longer phase
    Sample(200);
    EXPECT_EQ(j.wJumpAccSum, 290);
}

TEST_F(JumpFixture, PeakNeedsUprightPostureAndIsForgottenASecondLater) {
    for (int i = 0; i < 4; ++i) Sample(390, 60, 0);  // the sum rule applies in any posture
    EXPECT_EQ(j.wValue, 0);
    EXPECT_EQ(j.wOverCount, 1160 / 60 - 17);
    Sample(390, 0, 60);
    EXPECT_EQ(j.wValue, 0);
    Sample(390, -59, 59);
    EXPECT_EQ(j.wValue, 390);
    EXPECT_EQ(j.wOverCount, 13);
    ASSERT_EQ(j.wIndex, 105);
    t.JumpTo(155);
    Sample(100);
    EXPECT_EQ(j.wValue, 390);
    Sample(100);
    EXPECT_EQ(j.wValue, 0);
    EXPECT_EQ(j.wOverCount, 0);
    EXPECT_EQ(j.wJumpAccSum, 0);
    EXPECT_EQ(j.wIndex, 105);  // kept
    j.wJumpAccSum = 500;       // without a recorded peak nothing is cleared
    FallDetectorClearMaxJumpData(&t.d);
    EXPECT_EQ(j.wJumpAccSum, 500);
}

struct FallCounterFixture : ::testing::Test {
    DetectorUnderTest t;
    FALL_HISTORY &h = t.d.FallHistory;
    void SetUp() override { t.JumpTo(100); }
    // One sample of 5 Hz magnitude a; returns the check count it left.
    int32_t Sample(int32_t a, int32_t lpfAcc = 50, int16_t gyroX = 0) {
        const FALL_DETECTOR_SENSOR_DATA s = {0, 0, 0, gyroX, 0, 0};
        h.wLpfAcc5Hz = a;
        t.d.lpf_acc = static_cast<uint16_t>(lpfAcc);
        t.d.check_count = 0;
        EXPECT_EQ(FallDetectorMakeFallCounter(&t.d, &s), 0);
        FallDetectorAdvance(&t.d);
        return t.d.check_count;
    }
};

TEST_F(FallCounterFixture, FourSamplesNeverConfirmTheFifthStrongDoes) {
    Sample(96);
    EXPECT_EQ(h.wHighFallCounter, 0);  // 96 is not reduced
    t.JumpTo(100);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Sample(50), 0);
    EXPECT_EQ(h.wHighFallStartIndex, 100);
    EXPECT_EQ(Sample(50), 5);
    EXPECT_EQ(h.wHighFallLastIndex, 104);
    EXPECT_EQ(h.wVerticalVelocity, 5 * 50);
    EXPECT_EQ(t.LowFallAgo(1), 5u);

    t.Reset();
    t.JumpTo(100);
    Sample(50);
    for (int i = 0; i < 4; ++i) Sample(80);
    EXPECT_EQ(Sample(50), 0);  // 2 strong of 6
    EXPECT_EQ(Sample(50), 7);  // 3 strong of 7
}

TEST_F(FallCounterFixture, PhaseCounterCapsPerBand) {
    for (int i = 0; i < 10; ++i) Sample(95);
    EXPECT_EQ(h.wHighFallCounter, 5);
    for (int i = 0; i < 40; ++i) Sample(90, 30);
    EXPECT_EQ(h.wHighFallCounter, 30);
    EXPECT_EQ(h.wLowFallCounter, 0);
}

TEST_F(FallCounterFixture, FirstStrongSampleOfALongPhaseShortensItAndDampsASmallJump) {
    for (int i = 0; i < 8; ++i) Sample(80);
    t.d.MaxJumpData.wOverCount = 8;
    t.d.MaxJumpData.wJumpAccSum = 1079;
    Sample(50);
    EXPECT_EQ(h.wHighFallCounter, 5);
    EXPECT_EQ(t.d.MaxJumpData.wOverCount, 3);
    t.d.MaxJumpData.wOverCount = 8;
    t.d.MaxJumpData.wJumpAccSum = 1080;
    for (int i = 0; i < 4; ++i) Sample(80, 50);
    Sample(101, 100);  // closes
    Sample(50);
    EXPECT_EQ(t.d.MaxJumpData.wOverCount, 8);  // a big jump keeps it
}

TEST_F(FallCounterFixture, ClosingRules) {
    t.d.MaxJumpData.wValue = 200;
    for (int i = 0; i < 6; ++i) Sample(50);
    Sample(101, 100);
    EXPECT_EQ(t.d.MaxJumpData.wValue, 200);  // a short phase keeps the jump
    t.Reset();
    t.JumpTo(100);
    for (int i = 0; i < 7; ++i) Sample(50);
    t.d.MaxJumpData.wValue = 200;
    Sample(100, 100);  // no free fall, but not above 1 g
    Sample(101, 60);   // lpf_acc too low
    EXPECT_EQ(h.wHighFallCounter, 7);
    Sample(101, 61);
    EXPECT_EQ(h.wHighFallCounter, 0);
    EXPECT_EQ(h.wVerticalVelocity, 0);
    EXPECT_EQ(h.wLowFallCounter, 7);  // never cleared
    EXPECT_EQ(h.Items[0].wLastIndex, 106);
    EXPECT_EQ(h.Items[0].wFallCounter, 7);
    EXPECT_EQ(t.d.MaxJumpData.wValue, 0);  // long phase back above 1 g drops the jump

    // More than three reduced samples after strong ones close it too.
    for (int i = 0; i < 5; ++i) Sample(50);
    for (int i = 0; i < 3; ++i) Sample(80, 80);
    Sample(80, 60);
    EXPECT_EQ(h.wHighFallCounter, 9);
    Sample(80, 61);
    EXPECT_EQ(h.wHighFallCounter, 0);
    EXPECT_EQ(h.Items[1].wFallCounter, 5);

    Sample(100, 100, -10001);
    Sample(100, 100, -10001);
    EXPECT_EQ(h.wBendDownCounter, 2);
    Sample(100, 100, -10000);
    EXPECT_EQ(h.wBendDownCounter, 0);
}

TEST(PostureConditions, OverCountAdjustment) {
    DetectorUnderTest t;
    struct Case {
        int32_t pitch, o, lowFall, velocity, bend, expected;
    };
    const Case cases[] = {
        {20, 0, 10, 710, 0, 9},  {20, 0, 10, 700, 0, 2}, {34, 0, 10, 610, 0, 8},
        {35, 5, 6, 0, 0, 9},     {20, 5, 6, 600, 0, 0},  {16, 0, 10, 610, 0, 0},
        {20, 0, 5, 1000, 0, 0},  {-11, 0, 0, 0, 6, -4},  {-11, 0, 0, 0, 20, -7},
        {-11, 5, 0, 0, 6, -2},   {-11, 7, 0, 0, 6, 0},   {-10, 0, 0, 0, 6, 0},
        {0, 0, 10, 860, 0, 3},   {0, 0, 10, 859, 0, 0},  {0, 1, 10, 860, 0, 0},
        {-11, 0, 10, 860, 1, 3}, {0, 0, 0, 5000, 0, 0},
    };
    for (const Case &c : cases) {
        t.d.pitch = c.pitch;
        t.d.MaxJumpData.wOverCount = c.o;
        t.d.FallHistory.wLowFallCounter = c.lowFall;
        t.d.FallHistory.wVerticalVelocity = c.velocity;
        t.d.FallHistory.wBendDownCounter = c.bend;
        t.d.over_count2 = 1234;
        FallDetectorMakeConditions(&t.d, nullptr);
        EXPECT_EQ(t.d.over_count2, c.expected)
            << c.pitch << " " << c.o << " " << c.velocity << " " << c.bend;
    }
}

TEST(ConfirmingDecision, Types) {
    DetectorUnderTest t;
    struct Case {
        int32_t k, omega, o, over2, fallAvg, expected;
    };
    const Case cases[] = {
        {19, 159, 0, 0, 100, 0},
        {20, 159, 0, 0, 100, 1},
        {11, 0, 0, 9, 100, 1},
        {32, 0, 13, 0, 100, 0},
        {33, 0, 13, 0, 100, 3},
        {37, 0, 13, -7, 100, 0},
        {38, 0, 13, -7, 100, 9},
        {20, 160, 0, 0, 100, 12},
        // early while rotating: f = 0.04, 41 - 1.64 truncates to 39
        {5, 200, 0, 0, 41, 2},
        {5, 200, 2, 0, 41, 4},
        {4, 200, 0, 0, 41, 0},
        {5, 160, 0, 0, 40, 0},
        {5, 359, 0, 0, 48, 2},
        {5, 359, 0, 0, 50, 0},
        // at or above the second limit only full or long phases decide
        {19, 360, 0, 0, 0, 0},
        {20, 360, 0, 0, 0, 12},
        {38, 360, 13, -7, 0, 9},
    };
    for (const Case &c : cases) {
        t.d.check_count = c.k;
        t.d.omega_avg = static_cast<uint16_t>(c.omega);
        t.d.MaxJumpData.wOverCount = c.o;
        t.d.over_count2 = c.over2;
        t.d.fall_avg = static_cast<uint16_t>(c.fallAvg);
        EXPECT_EQ(FallDetectorConfirmDecision(&t.d), c.expected)
            << c.k << " " << c.omega << " " << c.fallAvg;
    }
}

struct TurnFixture : ::testing::Test {
    DetectorUnderTest t;
    void SetUp() override { t.JumpTo(100); }
    int Sample(int32_t acc, int32_t gyro, bool standing = false) {
        if (standing)
            ++t.d.wStandCounter;
        t.d.standCounter[t.d.wFallDataIndex] = t.d.wStandCounter;
        t.d.raw_acc = static_cast<uint16_t>(acc);
        t.d.raw_gyro = static_cast<uint16_t>(gyro);
        const int r = FallDetectorTurnFall(&t.d);
        FallDetectorAdvance(&t.d);
        return r;
    }
};

TEST_F(TurnFixture, NineteenTurningSamples) {
    for (int i = 0; i < 18; ++i) ASSERT_EQ(Sample(151, 151), 0);
    EXPECT_EQ(Sample(150, 300), 0);  // thresholds exclusive, count restarts
    for (int i = 0; i < 18; ++i) ASSERT_EQ(Sample(151, 151), 0);
    EXPECT_EQ(Sample(151, 151), 5);
}

TEST_F(TurnFixture, StandingSamplesInTheWindowDemandMore) {
    for (int i = 0; i < 19; ++i) ASSERT_EQ(Sample(151, 151, i >= 10 && i < 14), 0);
    EXPECT_EQ(Sample(151, 151), 0);
    EXPECT_EQ(Sample(151, 151), 5);  // 21 = 19 + 4 / 2
}

TEST(Impact, HardAndSofterImpacts) {
    DetectorUnderTest t;
    t.JumpTo(200);
    auto run = [&](int32_t ago, int32_t counter, int32_t sum, int32_t roll, int32_t pitch) {
        t.d.FallHistory.Items[0] = {200 - ago, counter};
        t.d.FallHistory.wIndex = 1;
        t.d.wThreeGravityJumpSum = sum;
        t.d.roll = roll;
        t.d.pitch = pitch;
        return FallDetectorThreeGravityImpact(&t.d);
    };
    EXPECT_EQ(run(5, 3, 1600, 0, 0), 6);
    EXPECT_EQ(run(5, 3, 1599, 0, 0), 0);
    EXPECT_EQ(run(6, 3, 1600, 0, 0), 0);
    EXPECT_EQ(run(5, 2, 1600, 0, 0), 0);
    EXPECT_EQ(run(5, 7, 1200, -56, 0), 16);
    EXPECT_EQ(run(5, 7, 1200, 56, 0), 16);
    EXPECT_EQ(run(5, 7, 1200, 0, 46), 16);
    EXPECT_EQ(run(5, 7, 1200, -55, 45), 0);
    EXPECT_EQ(run(5, 6, 1200, 60, 0), 0);
    // A hard sum without a recent phase does not try the softer rule.
    t.cfg.THREE_GRAVITY_FALL_OFFSET = 2;
    EXPECT_EQ(run(4, 8, 1599, 60, 0), 16);
    EXPECT_EQ(run(4, 8, 1600, 60, 0), 0);
}

}  // namespace
