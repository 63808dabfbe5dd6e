#pragma once
// Fall detection engine of the data-logging image: the device engine's preprocessing,
// attitude and shared rules (FallDetectorCommon) with its own record, defaults and rules. Fall
// phases are counted on the filtered magnitude, a jump holds the confirming decision back for
// a while, a second counter follows phases of low unfiltered magnitude (results above 100), and
// a flip of the dominant gravity axis is tracked. Same entry points as the device engine; the
// two are never linked into one program. One detector is driven from one context.
#include <cstdint>

#ifdef FALL_DETECTOR_DEVICE_ENGINE
#error "the data-logging variant's header in a program built with the device engine"
#endif

#include "ARSbyQuaternion.h"
#include "FallDetectorCommon.h"

// Fall phases on the filtered magnitude and the ring of recorded ones.
typedef struct {
    int32_t wFallCounter;  // consecutive samples with lpf_acc at or below FALL_START_G
    int32_t wIndex;        // next history slot to write, 0..31
    FALL_HISTORY_ITEM Items[FALL_HISTORY_ITEMS];
} FALL_HISTORY;

// Recorded phases of low unfiltered magnitude.
typedef struct {
    int32_t wIndex;
    FALL_HISTORY_ITEM Items[FALL_HISTORY_ITEMS];
} RAW_FALL_HISTORY;

// Detector state. Rings are indexed by wFallDataIndex; k samples ago is (index - k) mod 64.
typedef struct {
    FALL_DETECTOR_CFG cfg;  // a copy, taken by FallDetectorSet
    ARSOBJ ARS;
    int32_t gravityMean[FALL_DETECTOR_RING];     // lpf_acc
    int32_t gravityJump[FALL_DETECTOR_RING];     // raw_acc
    int32_t omegaAngleMean[FALL_DETECTOR_RING];  // lpf_gyro
    uint32_t wStandCounter;                      // standing samples since initialisation
    uint32_t standCounter[FALL_DETECTOR_RING];   // snapshots of wStandCounter
    int32_t wFlipState;                          // flip tracker: 0 watching, 1 flipping, 2 after
    int32_t wFlipAxis;                           // axis being tracked (0 X, 1 Y, 2 Z)
    int32_t wFlipAccSum;                         // accumulated acceleration of the flip
    int32_t wFlipAccSumDiv;                      // wFlipAccSum / 100, taken on entering state 2
    int32_t wFlipStartIndex;                     // wDataCounter - 1 on entering state 2
    int32_t wFlipLowCounter;                     // low-magnitude samples counted in state 2
    int32_t axisSign[3];           // sign (-1, 0 or +1) of the current run of each raw acceleration
    int32_t axisRun[3];            // length of that run
    int32_t axisPrevRun[3];        // length of the run before it
    int32_t wFallDataIndex;        // current ring slot, 0..63
    int32_t wDataCounter;          // samples processed (see FallDetectorNextCount)
    int32_t wFallSum;              // sum of the last CONTINUE_COUNT lpf_acc
    int32_t wOmegaSum;             // sum of the last 5 lpf_gyro
    int32_t wThreeGravityJumpSum;  // sum of the last 3 raw_acc
    int32_t wThreeOmegaAngleSum;   // sum of the last 3 lpf_gyro
    int32_t wTurnFallCounter;      // consecutive turning samples
    int32_t wJumpIndex;            // wDataCounter of the last jump sample; -1 at first
    int32_t wJumpValue;            // raw_acc of the last jump sample; 0 after its window
    int32_t wJumpEndIndex;         // first wDataCounter after the jump window
    FALL_HISTORY FallHistory;
    int32_t wRawFallCounter;     // samples in the open raw fall; 0 when none is open
    int32_t wRawFallStartIndex;  // wDataCounter at which it opened
    int32_t wRawFallConfirm;     // its confirming count
    int32_t wRawFallLength;      // last confirming count, recorded when the raw fall closes
    int32_t wRawFallSum;         // sum of raw_acc over the raw fall
    int32_t wRawFallMean;        // mean raw_acc of its low samples
    int32_t wRawHighCounter;     // consecutive samples above FALL_START_G inside it...
    int32_t wRawHighSum;         // ...and their raw_acc sum
    RAW_FALL_HISTORY RawFallHistory;
    int32_t wCollisionCheckLastIndex;  // end (exclusive) of the collision watch window
    int32_t wCollisionRawAccMax;       // largest raw_acc in the window
    int32_t wCollisionRawAccMaxIndex;  // wDataCounter of that peak
    // Per-axis filter states: output, previous input, previous output.
    float ax_1, ax_2, ax_3;
    float ay_1, ay_2, ay_3;
    float az_1, az_2, az_3;
    float gx_1, gx_2, gx_3;
    float gy_1, gy_2, gy_3;
    float gz_1, gz_2, gz_3;
} FALL_DETECTOR;

// This engine's own results besides those of FallDetectorCommon.h. A result above 100 is one
// of the confirming-decision types, measured on the unfiltered magnitude (the raw fall).
enum {
    FALL_TYPE_VERTICAL = 10,     // a flip of the dominant axis followed by low magnitude
    FALL_TYPE_RAW_OFFSET = 100,  // added to 1, 2, 3, 4 and 12
    FALL_TYPE_RAW_COLLISION = 107,
    FALL_TYPE_RAW_LONG_COLLISION = 108,
    FALL_TYPE_RAW_LONG_FREE_FALL = 109,
};

extern "C" {
int FallDetectorSetDefaultConfig(FALL_DETECTOR_CFG *cfg);
// Zeroes the detector and takes a copy of cfg.
int FallDetectorSet(FALL_DETECTOR *detector, FALL_DETECTOR_CFG *cfg);
// Processes one sample (one every 20 ms); returns 0 or a positive fall type.
int FallDetectorWork(FALL_DETECTOR *detector, const FALL_DETECTOR_SENSOR_DATA *sample);
}
