// The filters' coefficients and the attitude: what the streams' regression hashes cannot see.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "ARSbyQuaternion.h"
#include "LPF.h"
#include "engine_test_support.h"
#include "set_lpf.h"

namespace {

std::string Printed(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", static_cast<double>(v));
    return buf;
}

// The coefficients are worked out in double and rounded once: the printed values, to the last
// digit. (The filter steps themselves are pinned by every stream's regression hash.)
TEST(Filters, CoefficientsAreThePrintedValues) {
    InitLPF();
    EXPECT_EQ(w0, 62.8f);
    EXPECT_EQ(Printed(a1), "-0.8818216");
    EXPECT_EQ(Printed(b0), "0.0590892");
    EXPECT_EQ(b0, b1);
    set_lpf f;
    EXPECT_EQ(set_lpf_init(&f, 50, 5), 0);
    EXPECT_EQ(Printed(f.a1), "-0.5220700");  // single-precision evaluation would give ...701
    EXPECT_EQ(Printed(f.b0), "0.2389650");
}

TEST(Attitude, GyroAverageFoldsOnlyCloseRatesAndCountsEveryCall) {
    ARSOBJ ars;
    ASSERT_EQ(InitARS(&ars), 0);
    double avg[3] = {0, 0, 0};
    const double r1[3] = {50.0, -30.0, 2.0}, r3[3] = {50.0, -40.0, 2.0};
    GyroAverage(&ars, avg, r1, 10000, 10.0);  // the first call always folds
    GyroAverage(&ars, avg, r3, 10000, 10.0);  // exactly 10 away: outside
    EXPECT_EQ(avg[1], -30.0);
    ars.count = 9999;  // every call counts, up to the cap
    GyroAverage(&ars, avg, r3, 10000, 10.0);
    GyroAverage(&ars, avg, r3, 10000, 10.0);
    EXPECT_EQ(ars.count, 10000);
}

// Setting a detector up again reuses its attitude storage; more detectors than the fixed
// storage holds still get their own.
TEST(Attitude, StoragePerEstimatorIsReusedOnReinit) {
    ARSOBJ many[6];
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(InitARS(&many[i]), 0);
        for (int j = 0; j < i; ++j) EXPECT_NE(many[i]._Q, many[j]._Q);
    }
    Quaternion *first = many[0]._Q, *last = many[5]._Q;
    *first = Quaternion(0.5, 0.5, 0.5, 0.5);
    many[0]._Q = nullptr;  // as after the detector is zeroed
    InitARS(&many[0]);
    InitARS(&many[5]);
    EXPECT_EQ(many[0]._Q, first);
    EXPECT_EQ(first->w(), 1.0);
    EXPECT_EQ(many[5]._Q, last);
}

// Already aligned, or no acceleration at all: the correction is left out (computing it used to
// divide by zero and poison the attitude for good).
TEST(Attitude, NoCorrectionWhenAlignedOrWithoutAcceleration) {
    ARSOBJ ars;
    InitARS(&ars);
    const double none[3] = {0, 0, 0}, down[3] = {0, 0, -1};
    ARS(&ars, none, down, none, 0.02);  // the correction's axis has length 0
    EXPECT_EQ(ars._Q->w(), 1.0);
    *ars._Q = Quaternion(0.3, -0.5, 1.1);
    const double w = ars._Q->w();
    ARS(&ars, none, none, none, 0.02);
    EXPECT_EQ(ars._Q->w(), w);
}

// The attitude returns its matrix in fixed storage (it used to allocate one per call); both
// forms must give the same bits.
TEST(Attitude, RotationMatrixInFixedStorageHasTheSameBits) {
    const linalg::matrix<double> id = Quaternion().RotationMatrix();
    const Matrix3 g = Quaternion(0.3, -0.5, 1.1).RotationMatrix3();
    const linalg::matrix<double> h = Quaternion(0.3, -0.5, 1.1).RotationMatrix();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(id(r, c), r == c ? 1.0 : 0.0);
            EXPECT_EQ(g.m[r][c], h(r, c));
        }
    }
    EXPECT_NEAR(Quaternion(3.141592653589793 / 2, Vector3(0, 0, 1)).RotationMatrix3().m[1][0], 1.0,
                1e-15);
}

