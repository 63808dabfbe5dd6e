#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

#include "LPF.h"
#include "engine_test_support.h"

namespace {

const FALL_DETECTOR_SENSOR_DATA kStill = {0, 0, -8192, 0, 0, 0};  // 1 g, no rotation
// 2 g and about 183 degrees per second: counts toward a turning fall.
const FALL_DETECTOR_SENSOR_DATA kTurning = {16384, 0, 0, 12000, 0, 0};

TEST(EntryPoints, VersionAndDefaults) {
  EXPECT_EQ(std::string(FallDetectorGetVersionInfo()), "Q7-FallDetector-2.1.1");
  EXPECT_EQ(FallDetectorGetVersionInfo(), __FallDetector_VerisonInfo);

  FALL_DETECTOR_CFG cfg;
  std::memset(&cfg, 0x5A, sizeof cfg);
  EXPECT_EQ(FallDetectorSetDefaultConfig(&cfg), 0);
  static_assert(sizeof(FALL_DETECTOR_CFG) == 35 * sizeof(int32_t), "35 thresholds");
  const int32_t expected[35] = {20, 60,   140, 400,  160, 360, 40, 50, 50, -180, -90, 35,
                                4,  37,   60,  90,   55,  1600, 5, 3, 1200, 5, 7, -3,
                                1,  150,  150, 19,   10,  9,   25, 5, 20, 400, 25};
  int32_t actual[35];
  std::memcpy(actual, &cfg, sizeof actual);
  for (int i = 0; i < 35; ++i) EXPECT_EQ(actual[i], expected[i]) << "field " << i;
}

TEST(EntryPoints, SetStartsFromOneGRings) {
  FALL_DETECTOR_CFG cfg;
  FallDetectorSetDefaultConfig(&cfg);
  static FALL_DETECTOR d;
  std::memset(&d, 0xA5, sizeof d);  // whatever was there before
  EXPECT_EQ(FallDetectorSet(&d, &cfg), 0);
  EXPECT_EQ(d.cfg, &cfg);
  EXPECT_EQ(d.fall_avg, 100);
  EXPECT_EQ(d.wFallSum, 2000);
  EXPECT_EQ(d.wThreeGravityJumpSum, 300);
  EXPECT_EQ(d.wThreeOmegaAngleSum, 0);
  EXPECT_EQ(d.MaxJumpData.wIndex, -1);
  EXPECT_EQ(d.MaxJumpData.wValue, 0);
  for (int i = 0; i < FALL_DETECTOR_RING; ++i) {
    EXPECT_EQ(d.gravityMean[i], 100);
    EXPECT_EQ(d.gravityJump[i], 100);
    EXPECT_EQ(d.omegaAngleMean[i], 0);
    EXPECT_EQ(d.standCounter[i], 0u);
  }
  EXPECT_EQ(d.wDataCounter, 0);
  EXPECT_EQ(d.wFallDataIndex, 0);
  EXPECT_EQ(d.FallHistory.wIndex, 0);
  EXPECT_EQ(d.ax_3, 0.0f);
  ASSERT_NE(d.ARS._Q, nullptr);
  EXPECT_EQ(d.ARS._Q->w(), 1.0);
  EXPECT_EQ(d.ARS.count, 0);
  EXPECT_EQ(d.acc_lpf.b0, d.acc_lpf.b1);
  EXPECT_EQ(d.acc_lpf.ox, 0.0f);
  EXPECT_EQ(w0, 62.8f);  // shared coefficients computed
}

TEST(WorkCycle, WarmUpReturnsZeroThenDecides) {
  DetectorUnderTest t;
  // Crafted so that every turning sample would decide a turning fall at once.
  for (int i = 0; i < 40; ++i) {
    t.d.wTurnFallCounter = 18;
    for (auto& s : t.d.standCounter) s = t.d.wStandCounter;
    ASSERT_EQ(FallDetectorWork(&t.d, &kTurning), 0) << "call " << i + 1;
  }
  EXPECT_EQ(t.d.wDataCounter, 40);
  EXPECT_EQ(t.d.wTurnFallCounter, 18);  // decisions did not run
  for (auto& s : t.d.standCounter) s = t.d.wStandCounter;
  EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
}

TEST(WorkCycle, PositiveResultAdvancesLikeZero) {
  DetectorUnderTest t;
  for (int i = 0; i < 63; ++i) FallDetectorWork(&t.d, &kTurning);
  EXPECT_EQ(t.d.wFallDataIndex, 63);
  t.d.wTurnFallCounter = 30;
  for (auto& s : t.d.standCounter) s = t.d.wStandCounter;
  EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
  EXPECT_EQ(t.d.wFallDataIndex, 0);
  EXPECT_EQ(t.d.wDataCounter, 64);
  // The next call continues from the same state.
  for (auto& s : t.d.standCounter) s = t.d.wStandCounter;
  EXPECT_EQ(FallDetectorWork(&t.d, &kTurning), 5);
  EXPECT_EQ(t.d.wFallDataIndex, 1);
  EXPECT_EQ(t.d.wTurnFallCounter, 32);
}

TEST(WorkCycle, CheckCountIsClearedEveryCall) {
  DetectorUnderTest t;
  for (int i = 0; i < 60; ++i) FallDetectorWork(&t.d, &kStill);
  t.d.check_count = 100;  // would decide a free fall if left over
  EXPECT_EQ(FallDetectorWork(&t.d, &kStill), 0);
  EXPECT_EQ(t.d.check_count, 0);
}

TEST(WorkCycle, FullScaleMagnitudes) {
  DetectorUnderTest t;
  const FALL_DETECTOR_SENSOR_DATA fs = {-32768, -32768, -32768, -32768, -32768, -32768};
  FallDetectorWork(&t.d, &fs);
  EXPECT_EQ(t.d.raw_acc, 692);
  EXPECT_EQ(t.d.raw_gyro, 866);
  EXPECT_EQ(FallDetectorGyroToDps(-32768), -500.0f);
  EXPECT_EQ(FallDetectorAccToG(-32768), -4.0f);
}

TEST(WorkCycle, GyroConversionRoundsOnceFromDouble) {
  // Dividing in double and rounding once differs from a float division for some counts.
  int differing = 0;
  for (int c = -32768; c <= 32767; ++c) {
    const float once = static_cast<float>(static_cast<double>(c) / 65.536);
    ASSERT_EQ(FallDetectorGyroToDps(static_cast<int16_t>(c)), once) << c;
    if (static_cast<float>(c) / 65.536f != once) ++differing;
  }
  EXPECT_GT(differing, 0);
}

TEST(WorkCycle, OneGStreamSettles) {
  DetectorUnderTest t;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(FallDetectorWork(&t.d, &kStill), 0);
    ASSERT_EQ(t.d.raw_acc, 100);
  }
  EXPECT_GE(t.d.lpf_acc, 99);
  EXPECT_LE(t.d.lpf_acc, 100);
  EXPECT_GE(t.d.fall_avg, 99);
  EXPECT_LE(t.d.fall_avg, 100);
  EXPECT_GE(t.d.FallHistory.wLpfAcc5Hz, 99);
  EXPECT_EQ(t.d.omega_avg, 0);
  EXPECT_EQ(t.d.wThreeGravityJumpSum, 300);
  EXPECT_EQ(t.d.stand_state, 1);
  EXPECT_EQ(t.d.wStandCounter, 300u);
}

