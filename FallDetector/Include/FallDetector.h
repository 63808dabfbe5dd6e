#pragma once
// Fall detection engine of the device image: records and public entry points.
// One detector is driven from one context; the engine is not reentrant.
#include <cstdint>

#include "ARSbyQuaternion.h"
#include "set_lpf.h"

// One motion sample: raw counts, 8192 per g and 65.536 per degree per second.
typedef struct {
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
} FALL_DETECTOR_SENSOR_DATA;

// Thresholds; FallDetectorSetDefaultConfig writes the defaults given beside each.
typedef struct {
    int32_t CONTINUE_COUNT;                       // 20
    int32_t FALL_START_G;                         // 60 (read by the data-logging variant only)
    int32_t JUMP_START_G;                         // 140
    int32_t MAX_JUMP_G;                           // 400
    int32_t OMEGA_ANGLE_LIMIT;                    // 160
    int32_t OMEGA_ANGLE_LIMIT_2;                  // 360
    int32_t FALL_AVG_LIMIT;                       // 40
    int32_t FALL_AVG_SPIN_LIMIT;                  // 50 (not consulted)
    int32_t ROLL_ANGLE_LIMIT;                     // 50
    int32_t PITCH_ANGLE_FRONT;                    // -180 (variant only)
    int32_t PITCH_ANGLE_FRONT2;                   // -90 (variant only)
    int32_t PITCH_ANGLE_BACK;                     // 35
    int32_t MIN_COUNTER_FOR_FALL_HISTORY;         // 4
    int32_t MAX_IGNORING_STEPS;                   // 37 (variant only)
    int32_t RAW_FALL_START_G;                     // 60 (variant only)
    int32_t RAW_FALL_STOP_G;                      // 90 (variant only)
    int32_t RAW_FALL_MEAN_LIMIT;                  // 55 (variant only)
    int32_t THREE_GRAVITY_SUM_LIMIT;              // 1600
    int32_t THREE_GRAVITY_FALL_OFFSET;            // 5
    int32_t THREE_GRAVITY_FALL_COUNTER_MIN;       // 3
    int32_t THREE_GRAVITY_SUM_LIMIT2;             // 1200
    int32_t THREE_GRAVITY_FALL_OFFSET2;           // 5
    int32_t THREE_GRAVITY_FALL_COUNTER_MIN2;      // 7
    int32_t THREE_GRAVITY_STAND_OFFSET2;          // -3 (variant only)
    int32_t THREE_GRAVITY_STAND_MAX2;             // 1 (variant only)
    int32_t TURN_FALL_GRAVITY_LIMIT;              // 150
    int32_t TURN_FALL_ANGLE_LIMIT;                // 150
    int32_t TURN_FALL_COUNTER_LIMIT;              // 19
    int32_t BEFORE_COLLISION_FALL_COUNTER_LIMIT;  // 10
    int32_t AFTER_COLLISION_FALL_COUNTER_LIMIT;   // 9
    int32_t LONG_COLLISION_FALL_COUNTER_LIMIT;    // 25
    int32_t COLLISION_COUNTER_MIN;                // 5
    int32_t COLLISION_COUNTER_MAX;                // 20
    int32_t COLLISION_RAW_ACC_MIN;                // 400
    int32_t VERTICAL_FALL_COUNTER_LIMIT;          // 25 (variant only)
} FALL_DETECTOR_CFG;

// Last jump (burst of raised acceleration) seen before a possible fall.
typedef struct {
    int32_t wIndex;           // wDataCounter of the jump peak; -1 after initialisation
    int32_t wValue;           // peak raw_acc; 0 when no jump is recorded
    int32_t wNormalIndex;     // unused
    int32_t wOverCount;       // extra confirming samples demanded because of the jump, 0..13
    int32_t wJumpAccSum;      // sum of (raw_acc - 100) over the jump samples
    int32_t wJumpStartIndex;  // wDataCounter at which the current jump sum started
    int32_t wLastSetValue;    // wValue from which wOverCount was last derived
} MAX_JUMP_DATA;

// One recorded reduced-gravity phase.
typedef struct {
    int32_t wLastIndex;    // wDataCounter of the phase's last confirming sample
    int32_t wFallCounter;  // phase counter at that sample
} FALL_HISTORY_ITEM;

#define FALL_HISTORY_ITEMS 32

