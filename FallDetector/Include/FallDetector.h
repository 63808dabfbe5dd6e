#pragma once
// Fall detection engine of the device image: records and public entry points.
// One detector is driven from one context; the engine is not reentrant.
#include <cstdint>

#ifdef FALL_DETECTOR_VARIANT_ENGINE
#error "the device engine's header in a program built with the data-logging variant"
#endif

#include "ARSbyQuaternion.h"
#include "FallDetectorCommon.h"
#include "set_lpf.h"

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

extern "C" {
extern const char *__FallDetector_VerisonInfo;

const char *FallDetectorGetVersionInfo(void);
int FallDetectorSetDefaultConfig(FALL_DETECTOR_CFG *cfg);
// Zeroes the detector and prepares it for cfg, which the caller keeps alive.
int FallDetectorSet(FALL_DETECTOR *detector, FALL_DETECTOR_CFG *cfg);
// Processes one sample (one every 20 ms); returns 0 or a positive fall type.
int FallDetectorWork(FALL_DETECTOR *detector, const FALL_DETECTOR_SENSOR_DATA *sample);
}
