#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "counter_wrap.h"
#include "engine_test_support.h"

namespace {

const FALL_DETECTOR_SENSOR_DATA kStill = {0, 0, -8192, 0, 0, 0};  // 1 g, no rotation
// 2 g and about 183 degrees per second: counts toward a turning fall.
const FALL_DETECTOR_SENSOR_DATA kTurning = {16384, 0, 0, 12000, 0, 0};

TEST(EntryPoints, VersionAndDefaults) {
    EXPECT_EQ(std::string(FallDetectorGetVersionInfo()), "Q7-FallDetector-2.1.1");

    FALL_DETECTOR_CFG cfg;
    EXPECT_EQ(FallDetectorSetDefaultConfig(&cfg), 0);
    static_assert(sizeof(FALL_DETECTOR_CFG) == 35 * sizeof(int32_t), "35 thresholds");
    const int32_t expected[35] = {20, 60,  140, 400, 160, 360,  40, 50, 50,   -180, -90, 35,
                                  4,  37,  60,  90,  55,  1600, 5,  3,  1200, 5,    7,   -3,
                                  1,  150, 150, 19,  10,  9,    25, 5,  20,   400,  25};
    EXPECT_EQ(std::memcmp(&cfg, expected, sizeof expected), 0);
}

// Crafted so that every turning sample would decide a turning fall at once: the first 40
// calls still return 0; a positive result advances like a zero one, and the next call goes on.
TEST(WorkCycle, WarmUpThenDecisionsThatAdvanceLikeAnyCall) {
    DetectorUnderTest t;
    for (int i = 0; i < 41; ++i) {
        t.d.wTurnFallCounter = 18;
        for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
        ASSERT_EQ(FallDetectorWork(&t.d, &kTurning), i < 40 ? 0 : 5) << "call " << i + 1;
    }
    EXPECT_EQ(t.d.wDataCounter, 41);
    EXPECT_EQ(t.d.wFallDataIndex, 41);
    for (auto &s : t.d.standCounter) s = t.d.wStandCounter;
    EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
    EXPECT_EQ(t.d.wTurnFallCounter, 20);
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
        EXPECT_EQ(t.d.standCounter[FallDetectorSlotBefore(t.d.wFallDataIndex, 1)], 70u + r[2]);
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

TEST(CounterWrap, FallsAcrossTheWrapDecideAsWithoutIt) {
    ExpectFallsAcrossTheWrapToDecideAsWithoutIt({"jump_fall", "hard_impact", "collision_fall",
                                                 "long_collision_fall", "soft_impact_tilted",
                                                 "turning_fall"});
}

}  // namespace
