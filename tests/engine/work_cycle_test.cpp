#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "engine_test_support.h"

namespace {

const FALL_DETECTOR_SENSOR_DATA kStill = {0, 0, -8192, 0, 0, 0};  // 1 g, no rotation
// 2 g and about 183 degrees per second: counts toward a turning fall.
const FALL_DETECTOR_SENSOR_DATA kTurning = {16384, 0, 0, 12000, 0, 0};

TEST(EntryPoints, VersionDefaultsAndInitialState) {
    EXPECT_EQ(std::string(FallDetectorGetVersionInfo()), "Q7-FallDetector-2.1.1");
    EXPECT_EQ(FallDetectorGetVersionInfo(), __FallDetector_VerisonInfo);

    FALL_DETECTOR_CFG cfg;
    EXPECT_EQ(FallDetectorSetDefaultConfig(&cfg), 0);
    static_assert(sizeof(FALL_DETECTOR_CFG) == 35 * sizeof(int32_t), "35 thresholds");
    const int32_t expected[35] = {20, 60,  140, 400, 160, 360,  40, 50, 50,   -180, -90, 35,
                                  4,  37,  60,  90,  55,  1600, 5,  3,  1200, 5,    7,   -3,
                                  1,  150, 150, 19,  10,  9,    25, 5,  20,   400,  25};
    EXPECT_EQ(std::memcmp(&cfg, expected, sizeof expected), 0);

    static FALL_DETECTOR d;
    std::memset(&d, 0xA5, sizeof d);  // whatever was there before
    EXPECT_EQ(FallDetectorSet(&d, &cfg), 0);
    EXPECT_EQ(d.cfg, &cfg);
    EXPECT_EQ(d.fall_avg, 100);  // the rings start at 1 g
    EXPECT_EQ(d.wFallSum, 2000);
    EXPECT_EQ(d.wThreeGravityJumpSum, 300);
    EXPECT_EQ(d.MaxJumpData.wIndex, -1);
    EXPECT_EQ(d.gravityJump[63], 100);
    EXPECT_EQ(d.omegaAngleMean[0], 0);
    EXPECT_EQ(d.wDataCounter, 0);
    EXPECT_EQ(d.ARS._Q->w(), 1.0);
    EXPECT_EQ(d.acc_lpf.ox, 0.0f);
}

TEST(WorkCycle, WarmUpReturnsZeroThenDecides) {
    DetectorUnderTest t;
    // Crafted so that every turning sample would decide a turning fall at once.
    for (int i = 0; i < 40; ++i) {
        t.d.wTurnFallCounter = 18;
        for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
        ASSERT_EQ(FallDetectorWork(&t.d, &kTurning), 0) << "call " << i + 1;
    }
    EXPECT_EQ(t.d.wTurnFallCounter, 18);
    for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
    EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
}

TEST(WorkCycle, PositiveResultAdvancesLikeZeroAndLaterCallsGoOn) {
    DetectorUnderTest t;
    for (int i = 0; i < 63; ++i) FallDetectorWork(&t.d, &kTurning);
    t.d.wTurnFallCounter = 30;
    for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
    EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
    EXPECT_EQ(t.d.wFallDataIndex, 0);
    EXPECT_EQ(t.d.wDataCounter, 64);
    for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
    EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
    EXPECT_EQ(t.d.wTurnFallCounter, 32);
    t.d.check_count = 100;  // cleared at the start of the decisions, so no free fall
    t.d.wTurnFallCounter = 0;
    EXPECT_EQ(FallDetectorWork(&t.d, &kStill), 0);
}

TEST(WorkCycle, MagnitudesTruncateAfterScaling) {
    DetectorUnderTest t;
    const FALL_DETECTOR_SENSOR_DATA fs = {-32768, -32768, -32768, -32768, -32768, -32768};
    FallDetectorWork(&t.d, &fs);
    EXPECT_EQ(t.d.raw_acc, 692);
    EXPECT_EQ(t.d.raw_gyro, 866);
    // Root first, then x 100, then truncation: 72.9999924 and 101.0 here (the other
    // order would give 73 and 100).
    const FALL_DETECTOR_SENSOR_DATA edge1 = {832, 5922, 0, 0, 0, 0},
                                    edge2 = {1438, 8148, 0, 0, 0, 0};
    FallDetectorWork(&t.d, &edge1);
    EXPECT_EQ(t.d.raw_acc, 72);
    FallDetectorWork(&t.d, &edge2);
    EXPECT_EQ(t.d.raw_acc, 101);
    t.cfg.CONTINUE_COUNT = 0;  // no averaging window: the average reads 0
    FallDetectorWork(&t.d, &edge2);
    EXPECT_EQ(t.d.fall_avg, 0);
}

TEST(WorkCycle, OneGStreamSettlesStanding) {
    DetectorUnderTest t;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(FallDetectorWork(&t.d, &kStill), 0);
        ASSERT_EQ(t.d.raw_acc, 100);
    }
    EXPECT_GE(t.d.lpf_acc, 99);
    EXPECT_GE(t.d.fall_avg, 99);
    EXPECT_LE(t.d.fall_avg, 100);
    EXPECT_GE(t.d.FallHistory.wLpfAcc5Hz, 99);
    EXPECT_EQ(t.d.wStandCounter, 300u);
}

