#pragma once
// What the device's engine (FallDetector/) and the data-logging image's variant
// (datalogger/FallDetector/) share, written once: the sample and configuration records, the
// history item, preprocessing of a sample, the attitude angles, the rings and the sample count,
// and the rules both engines apply alike. Nothing here knows either detector record; each
// engine passes the parts a piece works on. The two engines keep the same entry-point names
// and are never linked into one program.
#include <cstdint>

#include "ARSbyQuaternion.h"

// One motion sample: raw counts, 8192 per g and 65.536 per degree per second.
typedef struct {
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
} FALL_DETECTOR_SENSOR_DATA;

// Thresholds, with the device engine's defaults; the variant differs in CONTINUE_COUNT (15),
// ROLL_ANGLE_LIMIT (38) and PITCH_ANGLE_FRONT (-70), and alone reads the fields marked
// "variant".
typedef struct {
    int32_t CONTINUE_COUNT;                       // 20
    int32_t FALL_START_G;                         // 60 (variant)
    int32_t JUMP_START_G;                         // 140
    int32_t MAX_JUMP_G;                           // 400
    int32_t OMEGA_ANGLE_LIMIT;                    // 160
    int32_t OMEGA_ANGLE_LIMIT_2;                  // 360
    int32_t FALL_AVG_LIMIT;                       // 40
    int32_t FALL_AVG_SPIN_LIMIT;                  // 50 (not consulted)
    int32_t ROLL_ANGLE_LIMIT;                     // 50
    int32_t PITCH_ANGLE_FRONT;                    // -180 (variant)
    int32_t PITCH_ANGLE_FRONT2;                   // -90 (variant)
    int32_t PITCH_ANGLE_BACK;                     // 35
    int32_t MIN_COUNTER_FOR_FALL_HISTORY;         // 4
    int32_t MAX_IGNORING_STEPS;                   // 37 (variant)
    int32_t RAW_FALL_START_G;                     // 60 (variant)
    int32_t RAW_FALL_STOP_G;                      // 90 (variant)
    int32_t RAW_FALL_MEAN_LIMIT;                  // 55 (variant)
    int32_t THREE_GRAVITY_SUM_LIMIT;              // 1600
    int32_t THREE_GRAVITY_FALL_OFFSET;            // 5
    int32_t THREE_GRAVITY_FALL_COUNTER_MIN;       // 3
    int32_t THREE_GRAVITY_SUM_LIMIT2;             // 1200
    int32_t THREE_GRAVITY_FALL_OFFSET2;           // 5
    int32_t THREE_GRAVITY_FALL_COUNTER_MIN2;      // 7
    int32_t THREE_GRAVITY_STAND_OFFSET2;          // -3 (variant)
    int32_t THREE_GRAVITY_STAND_MAX2;             // 1 (variant)
    int32_t TURN_FALL_GRAVITY_LIMIT;              // 150
    int32_t TURN_FALL_ANGLE_LIMIT;                // 150
    int32_t TURN_FALL_COUNTER_LIMIT;              // 19
    int32_t BEFORE_COLLISION_FALL_COUNTER_LIMIT;  // 10
    int32_t AFTER_COLLISION_FALL_COUNTER_LIMIT;   // 9
    int32_t LONG_COLLISION_FALL_COUNTER_LIMIT;    // 25
    int32_t COLLISION_COUNTER_MIN;                // 5
    int32_t COLLISION_COUNTER_MAX;                // 20
    int32_t COLLISION_RAW_ACC_MIN;                // 400
    int32_t VERTICAL_FALL_COUNTER_LIMIT;          // 25 (variant)
} FALL_DETECTOR_CFG;

// One recorded fall phase.
typedef struct {
    int32_t wLastIndex;    // wDataCounter of the phase's last (confirming) sample
    int32_t wFallCounter;  // phase counter at that sample
} FALL_HISTORY_ITEM;

#define FALL_HISTORY_ITEMS 32
#define FALL_DETECTOR_RING 64

// Results both engines give (0 = no fall); the variant adds its own.
enum {
    FALL_TYPE_NONE = 0,
    FALL_TYPE_FREE_FALL = 1,
    FALL_TYPE_FREE_FALL_ROTATING_EARLY = 2,
    FALL_TYPE_FREE_FALL_AFTER_JUMP = 3,
    FALL_TYPE_FREE_FALL_ROTATING_EARLY_AFTER_JUMP = 4,
    FALL_TYPE_TURNING = 5,
    FALL_TYPE_HARD_IMPACT = 6,
    FALL_TYPE_COLLISION = 7,
    FALL_TYPE_LONG_COLLISION = 8,
    FALL_TYPE_LONG_FREE_FALL = 9,
    FALL_TYPE_FREE_FALL_ROTATING = 12,
    FALL_TYPE_SOFT_IMPACT = 16,
};

// Writes the device engine's defaults (the comments above).
void FallDetectorWriteDefaults(FALL_DETECTOR_CFG *cfg);

// --- preprocessing -------------------------------------------------------------------------

// One axis of the shared-coefficient filter: output, previous input, previous output.
struct FallDetectorFilterAxis {
    float *out;
    float *prevIn;
    float *prevOut;
};

// What preprocessing makes of one sample: the converted acceleration (g) and the four
// magnitudes (hundredths of g, whole degrees per second).
struct FallDetectorSignals {
    float ax, ay, az;
    uint16_t raw_acc, lpf_acc, raw_gyro, lpf_gyro;
};

