// The data-logging variant's own rules, one table per rule; each row puts one threshold at its
// edge or one step past it. The pieces it shares with the device engine are tested there.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FallDetector.h"
#include "FallDetectorRules.h"
#include "counter_wrap.h"

namespace {

// A variant detector well past its warm-up, with one call's signals to fill in.
struct Variant {
    FALL_DETECTOR_CFG cfg;
    FALL_DETECTOR d;
    FALL_DETECTOR_SENSOR_DATA s = {0, -8192, 0, 0, 0, 0};
    FallDetectorCall c = {};
    explicit Variant(int32_t counter = 1000) {
        FallDetectorSetDefaultConfig(&cfg);
        FallDetectorSet(&d, &cfg);
        d.wDataCounter = counter;
        d.wFallDataIndex = counter % FALL_DETECTOR_RING;
        c.sample = &s;
        c.raw_acc = c.lpf_acc = 100;
        c.standing = true;
    }
    // The most recent fall phase: ended `ago` samples before now, `count` samples long.
    void LastPhase(int32_t ago, int32_t count) {
        d.FallHistory.Items[0] = {d.wDataCounter - ago, count};
        d.FallHistory.wIndex = 1;
    }
    // Standing samples among the last ones: the `recent` newest, then `before` of the older.
    void Standing(int32_t recent, int32_t before, int32_t window) {
        uint32_t count = 1000;
        for (int32_t ago = 0; ago < FALL_DETECTOR_RING; ++ago) {
            d.standCounter[FallDetectorSlotBefore(d.wFallDataIndex, ago)] = count;
            const bool standing = ago < window ? ago < recent : ago < window + before;
            count -= standing ? 1 : 0;
        }
    }
};

TEST(VariantEntryPoints, DefaultsAndACopiedConfiguration) {
    Variant v;
    const int32_t expected[35] = {15, 60,  140, 400, 160, 360,  40, 50, 38,   -70, -90, 35,
                                  4,  37,  60,  90,  55,  1600, 5,  3,  1200, 5,   7,   -3,
                                  1,  150, 150, 19,  10,  9,    25, 5,  20,   400, 25};
    EXPECT_EQ(std::memcmp(&v.cfg, expected, sizeof expected), 0);
    v.cfg.CONTINUE_COUNT = 3;  // the detector keeps its own copy
    EXPECT_EQ(v.d.cfg.CONTINUE_COUNT, 15);
    EXPECT_EQ(v.d.wFallSum, 1500);
    EXPECT_EQ(v.d.wThreeGravityJumpSum, 300);
    EXPECT_EQ(v.d.wJumpIndex, -1);
}

TEST(VariantEntryPoints, StandingTest) {
    const int32_t rows[][3] = {{-38, 0, 0}, {-37, 0, 1}, {37, 0, 1}, {38, 0, 0},
                               {0, -70, 0}, {0, -69, 1}, {0, 34, 1}, {0, 35, 0}};
    Variant v;
    for (const auto &r : rows)
        EXPECT_EQ(FallDetectorIsStanding(&v.cfg, r[0], r[1]), r[2] == 1) << r[0] << " " << r[1];
}

TEST(VariantJump, WindowGrowsWithThePeakUpToItsCap) {
    const int32_t rows[][2] = {{141, 5},  {174, 9},  {175, 9},  {190, 15}, {197, 18},
                               {199, 18}, {200, 20}, {284, 36}, {285, 37}, {290, 37}};
    Variant v;
    for (const auto &r : rows) EXPECT_EQ(FallDetectorJumpWindow(&v.cfg, r[0]), r[1]) << r[0];
}

TEST(VariantJump, TakenOnlyInItsBandPostureAndOutsideAFallPhase) {
    struct Row {
        const char *edge;
        int32_t raw, accY, roll, pitch, value, phase, ago, count;
        bool taken;
    };
    const Row rows[] = {
        {"baseline", 200, -16000, 0, 0, 0, 0, 50, 9, true},
        {"raw 140", 140, -16000, 0, 0, 0, 0, 50, 9, false},
        {"raw 141", 141, -16000, 0, 0, 0, 0, 50, 9, true},
        {"raw 399", 399, -16000, 0, 0, 0, 0, 50, 9, true},
        {"raw 400", 400, -16000, 0, 0, 0, 0, 50, 9, false},
        {"equal to the last jump", 200, -16000, 0, 0, 200, 0, 50, 9, true},
        {"below the last jump", 200, -16000, 0, 0, 201, 0, 50, 9, false},
        {"accY -23000", 200, -23000, 0, 0, 0, 0, 50, 9, false},
        {"accY -22999", 200, -22999, 0, 0, 0, 0, 50, 9, true},
        {"accY -4097", 200, -4097, 0, 0, 0, 0, 50, 9, true},
        {"accY -4096", 200, -4096, 0, 0, 0, 0, 50, 9, false},
        {"roll -38", 200, -16000, -38, 0, 0, 0, 50, 9, false},
        {"roll -37", 200, -16000, -37, 0, 0, 0, 50, 9, true},
        {"roll 37", 200, -16000, 37, 0, 0, 0, 50, 9, true},
        {"roll 38", 200, -16000, 38, 0, 0, 0, 50, 9, false},
        {"pitch -90", 200, -16000, 0, -90, 0, 0, 50, 9, false},
        {"pitch -89", 200, -16000, 0, -89, 0, 0, 50, 9, true},
        {"pitch 34", 200, -16000, 0, 34, 0, 0, 50, 9, true},
        {"pitch 35", 200, -16000, 0, 35, 0, 0, 50, 9, false},
        {"open phase of 4", 200, -16000, 0, 0, 0, 4, 50, 9, true},
        {"open phase of 5", 200, -16000, 0, 0, 0, 5, 50, 9, false},
        {"phase of 5 ended 5 ago", 200, -16000, 0, 0, 0, 0, 5, 5, false},
        {"phase of 5 ended 6 ago", 200, -16000, 0, 0, 0, 0, 6, 5, true},
        {"phase of 4 ended 5 ago", 200, -16000, 0, 0, 0, 0, 5, 4, true},
    };
    for (const Row &r : rows) {
        Variant v;
        v.s.accY = static_cast<int16_t>(r.accY);
        v.c = {&v.s, r.raw, 100, 0, 0, 0, 0, r.roll, r.pitch, true};
        v.d.wJumpValue = r.value;
        v.d.FallHistory.wFallCounter = r.phase;
        v.LastPhase(r.ago, r.count);
        FallDetectorMakeJump(&v.d, &v.c);
        EXPECT_EQ(v.d.wJumpIndex, r.taken ? 1000 : -1) << r.edge;
        EXPECT_EQ(v.d.wJumpEndIndex, r.taken ? 1000 + FallDetectorJumpWindow(&v.cfg, r.raw) : 0)
            << r.edge;
    }
}

// The flip tracker, one sample at a time; returns the vertical-fall count of the sample.
int32_t Flip(Variant &v, int32_t ax, int32_t ay, int32_t raw, int32_t gyro = 100, int32_t lpf = 100,
             int32_t az = 0) {
    v.s.accX = static_cast<int16_t>(ax);
    v.s.accY = static_cast<int16_t>(ay);
    v.s.accZ = static_cast<int16_t>(az);
    v.c.raw_acc = raw;
    v.c.raw_gyro = gyro;
    v.c.lpf_acc = lpf;
    const int32_t x = FallDetectorTrackFlip(&v.d, &v.c);
    FallDetectorAdvance(&v.d);
    return x;
}

TEST(VariantFlip, StartsWhenALongRunOfTheDominantAxisJustTurned) {
    struct Row {
        const char *edge;
        int32_t prevRun, runBefore, ax, ay, az, raw, gyro, state, axis;
    };
    // Y read negative for prevRun samples, then positive for runBefore; now one more sample.
    // X read negative for long before; Z read 0.
    const Row rows[] = {
        {"run 30 turned, Y dominant", 30, 0, -1, 12000, 0, 150, 100, 1, 1},
        {"run 29", 29, 0, -1, 12000, 0, 150, 100, 0, 0},
        {"9th sample of the new sign", 30, 8, -1, 12000, 0, 150, 100, 1, 1},
        {"10th", 30, 9, -1, 12000, 0, 150, 100, 0, 0},
        {"raw 129", 30, 0, -1, 12000, 0, 129, 100, 0, 0},
        {"raw 130", 30, 0, -1, 12000, 0, 130, 100, 1, 1},
        {"rate 401", 30, 0, -1, 12000, 0, 150, 401, 0, 0},
        {"rate 400", 30, 0, -1, 12000, 0, 150, 400, 1, 1},
        {"X as large as Y: Y", 30, 0, -12000, 12000, 0, 150, 100, 1, 1},
        {"X larger: X, whose run did not turn", 30, 0, -12001, 12000, 0, 150, 100, 0, 0},
        {"X larger and just turned", 30, 0, 12001, 12000, 0, 150, 100, 1, 0},
        {"X turned, as large as Z: X", 30, 0, 12000, 0, 12000, 150, 100, 1, 0},
    };
    for (const Row &r : rows) {
        Variant v;
        v.d.axisSign[1] = -1;
        v.d.axisRun[1] = r.prevRun;
        v.d.axisSign[0] = -1;
        v.d.axisRun[0] = 100;
        for (int32_t i = 0; i < r.runBefore; ++i) Flip(v, r.ax, 9000, 100, 100);
        Flip(v, r.ax, r.ay, r.raw, r.gyro, 100, r.az);
        EXPECT_EQ(v.d.wFlipState, r.state) << r.edge;
        EXPECT_EQ(v.d.wFlipAxis, r.axis) << r.edge;
        EXPECT_EQ(v.d.wFlipAccSum, r.state ? r.raw + 100 : 0) << r.edge;
    }
}

TEST(VariantFlip, CountsTheLoadedFlipAndTheLowMagnitudeAfterIt) {
    // State 1: loaded samples of the same sign add up; the flip ends on the first that is not,
    // and counts when its sum reached 1700.
    const int32_t ends[][5] = {{1700, 99, 100, 2, 1700},
                               {1699, 99, 100, 0, 0},
                               {1600, 100, 400, 1, 1800},
                               {1600, 100, 401, 0, 0}};
    auto flipping = [](Variant &v, int32_t sum) {  // a flip under way on Y, positive
        v.d.wFlipState = v.d.wFlipAxis = v.d.axisSign[1] = 1;
        v.d.wFlipAccSum = sum;
    };
    for (const auto &r : ends) {  // sum before, raw, rate -> state after, sum after
        Variant v;
        flipping(v, r[0]);
        Flip(v, 0, 9000, r[1], r[2]);
        EXPECT_EQ(v.d.wFlipState, r[3]) << r[0] << " " << r[1] << " " << r[2];
        EXPECT_EQ(v.d.wFlipAccSum, r[4]) << r[0] << " " << r[1] << " " << r[2];
    }
    Variant v;
    flipping(v, 1700);
    Flip(v, 0, -9000, 150);  // the sign turned back: the flip is over
    EXPECT_EQ(v.d.wFlipState, 2);
    EXPECT_EQ(v.d.wFlipAccSumDiv, 17);
    EXPECT_EQ(v.d.wFlipStartIndex, 999);
    // State 2: low magnitude counts when it starts within 10 samples of the flip (start 999).
    EXPECT_EQ(Flip(v, 0, 0, 60, 0, 100), 0);  // 2 samples after: counting, 1
    EXPECT_EQ(Flip(v, 0, 0, 100, 0, 60), 2 + 17);
    EXPECT_EQ(Flip(v, 0, 0, 61, 0, 61), 0);  // high again: counting stops
    EXPECT_EQ(v.d.wFlipLowCounter, 0);
    for (int i = 0; i < 4; ++i) Flip(v, 0, 0, 100);
    Variant w = v;                   // 9 samples after the flip next
    EXPECT_EQ(Flip(w, 0, 0, 0), 0);  // starts counting...
    EXPECT_EQ(Flip(w, 0, 0, 0), 2 + 17);
    Flip(v, 0, 0, 100);
    EXPECT_EQ(Flip(v, 0, 0, 0), 0);  // 10 samples after: too late to start counting
    EXPECT_EQ(Flip(v, 0, 0, 0), 0);
    for (int i = 0; i < 9; ++i) Flip(v, 0, 0, 100);
    EXPECT_EQ(v.d.wFlipState, 2);  // high again 20 samples after the flip: still waiting
    Flip(v, 0, 0, 100);
    EXPECT_EQ(v.d.wFlipState, 0);
    EXPECT_EQ(v.d.wFlipAccSum, 0);
}

TEST(VariantFallPhase, CountsFilteredLowMagnitudeAndRecordsItsPhases) {
    struct Row {
        const char *edge;
        int32_t before, lpf, raw, counter, recorded;
    };
    const Row rows[] = {
        {"lpf 60 counts", 0, 60, 0, 1, 0},
        {"lpf 61 ends a phase of 4 and records it", 4, 61, 0, 0, 1},
        {"a phase of 3 is not recorded", 3, 61, 0, 0, 0},
        {"13th sample with a hit of 151 records at once", 12, 60, 151, 0, 1},
        {"a hit of 150 does not", 12, 60, 150, 13, 0},
        {"12th sample with a hit does not", 11, 60, 151, 12, 0},
    };
    for (const Row &r : rows) {
        Variant v;
        v.d.FallHistory.wFallCounter = r.before;
        v.c.lpf_acc = r.lpf;
        v.c.raw_acc = r.raw;
        EXPECT_EQ(FallDetectorMakeFallPhase(&v.d, &v.c), 0) << r.edge;
        EXPECT_EQ(v.d.FallHistory.wFallCounter, r.counter) << r.edge;
        EXPECT_EQ(v.d.FallHistory.wIndex, r.recorded) << r.edge;
        EXPECT_EQ(v.d.FallHistory.Items[0].wLastIndex, r.recorded ? 999 : 0) << r.edge;
        EXPECT_EQ(v.d.wCollisionCheckLastIndex, r.recorded ? 1020 : 0) << r.edge;
    }
}

TEST(VariantCollision, PhaseHitPhase) {
    struct Row {
        const char *edge;
        int32_t e, gap, h, recent, before, peak, peakAt, jumpEnd, after, expected;
    };
    // The earlier phase ended at 900 (e samples); the current one of h samples ends now and
    // started at 901 + gap; the peak lies at peakAt. No standing unless said. (The peak's
    // limits are the shared code's, tested with the device engine; the gap test is this
    // engine's own.)
    const Row rows[] = {
        {"e 6, h 5, off balance", 6, 5, 5, 0, 0, 400, 903, 0, 5, 7},
        {"h 4", 6, 5, 4, 0, 0, 400, 903, 0, 4, 0},
        {"e 5", 5, 5, 5, 0, 0, 400, 903, 0, 5, 0},
        {"gap 4", 6, 4, 5, 0, 0, 400, 903, 0, 5, 0},
        {"gap 20", 6, 20, 5, 0, 0, 400, 903, 0, 5, 7},
        {"gap 21", 6, 21, 5, 0, 0, 400, 903, 0, 5, 0},
        {"peak at the start", 6, 5, 5, 0, 0, 400, 906, 0, 5, 0},
        {"jump window ends right after it", 6, 5, 5, 0, 0, 400, 903, 901, 5, 7},
        {"11 of 17 standing: e 18, h 17", 18, 5, 17, 11, 1, 400, 903, 0, 17, 7},
        {"long: e 16, h 9, standing before", 16, 5, 9, 3, 8, 400, 903, 0, 9, 8},
        {"long: 4 standing of 9", 16, 5, 9, 4, 8, 400, 903, 0, 9, 0},
        {"long: 24 in all", 15, 5, 9, 3, 8, 400, 903, 0, 9, 0},
        {"long: after-count 8", 16, 5, 9, 3, 8, 400, 903, 0, 8, 0},
        {"long: e 9, h 16, after a jump", 9, 5, 16, 0, 0, 400, 903, 902, 16, 0},
        {"long: e 10, h 16, after a jump", 10, 5, 16, 0, 0, 400, 903, 902, 16, 8},
    };
    for (const Row &r : rows) {
        Variant v(901 + r.gap + r.h - 1);
        const FALL_HISTORY_ITEM e = {900, r.e};
        v.d.wCollisionRawAccMax = r.peak;
        v.d.wCollisionRawAccMaxIndex = r.peakAt;
        v.d.wJumpEndIndex = r.jumpEnd;
        v.Standing(r.recent, r.before, r.h);
        EXPECT_EQ(FallDetectorCollisionType(&v.d, r.h, &e, r.after), r.expected) << r.edge;
    }
    // The long type needs more than 4 samples of its own.
    for (const int32_t h : {4, 5}) {
        Variant v(905 + h);
        v.d.cfg.AFTER_COLLISION_FALL_COUNTER_LIMIT = 3;
        v.d.wCollisionRawAccMax = 400;
        v.d.wCollisionRawAccMaxIndex = 903;
        v.d.wJumpEndIndex = 902;
        const FALL_HISTORY_ITEM e = {900, 21};
        EXPECT_EQ(FallDetectorCollisionType(&v.d, h, &e, h), h == 5 ? 8 : 0) << h;
    }
}

TEST(VariantRawFall, CountsUnfilteredLowMagnitude) {
    struct Row {
        const char *edge;
        std::vector<int32_t> raw;
        int32_t counter, confirm, mean, recorded;
    };
    const Row rows[] = {
        {"61 opens nothing", {61}, 0, 0, 0, 0},
        {"60 opens one", {60}, 1, 1, 0, 0},
        {"90 keeps it open", {50, 90}, 2, 0, 0, 0},
        {"91 closes it", {50, 91}, 0, 0, 0, 0},
        {"mean 55 confirms", {55, 55, 55, 55}, 4, 4, 55, 0},
        {"mean 56 does not", {56, 56, 56, 56}, 4, 0, 56, 0},
        {"a high sample does not", {50, 50, 50, 50, 61}, 5, 0, 50, 0},
        {"after a low one all count again", {50, 50, 50, 50, 70, 50}, 6, 0, 53, 0},
        {"5 confirming: kept", {50, 50, 50, 50, 50}, 5, 5, 50, 0},
        {"4 confirming, then closed: recorded", {50, 50, 50, 50, 91}, 0, 0, 0, 1},
    };
    for (const Row &r : rows) {
        Variant v;
        for (int32_t a : r.raw) {
            v.c.raw_acc = a;
            EXPECT_EQ(FallDetectorMakeRawFall(&v.d, &v.c), 0) << r.edge;
            FallDetectorAdvance(&v.d);
        }
        EXPECT_EQ(v.d.wRawFallCounter, r.counter) << r.edge;
        EXPECT_EQ(v.d.wRawFallConfirm, r.confirm) << r.edge;
        EXPECT_EQ(v.d.wRawFallMean, r.mean) << r.edge;
        EXPECT_EQ(v.d.RawFallHistory.wIndex, r.recorded) << r.edge;
        EXPECT_EQ(v.d.RawFallHistory.Items[0].wLastIndex, r.recorded ? 1003 : 0) << r.edge;
    }
}

TEST(VariantDecision, ConfirmingCounts) {
    struct Row {
        const char *edge;
        int32_t h, since, jumpAgo, confirm, mean, omega, fallAvg;
        bool standing;
        int expected;
    };
    const Row rows[] = {
        {"held back by a jump", 20, -1, 100, 0, 0, 0, 100, true, 0},
        {"standing: 15", 15, 50, 100, 0, 0, 0, 100, true, 1},
        {"standing: 14", 14, 50, 100, 0, 0, 0, 100, true, 0},
        {"not standing: 14", 14, 50, 100, 0, 0, 0, 100, false, 1},
        {"12 since the jump window", 20, 12, 100, 0, 0, 0, 100, false, 0},
        {"jump 40 ago: 15", 15, 50, 40, 0, 0, 0, 100, false, 3},
        {"jump 41 ago", 14, 50, 41, 0, 0, 0, 100, false, 1},
        {"raw fall as long", 15, 50, 100, 15, 60, 0, 100, true, 101},
        {"raw fall mean 61", 15, 50, 100, 15, 61, 0, 100, true, 1},
        {"raw fall shorter", 15, 50, 100, 14, 0, 0, 100, true, 1},
        {"raw fall of 5 over a phase of 4", 4, 50, 100, 5, 0, 200, 41, false, 102},
        {"raw fall of 4", 4, 50, 100, 4, 0, 200, 41, false, 2},
        {"rotating: 12", 15, 50, 100, 0, 0, 160, 100, true, 12},
        {"omega 159: 1", 15, 50, 100, 0, 0, 159, 100, true, 1},
        {"early: 3 of 14", 3, 50, 100, 0, 0, 200, 41, false, 2},
        {"early: 2", 2, 50, 100, 0, 0, 200, 41, false, 0},
        {"early after a jump: 3 of 15", 3, 50, 40, 0, 0, 200, 41, false, 4},
        {"early: omega 360", 3, 50, 100, 0, 0, 360, 0, false, 0},
        {"long: 33", 33, 0, 100, 0, 0, 0, 100, true, 9},
        {"long: 32", 32, 0, 100, 0, 0, 0, 100, true, 0},
        {"long raw: 33", 10, 0, 100, 33, 60, 0, 100, true, 109},
        {"long raw: 32", 10, 0, 100, 32, 60, 0, 100, true, 0},
        {"long raw: mean 61", 10, 0, 100, 33, 61, 0, 100, true, 0},
    };
    for (const Row &r : rows) {
        Variant v;
        v.d.wJumpEndIndex = 1000 - r.since;
        v.d.wJumpIndex = 1000 - r.jumpAgo;
        v.d.wRawFallConfirm = r.confirm;
        v.d.wRawFallMean = r.mean;
        v.c = {&v.s, 0, 0, 0, 0, r.fallAvg, r.omega, 0, 0, r.standing};
        EXPECT_EQ(FallDetectorConfirmDecision(&v.d, &v.c, r.h), r.expected) << r.edge;
    }
    Variant v;  // early after a jump with CONTINUE_COUNT 16: a quarter is 4
    v.d.cfg.CONTINUE_COUNT = 16;
    v.d.wJumpIndex = 990;
    v.c = {&v.s, 0, 0, 0, 0, 41, 200, 0, 0, false};
    EXPECT_EQ(FallDetectorConfirmDecision(&v.d, &v.c, 3), 0);
    EXPECT_EQ(FallDetectorConfirmDecision(&v.d, &v.c, 4), 4);
}

TEST(VariantImpact, SofterImpactOnlyWhenHardlyStanding) {
    for (const int32_t standing : {1, 2}) {
        Variant v;
        v.Standing(standing, 0, 3);
        v.d.wThreeGravityJumpSum = 1200;
        v.LastPhase(5, 7);
        EXPECT_EQ(FallDetectorImpact(&v.d), standing == 1 ? 16 : 0) << standing;
    }
}

TEST(VariantWork, VerticalFallAndTheEndOfTheJumpWindow) {
    for (const int32_t div : {22, 23}) {  // 2 low samples + div
        Variant v;
        v.d.wFlipState = 2;
        v.d.wFlipStartIndex = 999;
        v.d.wFlipLowCounter = 1;
        v.d.wFlipAccSumDiv = div;
        v.d.wJumpValue = 200;
        v.d.wJumpEndIndex = div == 22 ? 1000 : 1001;
        const FALL_DETECTOR_SENSOR_DATA low = {0, 0, 0, 0, 0, 0};
        EXPECT_EQ(FallDetectorWork(&v.d, &low), div == 23 ? 10 : 0) << div;
        EXPECT_EQ(v.d.wJumpValue, div == 22 ? 0 : 200) << "cleared when its window ends";
        v.d.cfg.CONTINUE_COUNT = 0;  // no window to average over (nor to divide by):
        EXPECT_EQ(FallDetectorWork(&v.d, &low), 1);  // every phase confirms at once
    }
}

TEST(VariantCounterWrap, FallsAcrossTheWrapDecideAsWithoutIt) {
    ExpectFallsAcrossTheWrapToDecideAsWithoutIt(
        {"collision_fall", "jump_long_collision_fall", "jump_long_raw_fall", "head_first_fall"});
}

}  // namespace
