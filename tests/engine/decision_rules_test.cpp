// The fall decision rules, one table per rule. Each row puts one threshold at its edge or one
// step past it, so that moving any boundary by one changes the outcome of some row.
#include <gtest/gtest.h>

#include <vector>

#include "engine_test_support.h"

namespace {

// --- jump data -----------------------------------------------------------------------------

struct JumpFixture : ::testing::Test {
    DetectorUnderTest t;
    MAX_JUMP_DATA &j = t.d.MaxJumpData;
    void SetUp() override { t.JumpTo(100); }
    void Sample(int32_t rawAcc, int32_t roll = 0, int32_t pitch = 0) {
        t.d.raw_acc = static_cast<uint16_t>(rawAcc);
        t.d.roll = roll;
        t.d.pitch = pitch;
        FallDetectorMakeJumpData(&t.d);
    }
};

TEST_F(JumpFixture, CollectsInsideTheBandAndRecordsOnlyUprightPeaks) {
    struct Row {
        const char *edge;
        int32_t highFall, raw, roll, pitch, valueBefore, sum, value;
    };
    const Row rows[] = {
        {"phase of 5 samples: collected", 5, 141, 0, 0, 0, 41, 141},
        {"phase of 6: not collected", 6, 141, 0, 0, 0, 0, 0},
        {"140: below the band", 0, 140, 0, 0, 0, 0, 0},
        {"399: inside", 0, 399, 0, 0, 0, 299, 399},
        {"400: above the band", 0, 400, 0, 0, 0, 0, 0},
        {"roll -59: peak", 0, 200, -59, 0, 0, 100, 200},
        {"roll -60: sum only", 0, 200, -60, 0, 0, 100, 0},
        {"roll 59: peak", 0, 200, 59, 0, 0, 100, 200},
        {"roll 60: sum only", 0, 200, 60, 0, 0, 100, 0},
        {"pitch 59: peak", 0, 200, 0, 59, 0, 100, 200},
        {"pitch 60: sum only", 0, 200, 0, 60, 0, 100, 0},
        {"equal to the peak: moves it", 0, 200, 0, 0, 200, 100, 200},
        {"below the peak: kept", 0, 199, 0, 0, 200, 99, 200},
    };
    for (const Row &r : rows) {
        t.Restart(100);
        t.d.FallHistory.wHighFallCounter = r.highFall;
        j.wValue = r.valueBefore;
        j.wIndex = 90;
        Sample(r.raw, r.roll, r.pitch);
        EXPECT_EQ(j.wJumpAccSum, r.sum) << r.edge;
        EXPECT_EQ(j.wValue, r.value) << r.edge;
        EXPECT_EQ(j.wIndex, r.value == r.raw ? 100 : 90) << r.edge;
        EXPECT_EQ(j.wJumpStartIndex, r.sum != 0 ? 100 : 0) << r.edge;
    }
}

TEST(JumpData, PeakTable) {
    const int32_t rows[][2] = {{170, 0}, {171, 4},  {185, 6},  {199, 7},  {200, 8},
                               {201, 8}, {229, 10}, {249, 12}, {250, 13}, {251, 13}};
    for (const auto &r : rows) EXPECT_EQ(FallDetectorJumpOverCount(r[0]), r[1]) << r[0];
}

TEST_F(JumpFixture, OverCountFromThePeakAfterThreeSamplesAndFromTheSum) {
    struct Row {
        const char *edge;
        int32_t sumBefore, startAgo, value, lastSet, overBefore, over;
    };
    // Each row adds one sample of 141 (41 to the sum) in a posture that records no peak.
    const Row rows[] = {
        {"2 samples after the start: no peak rule yet", 100, 2, 185, 0, 0, 0},
        {"3 samples after: from the peak table", 100, 3, 185, 0, 0, 6},
        {"peak already used: kept", 100, 3, 185, 185, 2, 2},
        {"sum 1079", 1038, 0, 0, 0, 0, 0},
        {"sum 1080", 1039, 0, 0, 0, 0, 1},
        {"sum 1139", 1098, 0, 0, 0, 0, 1},
        {"sum 1140", 1099, 0, 0, 0, 0, 2},
        {"sum 1859", 1818, 0, 0, 0, 0, 13},
        {"sum 1860: capped", 1819, 0, 0, 0, 0, 13},
        {"the larger of the two", 1039, 0, 0, 0, 6, 6},
    };
    for (const Row &r : rows) {
        t.Restart(100);
        j = {99, r.value, 0, r.overBefore, r.sumBefore, 100 - r.startAgo, r.lastSet};
        Sample(141, 60);
        EXPECT_EQ(j.wOverCount, r.over) << r.edge;
    }
}

TEST_F(JumpFixture, PeakIsForgottenOneSecondLater) {
    for (const int32_t ago : {50, 51}) {
        t.Restart(100);
        j = {100 - ago, 200, 0, 8, 400, 90 - ago, 200};
        Sample(100);
        const bool kept = ago == 50;  // value, over count, sum and last set value go together
        EXPECT_EQ(j.wValue + j.wOverCount + j.wJumpAccSum + j.wLastSetValue, kept ? 808 : 0);
        EXPECT_EQ(j.wIndex, 100 - ago) << "the index is kept";
        EXPECT_EQ(j.wJumpStartIndex, 90 - ago) << "the start is kept";
    }
}

// --- free-fall phase counters --------------------------------------------------------------

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

TEST_F(FallCounterFixture, PhaseBandsConfirmationAndClosing) {
    struct Row {
        const char *edge;
        std::vector<int32_t> a;  // 5 Hz magnitudes, in order
        int32_t lpfAcc;
        int32_t phase, check, recorded;  // after the last sample
    };
    const std::vector<int32_t> s5 = {60, 60, 60, 60, 60};
    auto then = [&](std::vector<int32_t> more) {
        std::vector<int32_t> v = s5;
        v.insert(v.end(), more.begin(), more.end());
        return v;
    };
    const Row rows[] = {
        {"96: no free fall", {96}, 50, 0, 0, 0},
        {"95: a phase opens", {95}, 50, 1, 0, 0},
        {"91: mild, stops at 5", std::vector<int32_t>(7, 91), 50, 5, 0, 0},
        {"90: grows on", std::vector<int32_t>(7, 90), 50, 7, 0, 0},
        {"the counter stops at 30", std::vector<int32_t>(31, 90), 50, 30, 0, 0},
        {"4 strong samples: not confirming", {60, 60, 60, 60}, 50, 4, 0, 0},
        {"the 5th confirms", s5, 50, 5, 5, 0},
        {"61 is not strong", std::vector<int32_t>(5, 61), 50, 5, 0, 0},
        {"3 strong of 7: confirming", {80, 80, 80, 80, 60, 60, 60}, 50, 7, 7, 0},
        {"2 strong of 6: not", {80, 80, 80, 80, 60, 60}, 50, 6, 0, 0},
        {"first strong sample at 7: kept", {80, 80, 80, 80, 80, 80, 60}, 50, 7, 0, 0},
        {"first strong sample at 8: cut to 5", {80, 80, 80, 80, 80, 80, 80, 60}, 50, 5, 0, 0},
        {"100 does not close", then({100}), 61, 5, 0, 0},
        {"101 closes", then({101}), 61, 0, 0, 1},
        {"a phase of 1 closes too", {95, 101}, 61, 0, 0, 0},
        {"101 with lpf_acc 60 does not", then({101}), 60, 5, 0, 0},
        {"3 reduced after the strong: open", then({80, 80, 80}), 61, 8, 0, 0},
        {"the 4th closes", then({80, 80, 80, 80}), 61, 0, 0, 1},
        {"the 4th with lpf_acc 60 does not", then({80, 80, 80, 80}), 60, 9, 0, 0},
        {"no strong sample in the phase: never closes", std::vector<int32_t>(9, 80), 61, 9, 0, 0},
    };
    for (const Row &r : rows) {
        t.Restart(100);
        int32_t check = 0;
        for (int32_t a : r.a) check = Sample(a, r.lpfAcc);
        EXPECT_EQ(h.wHighFallCounter, r.phase) << r.edge;
        EXPECT_EQ(check, r.check) << r.edge;
        EXPECT_EQ(h.wIndex, r.recorded) << r.edge;
        // A recorded phase is described by its last confirming sample, here the 5th.
        EXPECT_EQ(h.Items[0].wLastIndex, r.recorded ? 104 : 0) << r.edge;
        EXPECT_EQ(h.Items[0].wFallCounter, r.recorded ? 5 : 0) << r.edge;
    }
}

TEST_F(FallCounterFixture, BendingDownAndWhatThePhaseDoesToTheJump) {
    Sample(100, 100, -10001);
    Sample(100, 100, -10001);
    EXPECT_EQ(h.wBendDownCounter, 2);
    Sample(100, 100, -10000);
    EXPECT_EQ(h.wBendDownCounter, 0);
    // The first strong sample of a phase damps a small jump (sum below 1080) to 3.
    const int32_t damp[][3] = {{1079, 4, 3}, {1080, 4, 4}, {1079, 3, 3}};  // sum, over, after
    for (const auto &r : damp) {
        t.Restart(100);
        t.d.MaxJumpData.wJumpAccSum = r[0];
        t.d.MaxJumpData.wOverCount = r[1];
        Sample(60);
        EXPECT_EQ(t.d.MaxJumpData.wOverCount, r[2]) << r[0] << " " << r[1];
        t.d.MaxJumpData.wOverCount = 8;
        Sample(60);
        EXPECT_EQ(t.d.MaxJumpData.wOverCount, 8) << "only the first strong sample damps";
    }
    // A phase of 7 or more closing above 1 g forgets the jump; a phase of 6 does not.
    for (const int32_t len : {6, 7}) {
        t.Restart(100);
        for (int i = 0; i < len; ++i) Sample(60);
        t.d.MaxJumpData.wValue = 200;
        Sample(101, 61);
        EXPECT_EQ(t.d.MaxJumpData.wValue, len == 7 ? 0 : 200) << len;
    }
}

// --- posture conditions --------------------------------------------------------------------

TEST(PostureConditions, OverCountAdjustment) {
    DetectorUnderTest t;
    struct Row {
        const char *edge;
        int32_t pitch, o, lowFall, velocity, bend, expected;
    };
    const Row rows[] = {
        {"bend 6 leaning -11: -4", -11, 0, 0, 0, 6, -4},
        {"pitch -10: no bend rule", -10, 0, 0, 0, 6, 0},
        {"bend 2: -2", -11, 0, 0, 0, 2, -2},
        {"bend 14: capped at -7", -11, 0, 0, 0, 14, -7},
        {"with o 6: -1", -11, 6, 0, 0, 6, -1},
        {"with o 7: nothing left", -11, 7, 0, 0, 6, 0},
        {"bend 12 with o 1: 6", -11, 1, 0, 0, 12, -6},
        {"pitch 15: default rule (3)", 15, 0, 6, 516, 0, 3},
        {"pitch 16, v 71: 9", 16, 0, 6, 426, 0, 9},
        {"pitch 16, v 70: ratio rule gives 0", 16, 0, 6, 420, 0, 0},
        {"pitch 34, v 61: 8", 34, 0, 6, 366, 0, 8},
        {"pitch 33, v 61: 8", 33, 0, 6, 366, 0, 8},
        {"pitch 34, v 60: default", 34, 0, 6, 360, 0, 0},
        {"pitch 18, v 61: 1", 18, 0, 6, 366, 0, 1},
        {"pitch 35: 9", 35, 5, 6, 0, 0, 9},
        {"pitch 24 with o 5: back rules", 24, 5, 6, 426, 0, 9},
        {"pitch 23 with o 1: default", 23, 1, 6, 426, 0, 0},
        {"L 5 leaning back: default", 35, 0, 5, 0, 0, 0},
        {"default: L 6, v 86: 3", 0, 0, 6, 516, 0, 3},
        {"default: v 85: 0", 0, 0, 6, 510, 0, 0},
        {"default: o 1: 0", 0, 1, 6, 516, 0, 0},
        {"leaning -11 with bend 1 falls to the default", -11, 0, 6, 516, 1, 3},
    };
    for (const Row &r : rows) {
        t.d.pitch = r.pitch;
        t.d.MaxJumpData.wOverCount = r.o;
        t.d.FallHistory.wLowFallCounter = r.lowFall;
        t.d.FallHistory.wVerticalVelocity = r.velocity;
        t.d.FallHistory.wBendDownCounter = r.bend;
        t.d.over_count2 = 1234;
        FallDetectorMakeConditions(&t.d, nullptr);
        EXPECT_EQ(t.d.over_count2, r.expected) << r.edge;
    }
}

// --- confirming-count decision -------------------------------------------------------------

TEST(ConfirmingDecision, Types) {
    DetectorUnderTest t;
    struct Row {
        const char *edge;
        int32_t n, k, omega, o, over2, fallAvg, expected;
    };
    const Row rows[] = {
        {"k 19 of 20", 20, 19, 159, 0, 0, 100, 0},
        {"k 20 of 20", 20, 20, 159, 0, 0, 100, 1},
        {"posture lowers the need", 20, 11, 0, 0, 9, 100, 1},
        {"... by exactly over_count2", 20, 10, 0, 0, 9, 100, 0},
        {"after a jump: k 20 of 21", 20, 20, 0, 1, 0, 100, 0},
        {"after a jump: k 21 of 21", 20, 21, 0, 1, 0, 100, 3},
        {"omega 160 full: 12", 20, 20, 160, 0, 0, 100, 12},
        {"early after a jump", 20, 5, 200, 1, 0, 41, 4},
        {"early: N 19 needs 5", 19, 4, 200, 0, 0, 41, 0},
        {"early: N 18 needs 4", 18, 4, 200, 0, 0, 41, 2},
        {"discount edge: omega 326, average 48", 20, 5, 326, 0, 0, 48, 0},
        {"discount edge: omega 327, average 48", 20, 5, 327, 0, 0, 48, 2},
        {"omega 360: no early decision", 20, 19, 360, 0, 0, 0, 0},
        {"long phase: 37", 20, 37, 0, 13, -7, 100, 0},
        {"long phase: 38", 20, 38, 0, 13, -7, 100, 9},
    };
    for (const Row &r : rows) {
        t.cfg.CONTINUE_COUNT = r.n;
        t.d.check_count = r.k;
        t.d.omega_avg = static_cast<uint16_t>(r.omega);
        t.d.MaxJumpData.wOverCount = r.o;
        t.d.over_count2 = r.over2;
        t.d.fall_avg = static_cast<uint16_t>(r.fallAvg);
        EXPECT_EQ(FallDetectorConfirmDecision(&t.d), r.expected) << r.edge;
    }
}

// --- turning fall --------------------------------------------------------------------------

TEST(TurningFall, SustainedLoadAndRotation) {
    // raw_acc, raw_gyro, samples of them, standing among them -> result of the last sample
    const int32_t rows[][5] = {{151, 151, 19, 0, 5}, {151, 151, 18, 0, 0}, {150, 151, 19, 0, 0},
                               {151, 150, 19, 0, 0}, {151, 151, 21, 4, 5}, {151, 151, 20, 4, 0}};
    for (const auto &r : rows) {
        DetectorUnderTest t;
        int result = 0;
        for (int32_t i = 0; i < r[2]; ++i) {
            t.d.wStandCounter += (i >= 5 && i < 5 + r[3]) ? 1 : 0;
            t.d.standCounter[t.d.wFallDataIndex] = t.d.wStandCounter;
            t.d.raw_acc = static_cast<uint16_t>(r[0]);
            t.d.raw_gyro = static_cast<uint16_t>(r[1]);
            result = FallDetectorTurnFall(&t.d);
            FallDetectorAdvance(&t.d);
        }
        EXPECT_EQ(result, r[4]) << r[0] << " " << r[1] << " " << r[2] << " " << r[3];
        EXPECT_EQ(t.d.wTurnFallCounter, r[0] > 150 && r[1] > 150 ? r[2] : 0) << r[0] << " " << r[1];
    }
}

// --- three-sample impact -------------------------------------------------------------------

TEST(Impact, HardAndSofterImpacts) {
    struct Row {
        const char *edge;
        int32_t ago, counter, sum, roll, pitch, expected;  // last phase: ago, counter
    };
    const Row rows[] = {
        {"hard: 1600 just after a phase of 3", 5, 3, 1600, 0, 0, 6},
        {"hard: 1599 is not hard", 5, 3, 1599, 0, 0, 0},
        {"hard: phase 6 samples ago", 6, 3, 1600, 0, 0, 0},
        {"hard: phase of 2", 5, 2, 1600, 0, 0, 0},
        {"soft: roll -56", 5, 7, 1200, -56, 0, 16},
        {"soft: roll -55", 5, 7, 1200, -55, 0, 0},
        {"soft: roll 56", 5, 7, 1200, 56, 0, 16},
        {"soft: roll 55", 5, 7, 1200, 55, 0, 0},
        {"soft: pitch 46", 5, 7, 1200, 0, 46, 16},
        {"soft: pitch 45", 5, 7, 1200, 0, 45, 0},
        {"soft: 1199", 5, 7, 1199, 60, 0, 0},
        {"soft: phase of 6", 5, 6, 1200, 60, 0, 0},
        {"soft: phase 6 samples ago", 6, 7, 1200, 60, 0, 0},
    };
    DetectorUnderTest t;
    t.JumpTo(200);
    auto impact = [&](int32_t ago, int32_t counter, int32_t sum, int32_t roll, int32_t pitch) {
        t.d.FallHistory.Items[0] = {200 - ago, counter};
        t.d.FallHistory.wIndex = 1;
        t.d.wThreeGravityJumpSum = sum;
        t.d.roll = roll;
        t.d.pitch = pitch;
        return FallDetectorThreeGravityImpact(&t.d);
    };
    for (const Row &r : rows)
        EXPECT_EQ(impact(r.ago, r.counter, r.sum, r.roll, r.pitch), r.expected) << r.edge;
}

}  // namespace