// Free-fall counters of the current phase and the ring of recorded phases.
typedef struct {
    int32_t wHighFallCounter;      // length of the open reduced-gravity phase (capped); 0 if none
    int32_t wLowFallCounter;       // strong free-fall samples since initialisation; never cleared
    int32_t wLowOverCounter;       // samples at or above 0.61 g since the last strong sample
    int32_t wLpfAcc5Hz;            // 5 Hz low-passed acceleration magnitude, hundredths of g
    int32_t wHighFallStartIndex;   // wDataCounter at which the open phase began
    int32_t wHighFallLastIndex;    // wDataCounter of the last confirming sample
    int32_t wHighFallLastCounter;  // wHighFallCounter at that sample
    int32_t wVerticalVelocity;     // sum of (100 - wLpfAcc5Hz) over the phase's strong samples
    int32_t wBendDownCounter;      // consecutive samples of strong negative X rotation
    int32_t wFallCounter;          // compared by the fall-near test; only ever set to 0 here
    int32_t wIndex;                // next history slot to write, 0..31
    FALL_HISTORY_ITEM Items[FALL_HISTORY_ITEMS];
} FALL_HISTORY;

#define FALL_DETECTOR_RING 64

// Detector state. Rings are indexed by wFallDataIndex; k samples ago is (index - k) mod 64.
typedef struct {
    FALL_DETECTOR_CFG *cfg;  // referred to, not copied; must outlive the detector
    ARSOBJ ARS;
    uint16_t gravityMean[FALL_DETECTOR_RING];     // lpf_acc
    uint16_t gravityJump[FALL_DETECTOR_RING];     // raw_acc
    uint16_t omegaAngleMean[FALL_DETECTOR_RING];  // lpf_gyro
    uint32_t wStandCounter;                       // standing samples since initialisation
    uint32_t standCounter[FALL_DETECTOR_RING];    // snapshots of wStandCounter
    int32_t wFallDataIndex;                       // current ring slot, 0..63
    int32_t wDataCounter;                         // samples processed since initialisation
    uint16_t wFallSum;                            // sum of the last CONTINUE_COUNT lpf_acc
    uint16_t wOmegaSum;                           // sum of the last 5 lpf_gyro
    int32_t wThreeGravityJumpSum;                 // sum of the last 3 raw_acc
    int32_t wThreeOmegaAngleSum;                  // sum of the last 3 lpf_gyro
    int32_t wTurnFallCounter;                     // consecutive turning samples
    MAX_JUMP_DATA MaxJumpData;
    FALL_HISTORY FallHistory;
    int32_t wCollisionCheckLastIndex;  // end (exclusive) of the collision watch window
    int32_t wCollisionRawAccMax;       // largest raw_acc in the window
    int32_t wCollisionRawAccMaxIndex;  // wDataCounter of that peak
    int32_t wRollCompensation;         // roll offset learned at start; 0 = not learned
    int32_t wPitchCompensation;        // pitch offset learned at start; 0 = not learned
    // Per-axis filter states: output, previous input, previous output.
    float ax_1, ax_2, ax_3;
    float ay_1, ay_2, ay_3;
    float az_1, az_2, az_3;
    float gx_1, gx_2, gx_3;
    float gy_1, gy_2, gy_3;
    float gz_1, gz_2, gz_3;
    uint16_t raw_acc;    // |unfiltered acceleration|, hundredths of g
    uint16_t lpf_acc;    // |filtered acceleration|, hundredths of g
    uint16_t raw_gyro;   // |unfiltered rate|, degrees per second
    uint16_t lpf_gyro;   // |filtered rate|, degrees per second
    uint16_t fall_avg;   // wFallSum / CONTINUE_COUNT
    uint16_t omega_avg;  // wOmegaSum / 5
    int32_t roll;        // degrees
    int32_t pitch;
    int32_t yaw;
    int32_t check_count;  // confirming-sample count of the current phase, 0 when none
    int32_t over_count2;  // posture adjustment of the confirming count
    int32_t stand_state;  // 1 when the current sample counts as standing
    set_lpf acc_lpf;      // 5 Hz filter of the unfiltered acceleration
    uint32_t lowFallCounter[FALL_DETECTOR_RING];  // snapshots of FallHistory.wLowFallCounter
} FALL_DETECTOR;

// Fall types returned by FallDetectorWork (0 = no fall).
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
    FALL_TYPE_SOFT_IMPACT_TILTED = 16,
};

extern "C" {
extern const char *__FallDetector_VerisonInfo;

const char *FallDetectorGetVersionInfo(void);
int FallDetectorSetDefaultConfig(FALL_DETECTOR_CFG *cfg);
// Zeroes the detector and prepares it for cfg, which the caller keeps alive.
int FallDetectorSet(FALL_DETECTOR *detector, FALL_DETECTOR_CFG *cfg);
// Processes one sample (one every 20 ms); returns 0 or a positive fall type.
int FallDetectorWork(FALL_DETECTOR *detector, const FALL_DETECTOR_SENSOR_DATA *sample);
}
