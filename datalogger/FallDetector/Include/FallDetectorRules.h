#pragma once
// The variant's own steps of a work call. Not part of the public interface; declared here so
// that the work call and the tests can reach them.
#include <cstdint>

#include "FallDetector.h"

// What one work call computes from its sample and keeps only for the call.
struct FallDetectorCall {
    const FALL_DETECTOR_SENSOR_DATA *sample;
    int32_t raw_acc, lpf_acc, raw_gyro, lpf_gyro;
    int32_t fall_avg, omega_avg;
    int32_t roll, pitch;
    bool standing;
};

// The standing test: roll strictly inside +-ROLL_ANGLE_LIMIT, pitch strictly between
// PITCH_ANGLE_FRONT and PITCH_ANGLE_BACK.
bool FallDetectorIsStanding(const FALL_DETECTOR_CFG *cfg, int32_t roll, int32_t pitch);
// Samples a jump of peak raw_acc v holds the confirming decision back.
int32_t FallDetectorJumpWindow(const FALL_DETECTOR_CFG *cfg, int32_t v);
void FallDetectorMakeJump(FALL_DETECTOR *d, const FallDetectorCall *c);
// The flip tracker; returns this call's vertical-fall count (0 when there is none).
int32_t FallDetectorTrackFlip(FALL_DETECTOR *d, const FallDetectorCall *c);

// Records the open fall phase when long enough and clears its counter.
void FallDetectorPushFallHistory(FALL_DETECTOR *d);
// The collision types for a phase of h samples ending now after the recorded phase e: 7, 8
// or 0. afterCounter is what the long collision compares with its after-collision limit.
int FallDetectorCollisionType(const FALL_DETECTOR *d, int32_t h, const FALL_HISTORY_ITEM *e,
                              int32_t afterCounter);
// The fall phase on the filtered magnitude; 0, 7 or 8.
int FallDetectorMakeFallPhase(FALL_DETECTOR *d, const FallDetectorCall *c);
// The raw fall on the unfiltered magnitude; 0, 107 or 108.
int FallDetectorMakeRawFall(FALL_DETECTOR *d, const FallDetectorCall *c);
// The confirming decision for a fall phase of h samples; 0 or 1, 2, 3, 4, 9, 12 (plus 100
// when the raw fall confirms), or 109.
int FallDetectorConfirmDecision(const FALL_DETECTOR *d, const FallDetectorCall *c, int32_t h);
// The impact rules, the softer one while the wearer has hardly been standing.
int FallDetectorImpact(const FALL_DETECTOR *d);

// Moves the rings on by one slot and counts the sample; every work call ends here.
void FallDetectorAdvance(FALL_DETECTOR *d);