// Converts the sample, runs the six axes (acc x, y, z, gyro x, y, z) through their filters and
// takes the magnitudes, each operation in single precision and rounded on its own.
FallDetectorSignals FallDetectorPreprocess(const FALL_DETECTOR_SENSOR_DATA *sample,
                                           const FallDetectorFilterAxis axes[6]);
// trunc(sqrt(x^2 + y^2 + z^2) * scale) in single precision, as a 16-bit magnitude.
uint16_t FallDetectorMagnitude(float x, float y, float z, float scale);

// --- attitude ------------------------------------------------------------------------------

struct FallDetectorAngles {
    int32_t roll, pitch, yaw;  // whole degrees, truncated toward zero
};
// Updates the attitude with the filtered acceleration (g) and rate (degrees per second) of
// one sample (50 samples per second) and reads the three angles from it.
FallDetectorAngles FallDetectorAttitude(ARSOBJ *ars, const float acc[3], const float rate[3]);

// --- rings, sample indices and the sample count --------------------------------------------

// Ring slot k samples before `slot`, (slot - k) mod 64.
int32_t FallDetectorSlotBefore(int32_t slot, int32_t k);
// How much a never-decreasing count kept in `ring` grew over the last k samples.
uint32_t FallDetectorGrowth(const uint32_t ring[FALL_DETECTOR_RING], int32_t slot, int32_t k);
// Sample indices (values of wDataCounter) are compared through their distance, taken modulo
// 2^32: it is the plain difference whenever the two lie less than 2^31 samples apart, which
// holds for every index an engine keeps, also across the count's wrap (below).
// later - earlier, negative when `later` comes first.
int32_t FallDetectorSamplesBetween(int32_t earlier, int32_t later);
// The index k samples after `index` (k may be negative).
int32_t FallDetectorIndexAfter(int32_t index, int32_t k);

// True during the first 40 samples (0.8 s), while the filters and the attitude settle.
bool FallDetectorWarmingUp(int32_t counter);
int32_t FallDetectorNextSlot(int32_t slot);
// The sample count is a plain count up to 2^31 - 2 (about 497 days). Rather than overflow, it
// then moves back by 2^30 together with every sample index the engine keeps, so every distance
// between them, and with it every window test, stays what it was, while the warm-up and the
// start-up posture learning, which read the count itself, never come back. An engine's
// advance asks FallDetectorCountAtLimit, moves each kept index with FallDetectorRebaseIndex
// (before the count moves) and takes the count from FallDetectorNextCount.
bool FallDetectorCountAtLimit(int32_t counter);
void FallDetectorRebaseIndex(int32_t *index, int32_t counter);
int32_t FallDetectorNextCount(int32_t counter);

// --- rules both engines apply alike --------------------------------------------------------

// Turning: counts consecutive samples of high load and high rotation...
void FallDetectorCountTurning(const FALL_DETECTOR_CFG *cfg, int32_t rawAcc, int32_t rawGyro,
                              int32_t *turnCounter);
// ...and decides type 5 once there are enough of them, more when the wearer was standing.
int FallDetectorTurningType(const FALL_DETECTOR_CFG *cfg, int32_t turnCounter,
                            const uint32_t standCounter[FALL_DETECTOR_RING], int32_t slot);

// Most recent entry of a history ring whose next slot to write is `next` ({0, 0} before any).
const FALL_HISTORY_ITEM *FallDetectorLastItem(const FALL_HISTORY_ITEM items[FALL_HISTORY_ITEMS],
                                              int32_t next);
// 1 when the open phase (phaseCounter) is at least `minimum` long, or when the last recorded
// phase was that long and ended no more than `offset` samples before `counter`.
int FallDetectorFallNear(int32_t phaseCounter, int32_t counter, const FALL_HISTORY_ITEM *last,
                         int32_t offset, int32_t minimum);
// The three-sample impact rules: type 6 for a hard sum after a recent phase (a hard sum without
// one decides nothing and the softer rule is not tried), type 16 for a softer sum in the
// posture the engine asks for (softPosture) after a longer recent phase.
int FallDetectorImpactType(const FALL_DETECTOR_CFG *cfg, int32_t sum3, bool softPosture,
                           int32_t phaseCounter, int32_t counter, const FALL_HISTORY_ITEM *last);

// Collision watch: a recorded phase opens (or extends) a window of the next 20 samples; a
// window that has ended gives up its peak, one still open keeps it.
void FallDetectorOpenWatch(int32_t counter, int32_t *watchEnd, int32_t *peak);
// Keeps the largest raw_acc of the open window and when it was seen.
void FallDetectorTrackPeak(int32_t counter, int32_t rawAcc, int32_t watchEnd, int32_t *peak,
                           int32_t *peakIndex);
// The collision peak: at least COLLISION_RAW_ACC_MIN, strictly after the earlier phase's last
// sample and strictly before the start of the current phase.
bool FallDetectorCollisionPeak(const FALL_DETECTOR_CFG *cfg, int32_t peak, int32_t peakIndex,
                               int32_t earlierLast, int32_t start);
// Samples between the earlier phase's last sample and the start of the current phase.
int32_t FallDetectorCollisionGap(int32_t earlierLast, int32_t start);
// The early decision while rotating: the average magnitude, discounted the more the faster the
// rotation, f = (omega - OMEGA_ANGLE_LIMIT) * 0.2 / 200, in single precision and truncated.
int32_t FallDetectorRotationDiscount(const FALL_DETECTOR_CFG *cfg, int32_t omega, int32_t fallAvg);
// How much a collision's phase limits move with the standing samples among the last 17: a
// wearer who was mostly standing needs much longer phases (negative), one already off balance
// shorter ones.
int32_t FallDetectorStandingAdjustment(uint32_t standing17);