// A still device reads roll 0 and pitch -90; the learned offsets place it anywhere.
TEST(WorkCycle, StandingTest) {
    const int32_t rows[][3] = {{-50, 0, 0}, {-49, 0, 1}, {49, 0, 1},
                               {50, 0, 0},  {1, 34, 1},  {1, 35, 0}};  // roll, pitch, standing
    for (const auto &r : rows) {
        DetectorUnderTest t;
        for (int i = 0; i < 70; ++i) FallDetectorWork(&t.d, &kStill);
        t.d.wRollCompensation = r[0];
        t.d.wPitchCompensation = 90 + r[1];
        FallDetectorWork(&t.d, &kStill);
        EXPECT_EQ(t.d.stand_state, r[2]) << r[0] << " " << r[1];
        EXPECT_EQ(t.d.wStandCounter, 70u + r[2]) << r[0] << " " << r[1];
        EXPECT_EQ(t.d.standCounter[FallDetectorRingIndex(&t.d, 1)], 70u + r[2]);
    }
}

// A confirming phase that decides nothing leaves the turning and impact rules their say.
TEST(WorkCycle, ConfirmingPhaseWithoutDecisionStillRunsTheLaterRules) {
    DetectorUnderTest t;
    for (int i = 0; i < 63; ++i) FallDetectorWork(&t.d, &kTurning);
    // The next sample's 5 Hz magnitude reads 0: the 10th sample of a strong phase.
    t.d.acc_lpf.ix = -2.0f;
    t.d.acc_lpf.iy = t.d.acc_lpf.iz = 0.0f;
    t.d.acc_lpf.ox = t.d.acc_lpf.oy = t.d.acc_lpf.oz = 0.0f;
    t.d.FallHistory.wHighFallCounter = 9;
    t.d.FallHistory.wLowFallCounter = 100;
    for (auto &c : t.d.lowFallCounter) c = 0;
    t.d.wTurnFallCounter = 18;
    for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
    EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
    EXPECT_EQ(t.d.check_count, 10);
}

TEST(WorkCycle, SixteenBitSumsWrap) {
    DetectorUnderTest t;
    for (int i = 0; i < 10; ++i) FallDetectorWork(&t.d, &kTurning);
    t.d.wFallSum = 10;
    t.d.gravityMean[FallDetectorRingIndex(&t.d, t.cfg.CONTINUE_COUNT)] = 500;
    t.d.wOmegaSum = 3;
    t.d.omegaAngleMean[FallDetectorRingIndex(&t.d, 5)] = 700;
    FallDetectorWork(&t.d, &kTurning);
    const uint16_t fallSum = static_cast<uint16_t>(65536 + 10 - 500 + t.d.lpf_acc);
    EXPECT_EQ(t.d.wFallSum, fallSum);
    EXPECT_EQ(t.d.fall_avg, fallSum / 20);
    const uint16_t omegaSum = static_cast<uint16_t>(65536 + 3 - 700 + t.d.lpf_gyro);
    EXPECT_EQ(t.d.wOmegaSum, omegaSum);
    EXPECT_EQ(t.d.omega_avg, omegaSum / 5);
}

TEST(WorkCycle, RandomStreamsKeepSumsTypesAndRingsConsistent) {
    const std::set<int> allowed = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 16};
    std::set<int> seen;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        DetectorUnderTest t;
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> full(-32768, 32767), pick(0, 9);
        std::normal_distribution<double> n(0.0, 3000.0);
        auto i16 = [](double v) { return static_cast<int16_t>(v); };
        for (int i = 0; i < 3000; ++i) {
            const int mode = pick(rng);
            FALL_DETECTOR_SENSOR_DATA s;
            if (mode == 0)  // wild
                s = {i16(full(rng)), i16(full(rng)), i16(full(rng)),
                     i16(full(rng)), i16(full(rng)), i16(full(rng))};
            else if (mode < 4)  // free fall with rotation
                s = {i16(n(rng) / 4), i16(n(rng) / 4), i16(n(rng) / 4),
                     i16(n(rng) * 4), i16(n(rng) * 4), i16(n(rng) * 4)};
            else  // about 1 g with noise
                s = {i16(n(rng)), i16(n(rng)), i16(-8192 + n(rng)),
                     i16(n(rng)), i16(n(rng)), i16(n(rng))};
            const int32_t before = t.d.wDataCounter;
            const int r = FallDetectorWork(&t.d, &s);
            ASSERT_TRUE(allowed.count(r)) << r;
            seen.insert(r);
            ASSERT_EQ(t.d.wDataCounter, before + 1);
            ASSERT_EQ(t.d.wFallDataIndex, (before + 1) % 64);
            ASSERT_TRUE(std::isfinite(t.d.ARS._Q->norm()));
            // Running sums agree with the ring contents (the slot just written is 1 ago).
            int32_t jump3 = 0, fall = 0, omega5 = 0;
            for (int k = 1; k <= 3; ++k) jump3 += t.d.gravityJump[FallDetectorRingIndex(&t.d, k)];
            for (int k = 1; k <= 20; ++k) fall += t.d.gravityMean[FallDetectorRingIndex(&t.d, k)];
            for (int k = 1; k <= 5; ++k)
                omega5 += t.d.omegaAngleMean[FallDetectorRingIndex(&t.d, k)];
            ASSERT_EQ(t.d.wThreeGravityJumpSum, jump3);
            ASSERT_EQ(t.d.wFallSum, static_cast<uint16_t>(fall));
            ASSERT_EQ(t.d.wOmegaSum, static_cast<uint16_t>(omega5));
        }
    }
    EXPECT_GT(seen.size(), 2u);  // the streams did reach decisions
}

}  // namespace