struct AngleFixture : ::testing::Test {
    DetectorUnderTest t;
    void Angles(const Quaternion &q) {  // zero filtered inputs leave the attitude as given
        *t.d.ARS._Q = q;
        t.d.ax_1 = t.d.ay_1 = t.d.az_1 = t.d.gx_1 = t.d.gy_1 = t.d.gz_1 = 0.0f;
        FallDetectorComputeAngle(&t.d);
    }
    void Compensate(int32_t counter, int32_t rawAcc, int32_t roll, int32_t pitch) {
        t.d.wDataCounter = counter;
        t.d.raw_acc = static_cast<uint16_t>(rawAcc);
        t.d.roll = roll;
        t.d.pitch = pitch;
        FallDetectorAngleCompensation(&t.d);
    }
};

TEST_F(AngleFixture, AnglesFromTheAttitude) {
    Angles(Quaternion());
    EXPECT_EQ(t.d.roll, 0);
    EXPECT_EQ(t.d.pitch, -90);
    EXPECT_EQ(t.d.yaw, 0);
    // Upright, 90 degrees about X: 2(w^2 + z^2) - 1 is a few ulps above 0. Through the
    // single-precision arctangent the angle reads 90.0000025 and the pitch 0; in double
    // it would read 89.99999999999999 and the pitch -1.
    Angles(Quaternion(std::sqrt(0.5), std::sqrt(0.5), 0.0, 0.0));
    EXPECT_EQ(t.d.pitch, 0);
    Angles(Quaternion(-0.5, Vector3(0, 1, 0)));  // -28.6 degrees: truncated toward zero
    EXPECT_EQ(t.d.roll, -28);
}

TEST_F(AngleFixture, OffsetsAreLearnedInTheWindowFromAStillLevelPosture) {
    const int32_t rows[][6] = {
        // counter, raw_acc, roll, pitch -> roll offset, pitch offset
        {49, 100, 5, -7, 0, 0},   {50, 100, 5, -7, -5, 7},     {59, 100, 5, -7, -5, 7},
        {60, 100, 5, -7, 0, 0},   {55, 95, 5, -7, 0, 0},       {55, 96, 5, -7, -5, 7},
        {55, 104, 5, -7, -5, 7},  {55, 105, 5, -7, 0, 0},      {55, 100, -19, -24, 19, 24},
        {55, 100, -20, -7, 0, 0}, {55, 100, 19, 24, -19, -24}, {55, 100, 20, -7, 0, 0},
        {55, 100, 5, 25, 0, 0},   {55, 100, 5, -25, 0, 0},     {55, 100, 0, 4, 0, -4},
    };
    for (const auto &r : rows) {
        t.Reset();
        Compensate(r[0], r[1], r[2], r[3]);
        EXPECT_EQ(t.d.wRollCompensation, r[4]) << r[0] << " " << r[1] << " " << r[2];
        EXPECT_EQ(t.d.wPitchCompensation, r[5]) << r[0] << " " << r[1] << " " << r[3];
        EXPECT_EQ(t.d.roll, r[2]) << "not applied in the learning call";
    }
    Compensate(500, 130, 8, 20);  // then applied for good
    EXPECT_EQ(t.d.roll, 8);       // a zero roll offset stays unlearned
    EXPECT_EQ(t.d.pitch, 16);
    t.Reset();
    Compensate(10, 100, 0, -181);  // below -180 the pitch wraps
    EXPECT_EQ(t.d.pitch, 179);
    Compensate(10, 100, 0, -180);
    EXPECT_EQ(t.d.pitch, -180);
    t.d.wRollCompensation = 30;
    Compensate(55, 100, -40, 10);  // the pitch condition sees the compensated roll, -10
    EXPECT_EQ(t.d.wPitchCompensation, -10);
}

}  // namespace
