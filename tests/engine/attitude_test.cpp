#include <gtest/gtest.h>

#include <cmath>

#include "ARSbyQuaternion.h"
#include "engine_test_support.h"

namespace {

constexpr double kPi = 3.141592653589793;

TEST(GyroAverage, FirstCallCopiesThenFoldsOnlyCloseRates) {
  ARSOBJ ars;
  ASSERT_EQ(InitARS(&ars), 0);
  double avg[3] = {0, 0, 0};

  const double r1[3] = {50.0, -30.0, 2.0};  // far from 0, but the first call always folds
  GyroAverage(&ars, avg, r1, 10000, 10.0);
  EXPECT_EQ(avg[0], 50.0);
  EXPECT_EQ(avg[1], -30.0);
  EXPECT_EQ(ars.count, 1);

  const double r2[3] = {59.9, -21.0, 11.5};  // all within 10
  GyroAverage(&ars, avg, r2, 10000, 10.0);
  EXPECT_EQ(avg[0], (1.0 * 50.0 + 59.9) / 2.0);
  EXPECT_EQ(avg[2], (1.0 * 2.0 + 11.5) / 2.0);
  EXPECT_EQ(ars.count, 2);

  // Exactly 10 away on one axis is outside (strict bounds), yet the call is counted.
  const double before[3] = {avg[0], avg[1], avg[2]};
  const double r3[3] = {avg[0], avg[1] - 10.0, avg[2]};
  GyroAverage(&ars, avg, r3, 10000, 10.0);
  EXPECT_EQ(avg[0], before[0]);
  EXPECT_EQ(avg[1], before[1]);
  EXPECT_EQ(ars.count, 3);

  const double r4[3] = {avg[0] + 10.5, avg[1], avg[2]};
  GyroAverage(&ars, avg, r4, 10000, 10.0);
  EXPECT_EQ(avg[0], before[0]);
  EXPECT_EQ(ars.count, 4);
}

TEST(GyroAverage, CountStopsAtTheCapButAveragingGoesOn) {
  ARSOBJ ars;
  InitARS(&ars);
  double avg[3] = {1.0, 1.0, 1.0};
  ars.count = 9999;
  const double r[3] = {2.0, 2.0, 2.0};
  GyroAverage(&ars, avg, r, 10000, 10.0);
  EXPECT_EQ(ars.count, 10000);
  EXPECT_EQ(avg[0], (9999.0 * 1.0 + 2.0) / 10000.0);
  const double a = avg[0];
  GyroAverage(&ars, avg, r, 10000, 10.0);
  EXPECT_EQ(ars.count, 10000);
  EXPECT_EQ(avg[0], (10000.0 * a + 2.0) / 10001.0);  // weight never below 1/10001
}

TEST(AttitudeStorage, OneSlotPerEstimatorReusedOnReinit) {
  ARSOBJ a, b;
  ASSERT_EQ(InitARS(&a), 0);
  ASSERT_EQ(InitARS(&b), 0);
  ASSERT_NE(a._Q, nullptr);
  ASSERT_NE(b._Q, nullptr);
  EXPECT_NE(a._Q, b._Q);

  *a._Q = Quaternion(0.5, 0.5, 0.5, 0.5);
  Quaternion* first = a._Q;
  a._Q = nullptr;  // as after the detector is zeroed
  ASSERT_EQ(InitARS(&a), 0);
  EXPECT_EQ(a._Q, first);
  EXPECT_EQ(a._Q->w(), 1.0);
  EXPECT_EQ(a._Q->x(), 0.0);
  EXPECT_EQ(b._Q->w(), 1.0);

  // More estimators than the fixed storage still get storage of their own.
  ARSOBJ many[6];
  for (auto& m : many) ASSERT_EQ(InitARS(&m), 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NE(many[i]._Q, a._Q);
    EXPECT_NE(many[i]._Q, b._Q);
    for (int j = 0; j < i; ++j) EXPECT_NE(many[i]._Q, many[j]._Q);
  }
}

TEST(Ars, DegenerateCorrectionLeavesAttitudeUnchanged) {
  ARSOBJ ars;
  InitARS(&ars);
  const double zeroRate[3] = {0, 0, 0}, none[3] = {0, 0, 0};

  // Acceleration already on the reference: correction axis of length 0.
  const double down[3] = {0, 0, -1};
  ARS(&ars, zeroRate, down, none, 0.02);
  EXPECT_EQ(ars._Q->w(), 1.0);
  EXPECT_EQ(ars._Q->x(), 0.0);
  EXPECT_EQ(ars._Q->y(), 0.0);
  EXPECT_EQ(ars._Q->z(), 0.0);

  // No acceleration at all, after some rotation: stays finite and unchanged by the correction.
  *ars._Q = Quaternion(0.3, -0.2, 0.1);
  const Quaternion before = *ars._Q;
  ARS(&ars, zeroRate, none, none, 0.02);
  EXPECT_EQ(ars._Q->w(), before.w());
  EXPECT_EQ(ars._Q->x(), before.x());
  EXPECT_EQ(ars._Q->y(), before.y());
  EXPECT_EQ(ars._Q->z(), before.z());
  EXPECT_TRUE(std::isfinite(ars._Q->norm()));
}

double AngleToDown(const Quaternion& q, const double acc[3]) {
  const Quaternion r = (q * Quaternion(0.0, acc[0], acc[1], acc[2])) * q.i();
  const double n = Norm2(r.v());
  return std::acos(-r.z() / n);
}

TEST(Ars, CorrectsTowardGravityWithTenPercentAtOneG) {
  ARSOBJ ars;
  InitARS(&ars);
  const double zeroRate[3] = {0, 0, 0}, none[3] = {0, 0, 0};
  const double side[3] = {1, 0, 0};  // 90 degrees away from the reference
  ARS(&ars, zeroRate, side, none, 0.02);
  EXPECT_NEAR(AngleToDown(*ars._Q, side), 0.9 * kPi / 2, 1e-9);
  EXPECT_NEAR(ars._Q->norm(), 1.0, 1e-15);
  // Converges over repeated samples.
  for (int i = 0; i < 300; ++i) ARS(&ars, zeroRate, side, none, 0.02);
  EXPECT_LT(AngleToDown(*ars._Q, side), 1e-6);
}

TEST(Ars, AtOneAndAHalfGTheGyroAloneDrives) {
  ARSOBJ ars;
  InitARS(&ars);
  const double none[3] = {0, 0, 0};
  const double first[3] = {0, 0, 0};
  const double strong[3] = {1.5, 0, 0};
  ARS(&ars, first, strong, none, 0.02);  // bias learned as 0 on the first call
  const double rate[3] = {5.0, -3.0, 8.0};
  ARS(&ars, rate, strong, none, 0.02);

  // The same two gyro steps without any correction.
  const double avg1 = rate[0] / 2.0, avg2 = rate[1] / 2.0, avg3 = rate[2] / 2.0;
  const double k = 0.017453292519943295 * 0.02;
  const Quaternion expected =
      Quaternion() * Quaternion((rate[0] - avg1) * k, (rate[1] - avg2) * k, (rate[2] - avg3) * k);
  // At 1.1 g the correction would still move the attitude by about 0.05 rad here.
  EXPECT_NEAR(ars._Q->w(), expected.w(), 1e-10);
  EXPECT_NEAR(ars._Q->x(), expected.x(), 1e-10);
  EXPECT_NEAR(ars._Q->y(), expected.y(), 1e-10);
  EXPECT_NEAR(ars._Q->z(), expected.z(), 1e-10);
  EXPECT_NE(ars._Q->x(), 0.0);
}

TEST(Ars, ReturnsTheRotationMatrixOfTheNewAttitude) {
  ARSOBJ ars;
  InitARS(&ars);
  const double rate[3] = {0, 0, 0}, acc[3] = {0.3, 0.4, -0.8}, none[3] = {0, 0, 0};
  const Matrix3 m = ARS(&ars, rate, acc, none, 0.02);
  const Matrix3 e = ars._Q->RotationMatrix3();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m.m[r][c], e.m[r][c]);
}

