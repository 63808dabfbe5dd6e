#include <gtest/gtest.h>

#include <cmath>

#include "ARSbyQuaternion.h"
#include "engine_test_support.h"

namespace {

const double kNone[3] = {0, 0, 0};

TEST(Attitude, GyroAverageFoldsOnlyCloseRatesAndCountsEveryCall) {
    ARSOBJ ars;
    ASSERT_EQ(InitARS(&ars), 0);
    double avg[3] = {0, 0, 0};
    const double r1[3] = {50.0, -30.0, 2.0}, r2[3] = {59.9, -21.0, 11.5};
    GyroAverage(&ars, avg, r1, 10000, 10.0);  // the first call always folds
    GyroAverage(&ars, avg, r2, 10000, 10.0);
    EXPECT_EQ(avg[0], (1.0 * 50.0 + 59.9) / 2.0);
    const double kept = avg[1];
    const double r3[3] = {avg[0], avg[1] - 10.0, avg[2]};  // exactly 10 away: outside
    GyroAverage(&ars, avg, r3, 10000, 10.0);
    EXPECT_EQ(avg[1], kept);
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

double AngleToDown(const Quaternion &q, const double acc[3]) {
    const Quaternion r = (q * Quaternion(0.0, acc[0], acc[1], acc[2])) * q.i();
    return std::acos(-r.z() / Norm2(r.v()));
}

TEST(Attitude, CorrectionTowardGravity) {
    ARSOBJ ars;
    InitARS(&ars);
    const double down[3] = {0, 0, -1}, side[3] = {1, 0, 0};
    ARS(&ars, kNone, down, kNone, 0.02);  // already aligned: axis of length 0
    EXPECT_EQ(ars._Q->w(), 1.0);
    EXPECT_EQ(ars._Q->x(), 0.0);
    // Facing sideways (90 degrees about Z), acceleration 90 degrees off at 1 g: gain 0.1,
    // applied in the reference frame.
    const Quaternion facing(3.141592653589793 / 2, Vector3(0, 0, 1));
    *ars._Q = facing;
    ARS(&ars, kNone, side, kNone, 0.02);
    EXPECT_NEAR(AngleToDown(*ars._Q, side), 0.9 * 3.141592653589793 / 2, 1e-9);
    const double w = ars._Q->w();
    ARS(&ars, kNone, kNone, kNone, 0.02);  // no acceleration: unchanged, finite
    EXPECT_EQ(ars._Q->w(), w);

    // At 1.5 g only the gyro moves the attitude (at 1.1 g the correction would be ~0.05 rad).
    InitARS(&ars);
    *ars._Q = facing;
    const double strong[3] = {1.5, 0, 0}, rate[3] = {5.0, -3.0, 8.0};
    ARS(&ars, kNone, strong, kNone, 0.02);  // bias starts at 0
    ARS(&ars, rate, strong, kNone, 0.02);   // bias now rate / 2
    const double k = 0.017453292519943295 * 0.02;
    const Quaternion gyro = facing * Quaternion(rate[0] / 2 * k, rate[1] / 2 * k, rate[2] / 2 * k);
    EXPECT_NEAR(ars._Q->x(), gyro.x(), 1e-10);  // body-frame rotation: the gyro step
    EXPECT_NEAR(ars._Q->y(), gyro.y(), 1e-10);  // multiplies on the right
    EXPECT_NEAR(ars._Q->z(), gyro.z(), 1e-10);
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