TEST(WorkCycle, SixteenBitSumsWrap) {
  DetectorUnderTest t;
  for (int i = 0; i < 10; ++i) FallDetectorWork(&t.d, &kTurning);
  // Crafted window contents much larger than the running sums.
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

TEST(WorkCycle, RunningSumsFollowTheRings) {
  DetectorUnderTest t;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> v(-20000, 20000);
  for (int i = 0; i < 200; ++i) {
    const FALL_DETECTOR_SENSOR_DATA s = {static_cast<int16_t>(v(rng)), static_cast<int16_t>(v(rng)),
                                         static_cast<int16_t>(v(rng)), static_cast<int16_t>(v(rng)),
                                         static_cast<int16_t>(v(rng)), static_cast<int16_t>(v(rng))};
    FallDetectorWork(&t.d, &s);
    // The slot just written is one behind the index.
    int32_t sum3 = 0, omega3 = 0, fall = 0, omega5 = 0;
    for (int k = 1; k <= 3; ++k) sum3 += t.d.gravityJump[FallDetectorRingIndex(&t.d, k)];
    for (int k = 1; k <= 3; ++k) omega3 += t.d.omegaAngleMean[FallDetectorRingIndex(&t.d, k)];
    for (int k = 1; k <= 20; ++k) fall += t.d.gravityMean[FallDetectorRingIndex(&t.d, k)];
    for (int k = 1; k <= 5; ++k) omega5 += t.d.omegaAngleMean[FallDetectorRingIndex(&t.d, k)];
    ASSERT_EQ(t.d.wThreeGravityJumpSum, sum3) << i;
    ASSERT_EQ(t.d.wThreeOmegaAngleSum, omega3) << i;
    ASSERT_EQ(t.d.wFallSum, static_cast<uint16_t>(fall)) << i;
    ASSERT_EQ(t.d.wOmegaSum, static_cast<uint16_t>(omega5)) << i;
  }
}

TEST(WorkCycle, StandingTestBoundsAreStrict) {
  DetectorUnderTest t;
  t.cfg.PITCH_ANGLE_BACK = -90;  // still device reads pitch -90
  t.Reset();
  FallDetectorWork(&t.d, &kStill);
  EXPECT_EQ(t.d.pitch, -90);
  EXPECT_EQ(t.d.stand_state, 0);
  EXPECT_EQ(t.d.wStandCounter, 0u);
  t.cfg.PITCH_ANGLE_BACK = -89;
  FallDetectorWork(&t.d, &kStill);
  EXPECT_EQ(t.d.stand_state, 1);
  EXPECT_EQ(t.d.standCounter[0], 0u);
  EXPECT_EQ(t.d.standCounter[1], 1u);
  t.cfg.ROLL_ANGLE_LIMIT = 0;  // roll 0 is not strictly inside +-0
  FallDetectorWork(&t.d, &kStill);
  EXPECT_EQ(t.d.stand_state, 0);
  EXPECT_EQ(t.d.standCounter[2], 1u);
}

TEST(WorkCycle, OnlyListedTypesAndOneSlotPerCall) {
  const std::set<int> allowed = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 16};
  std::set<int> seen;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    DetectorUnderTest t;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> full(-32768, 32767), pick(0, 9);
    std::normal_distribution<double> small(0.0, 3000.0);
    for (int i = 0; i < 3000; ++i) {
      FALL_DETECTOR_SENSOR_DATA s;
      const int mode = pick(rng);
      if (mode == 0) {  // wild
        s = {static_cast<int16_t>(full(rng)), static_cast<int16_t>(full(rng)), static_cast<int16_t>(full(rng)),
             static_cast<int16_t>(full(rng)), static_cast<int16_t>(full(rng)), static_cast<int16_t>(full(rng))};
      } else if (mode < 4) {  // free fall with rotation
        s = {static_cast<int16_t>(small(rng) / 4), static_cast<int16_t>(small(rng) / 4),
             static_cast<int16_t>(small(rng) / 4), static_cast<int16_t>(small(rng) * 4),
             static_cast<int16_t>(small(rng) * 4), static_cast<int16_t>(small(rng) * 4)};
      } else {  // about 1 g with noise
        s = {static_cast<int16_t>(small(rng)), static_cast<int16_t>(small(rng)),
             static_cast<int16_t>(-8192 + small(rng)), static_cast<int16_t>(small(rng)),
             static_cast<int16_t>(small(rng)), static_cast<int16_t>(small(rng))};
      }
      const int32_t before = t.d.wDataCounter;
      const int r = FallDetectorWork(&t.d, &s);
      ASSERT_TRUE(allowed.count(r)) << r;
      seen.insert(r);
      ASSERT_EQ(t.d.wDataCounter, before + 1);
      ASSERT_EQ(t.d.wFallDataIndex, (before + 1) % 64);
      ASSERT_TRUE(std::isfinite(t.d.ARS._Q->norm()));
    }
  }
  EXPECT_GT(seen.size(), 2u);  // the stream did reach decisions
}

}  // namespace