// Angles from a given attitude: zero filtered inputs leave the quaternion untouched.
struct AngleFixture : ::testing::Test {
  DetectorUnderTest t;
  void Angles(const Quaternion& q) {
    *t.d.ARS._Q = q;
    t.d.ax_1 = t.d.ay_1 = t.d.az_1 = 0.0f;
    t.d.gx_1 = t.d.gy_1 = t.d.gz_1 = 0.0f;
    FallDetectorComputeAngle(&t.d);
  }
};

TEST_F(AngleFixture, IdentityReadsPitchMinus90) {
  Angles(Quaternion());
  EXPECT_EQ(t.d.roll, 0);
  EXPECT_EQ(t.d.pitch, -90);
  EXPECT_EQ(t.d.yaw, 0);
}

TEST_F(AngleFixture, UprightSitsOnTheTruncationEdge) {
  // 90 degrees about X: 2(w^2 + z^2) - 1 is a few ulps above 0. Through the
  // single-precision arctangent the angle reads 90.0000025 and the pitch 0; a
  // double-precision arctangent would read 89.99999999999999 and the pitch -1.
  Angles(Quaternion(std::sqrt(0.5), std::sqrt(0.5), 0.0, 0.0));
  EXPECT_EQ(t.d.pitch, 0);
  EXPECT_EQ(t.d.roll, 0);
  EXPECT_EQ(t.d.yaw, 0);
}

