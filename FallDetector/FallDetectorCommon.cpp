#include "FallDetectorCommon.h"

#include <cmath>

#include "FallDetectorMath.h"
#include "LPF.h"

void FallDetectorWriteDefaults(FALL_DETECTOR_CFG *cfg) {
    cfg->CONTINUE_COUNT = 20;
    cfg->FALL_START_G = 60;
    cfg->JUMP_START_G = 140;
    cfg->MAX_JUMP_G = 400;
    cfg->OMEGA_ANGLE_LIMIT = 160;
    cfg->OMEGA_ANGLE_LIMIT_2 = 360;
    cfg->FALL_AVG_LIMIT = 40;
    cfg->FALL_AVG_SPIN_LIMIT = 50;
    cfg->ROLL_ANGLE_LIMIT = 50;
    cfg->PITCH_ANGLE_FRONT = -180;
    cfg->PITCH_ANGLE_FRONT2 = -90;
    cfg->PITCH_ANGLE_BACK = 35;
    cfg->MIN_COUNTER_FOR_FALL_HISTORY = 4;
    cfg->MAX_IGNORING_STEPS = 37;
    cfg->RAW_FALL_START_G = 60;
    cfg->RAW_FALL_STOP_G = 90;
    cfg->RAW_FALL_MEAN_LIMIT = 55;
    cfg->THREE_GRAVITY_SUM_LIMIT = 1600;
    cfg->THREE_GRAVITY_FALL_OFFSET = 5;
    cfg->THREE_GRAVITY_FALL_COUNTER_MIN = 3;
    cfg->THREE_GRAVITY_SUM_LIMIT2 = 1200;
    cfg->THREE_GRAVITY_FALL_OFFSET2 = 5;
    cfg->THREE_GRAVITY_FALL_COUNTER_MIN2 = 7;
    cfg->THREE_GRAVITY_STAND_OFFSET2 = -3;
    cfg->THREE_GRAVITY_STAND_MAX2 = 1;
    cfg->TURN_FALL_GRAVITY_LIMIT = 150;
    cfg->TURN_FALL_ANGLE_LIMIT = 150;
    cfg->TURN_FALL_COUNTER_LIMIT = 19;
    cfg->BEFORE_COLLISION_FALL_COUNTER_LIMIT = 10;
    cfg->AFTER_COLLISION_FALL_COUNTER_LIMIT = 9;
    cfg->LONG_COLLISION_FALL_COUNTER_LIMIT = 25;
    cfg->COLLISION_COUNTER_MIN = 5;
    cfg->COLLISION_COUNTER_MAX = 20;
    cfg->COLLISION_RAW_ACC_MIN = 400;
    cfg->VERTICAL_FALL_COUNTER_LIMIT = 25;
}

// ---------------------------------------------------------------------------------------
// Preprocessing