TEST_F(AngleFixture, RollAndYawTruncateTowardZero) {
  Angles(Quaternion(-0.5, Vector3(0, 1, 0)));  // -28.6 degrees
  EXPECT_EQ(t.d.roll, -28);
  Angles(Quaternion(2.0, Vector3(0, 0, 1)));  // 114.6 degrees
  EXPECT_EQ(t.d.yaw, 114);
}

struct CompensationFixture : ::testing::Test {
  DetectorUnderTest t;
  void Run(int32_t counter, int32_t rawAcc, int32_t roll, int32_t pitch) {
    t.d.wDataCounter = counter;
    t.d.raw_acc = static_cast<uint16_t>(rawAcc);
    t.d.roll = roll;
    t.d.pitch = pitch;
    FallDetectorAngleCompensation(&t.d);
  }
};

TEST_F(CompensationFixture, LearnsOnceInsideTheWindowThenApplies) {
  Run(49, 100, 5, -7);
  EXPECT_EQ(t.d.wRollCompensation, 0);
  EXPECT_EQ(t.d.wPitchCompensation, 0);

  Run(50, 100, 5, -7);
  EXPECT_EQ(t.d.wRollCompensation, -5);
  EXPECT_EQ(t.d.wPitchCompensation, 7);
  EXPECT_EQ(t.d.roll, 5);  // not changed in the learning call
  EXPECT_EQ(t.d.pitch, -7);

  Run(51, 100, 5, -7);
  EXPECT_EQ(t.d.roll, 0);
  EXPECT_EQ(t.d.pitch, 0);
  Run(500, 130, 8, 20);  // applied for good, whatever the conditions
  EXPECT_EQ(t.d.roll, 3);
  EXPECT_EQ(t.d.pitch, 27);
}

TEST_F(CompensationFixture, WindowAndConditionBounds) {
  Run(60, 100, 5, -7);
  EXPECT_EQ(t.d.wRollCompensation, 0);
  Run(59, 95, 5, -7);
  EXPECT_EQ(t.d.wRollCompensation, 0);
  Run(59, 104, 19, 24);
  EXPECT_EQ(t.d.wRollCompensation, -19);
  EXPECT_EQ(t.d.wPitchCompensation, -24);

  t.Reset();
  Run(55, 96, -20, 0);
  EXPECT_EQ(t.d.wRollCompensation, 0);
  EXPECT_EQ(t.d.wPitchCompensation, 0);  // roll outside spoils the pitch as well
  Run(55, 96, 3, 25);  // pitch outside spoils the roll as well
  EXPECT_EQ(t.d.wRollCompensation, 0);
  EXPECT_EQ(t.d.wPitchCompensation, 0);
  Run(55, 96, 3, -24);
  EXPECT_EQ(t.d.wRollCompensation, -3);
  EXPECT_EQ(t.d.wPitchCompensation, 24);
}

TEST_F(CompensationFixture, ZeroIsNotLearnedAndIsRetried) {
  Run(52, 100, 0, 4);
  EXPECT_EQ(t.d.wRollCompensation, 0);
  EXPECT_EQ(t.d.wPitchCompensation, -4);
  Run(53, 100, 2, 4);
  EXPECT_EQ(t.d.wRollCompensation, -2);
}

TEST_F(CompensationFixture, PitchConditionUsesTheCompensatedRoll) {
  t.d.wRollCompensation = 30;
  Run(55, 100, -40, 10);  // roll -40 becomes -10, which is inside the condition
  EXPECT_EQ(t.d.roll, -10);
  EXPECT_EQ(t.d.wPitchCompensation, -10);
}

TEST_F(CompensationFixture, PitchBelowMinus180Wraps) {
  Run(10, 100, 0, -181);
  EXPECT_EQ(t.d.pitch, 179);
  Run(10, 100, 0, -180);
  EXPECT_EQ(t.d.pitch, -180);
  t.d.wPitchCompensation = -5;
  Run(200, 100, 0, -200);  // wrap first, then the offset
  EXPECT_EQ(t.d.pitch, 155);
}

}  // namespace