namespace {

float AccToG(int16_t counts) {
    return static_cast<float>(counts) * (1.0f / 8192.0f);  // exact power of two
}

float GyroToDps(int16_t counts) {
    // Divided in double and rounded once to float.
    return static_cast<float>(static_cast<double>(counts) / 65.536);
}

// Truncation toward zero to int32; NaN gives 0 and out-of-range values saturate.
int32_t TruncToInt32(double v) {
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

uint16_t FallDetectorMagnitude(float x, float y, float z, float scale) {
    const float xx = x * x;
    const float yy = y * y;
    const float zz = z * z;
    const float sum = (xx + yy) + zz;
    const float m = std::sqrt(sum) * scale;
    // Full-scale samples give at most 692 (acceleration) and 866 (rate).
    return static_cast<uint16_t>(static_cast<int32_t>(m));
}

FallDetectorSignals FallDetectorPreprocess(const FALL_DETECTOR_SENSOR_DATA *sample,
                                           const FallDetectorFilterAxis axes[6]) {
    float in[6] = {AccToG(sample->accX),     AccToG(sample->accY),     AccToG(sample->accZ),
                   GyroToDps(sample->gyroX), GyroToDps(sample->gyroY), GyroToDps(sample->gyroZ)};
    for (int i = 0; i < 6; ++i) LPF(&in[i], axes[i].out, axes[i].prevIn, axes[i].prevOut);
    FallDetectorSignals s;
    s.ax = in[0];
    s.ay = in[1];
    s.az = in[2];
    s.lpf_acc = FallDetectorMagnitude(*axes[0].out, *axes[1].out, *axes[2].out, 100.0f);
    s.raw_acc = FallDetectorMagnitude(in[0], in[1], in[2], 100.0f);
    s.lpf_gyro = FallDetectorMagnitude(*axes[3].out, *axes[4].out, *axes[5].out, 1.0f);
    s.raw_gyro = FallDetectorMagnitude(in[3], in[4], in[5], 1.0f);
    return s;
}

// ---------------------------------------------------------------------------------------
// Attitude

FallDetectorAngles FallDetectorAttitude(ARSOBJ *ars, const float acc[3], const float rate[3]) {
    const double r[3] = {rate[0], rate[1], rate[2]};
    const double a[3] = {acc[0], acc[1], acc[2]};
    ARSUpdate(ars, r, a, 0.02);  // the time step fixes 50 samples/s

    const Quaternion q = ars->_Q ? *ars->_Q : Quaternion();
    const double w = q.w(), x = q.x(), y = q.y(), z = q.z();
    const double kPi = 3.141592653589793;
    FallDetectorAngles out;

    // Upright posture sits right on a truncation edge of the pitch: keep this exact order
    // (double arithmetic, one rounding to float for the function, widen, scale in double).
    const float sinRoll = static_cast<float>(2 * (w * y - x * z));
    out.roll = TruncToInt32(static_cast<double>(fdmath::asinf(sinRoll)) * 180 / kPi);

    const float pitchY = static_cast<float>(2 * (w * x + y * z));
    const float pitchX = static_cast<float>(2 * (w * w + z * z) - 1);
    out.pitch = TruncToInt32(static_cast<double>(fdmath::atan2f(pitchY, pitchX)) * 180 / kPi) - 90;

    const float yawY = static_cast<float>(2 * (x * y + w * z));
    const float yawX = static_cast<float>(2 * (w * w + x * x) - 1);
    out.yaw = TruncToInt32(static_cast<double>(fdmath::atan2f(yawY, yawX)) * 180 / kPi);
    return out;
}

// ---------------------------------------------------------------------------------------
// Rings, sample indices and the sample count

int32_t FallDetectorSlotBefore(int32_t slot, int32_t k) {
    // Unsigned arithmetic and a mask give the mathematical modulo for any k.
    return static_cast<int32_t>((static_cast<uint32_t>(slot) - static_cast<uint32_t>(k)) &
                                (FALL_DETECTOR_RING - 1));
}

uint32_t FallDetectorGrowth(const uint32_t ring[FALL_DETECTOR_RING], int32_t slot, int32_t k) {
    return ring[slot] - ring[FallDetectorSlotBefore(slot, k)];
}

int32_t FallDetectorSamplesBetween(int32_t earlier, int32_t later) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

int32_t FallDetectorIndexAfter(int32_t index, int32_t k) {
    return static_cast<int32_t>(static_cast<uint32_t>(index) + static_cast<uint32_t>(k));
}

namespace {
// Samples after initialisation during which no decision is taken (0.8 s).
constexpr int32_t kWarmUpSamples = 40;
constexpr int32_t kLastPlainCount = INT32_MAX - 1;
constexpr uint32_t kRebase = 1u << 30;
// Indices older than this (about 124 days) are brought up to this age on the way: every
// window the rules look at is far shorter, and it keeps every kept index less than 2^31
// samples from the count until the next rebase.
constexpr uint32_t kOldest = 1u << 29;
// Indices up to this far ahead of the count (the end of a watch or jump window) are in the
// future, not in the distant past.
constexpr uint32_t kAhead = 1u << 16;
}  // namespace

bool FallDetectorWarmingUp(int32_t counter) {
    return counter < kWarmUpSamples;
}

int32_t FallDetectorNextSlot(int32_t slot) {
    return (slot + 1) % FALL_DETECTOR_RING;
}

bool FallDetectorCountAtLimit(int32_t counter) {
    return counter == kLastPlainCount;
}

void FallDetectorRebaseIndex(int32_t *index, int32_t counter) {
    uint32_t age = static_cast<uint32_t>(counter) - static_cast<uint32_t>(*index);
    if (age > kOldest && age <= 0u - kAhead)
        age = kOldest;
    *index = static_cast<int32_t>(static_cast<uint32_t>(counter) - age - kRebase);
}

int32_t FallDetectorNextCount(int32_t counter) {
    if (FallDetectorCountAtLimit(counter))
        return static_cast<int32_t>(static_cast<uint32_t>(counter) - kRebase + 1u);
    return static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

// ---------------------------------------------------------------------------------------
// Shared rules

void FallDetectorCountTurning(const FALL_DETECTOR_CFG *cfg, int32_t rawAcc, int32_t rawGyro,
                              int32_t *turnCounter) {
    if (rawAcc > cfg->TURN_FALL_GRAVITY_LIMIT && rawGyro > cfg->TURN_FALL_ANGLE_LIMIT)
        ++*turnCounter;
    else
        *turnCounter = 0;
}

int FallDetectorTurningType(const FALL_DETECTOR_CFG *cfg, int32_t turnCounter,
                            const uint32_t standCounter[FALL_DETECTOR_RING], int32_t slot) {
    const int32_t n = turnCounter;
    if (n < cfg->TURN_FALL_COUNTER_LIMIT)
        return 0;
    // Standing samples inside the turning window raise the count needed.
    const uint32_t standing = FallDetectorGrowth(standCounter, slot, n);
    if (static_cast<int64_t>(n) >=
        static_cast<int64_t>(cfg->TURN_FALL_COUNTER_LIMIT) + standing / 2)
        return FALL_TYPE_TURNING;
    return 0;
}

const FALL_HISTORY_ITEM *FallDetectorLastItem(const FALL_HISTORY_ITEM items[FALL_HISTORY_ITEMS],
                                              int32_t next) {
    return &items[(next + FALL_HISTORY_ITEMS - 1) % FALL_HISTORY_ITEMS];
}

int FallDetectorFallNear(int32_t phaseCounter, int32_t counter, const FALL_HISTORY_ITEM *last,
                         int32_t offset, int32_t minimum) {
    if (phaseCounter >= minimum)
        return 1;
    if (FallDetectorSamplesBetween(last->wLastIndex, counter) <= offset &&
        last->wFallCounter >= minimum)
        return 1;
    return 0;
}

int FallDetectorImpactType(const FALL_DETECTOR_CFG *cfg, int32_t sum3, bool softPosture,
                           int32_t phaseCounter, int32_t counter, const FALL_HISTORY_ITEM *last) {
    if (sum3 >= cfg->THREE_GRAVITY_SUM_LIMIT) {
        if (FallDetectorFallNear(phaseCounter, counter, last, cfg->THREE_GRAVITY_FALL_OFFSET,
                                 cfg->THREE_GRAVITY_FALL_COUNTER_MIN))
            return FALL_TYPE_HARD_IMPACT;
        return 0;  // a hard impact without a recent phase decides nothing this call
    }
    if (sum3 >= cfg->THREE_GRAVITY_SUM_LIMIT2 && softPosture &&
        FallDetectorFallNear(phaseCounter, counter, last, cfg->THREE_GRAVITY_FALL_OFFSET2,
                             cfg->THREE_GRAVITY_FALL_COUNTER_MIN2))
        return FALL_TYPE_SOFT_IMPACT;
    return 0;
}

void FallDetectorOpenWatch(int32_t counter, int32_t *watchEnd, int32_t *peak) {
    if (FallDetectorSamplesBetween(*watchEnd, counter) > 0)
        *peak = 0;
    *watchEnd = FallDetectorIndexAfter(counter, 20);
}

void FallDetectorTrackPeak(int32_t counter, int32_t rawAcc, int32_t watchEnd, int32_t *peak,
                           int32_t *peakIndex) {
    if (FallDetectorSamplesBetween(counter, watchEnd) > 0 && rawAcc > *peak) {
        *peak = rawAcc;
        *peakIndex = counter;
    }
}

bool FallDetectorCollisionPeak(const FALL_DETECTOR_CFG *cfg, int32_t peak, int32_t peakIndex,
                               int32_t earlierLast, int32_t start) {
    return peak >= cfg->COLLISION_RAW_ACC_MIN &&
           FallDetectorSamplesBetween(earlierLast, peakIndex) > 0 &&
           FallDetectorSamplesBetween(peakIndex, start) > 0;
}

int32_t FallDetectorCollisionGap(int32_t earlierLast, int32_t start) {
    return FallDetectorSamplesBetween(earlierLast, start) - 1;
}

int32_t FallDetectorRotationDiscount(const FALL_DETECTOR_CFG *cfg, int32_t omega, int32_t fallAvg) {
    const float f =
        static_cast<float>(static_cast<double>(omega - cfg->OMEGA_ANGLE_LIMIT) * 0.2 / 200);
    const float avg = static_cast<float>(fallAvg);
    const float scaled = avg * f;
    const float reduced = avg - scaled;
    return static_cast<int32_t>(reduced);
}

int32_t FallDetectorStandingAdjustment(uint32_t standing17) {
    const int32_t s17 = static_cast<int32_t>(standing17);
    return (s17 < 11) ? (17 - s17) / 4 : -6 - s17 / 4;
}
