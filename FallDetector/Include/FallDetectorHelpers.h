#pragma once
// Internal steps of the device engine's work cycle: ring counts, attitude angles, jump data,
// free-fall counters, posture conditions and the decision rules. Not part of the public
// interface; declared here so that the modules and their tests can reach them.
#include <cstdint>

#include "FallDetector.h"

// Strong free-fall samples among the last k (lowFallCounter growth).
uint32_t FallDetectorStrongCount(const FALL_DETECTOR *d, int32_t k);
// Standing samples among the last k (standCounter growth).
uint32_t FallDetectorStandCount(const FALL_DETECTOR *d, int32_t k);

void FallDetectorComputeAngle(FALL_DETECTOR *d);
void FallDetectorAngleCompensation(FALL_DETECTOR *d);

// Extra confirming samples demanded for a jump peak value.
int32_t FallDetectorJumpOverCount(int32_t peak);
void FallDetectorMakeJumpData(FALL_DETECTOR *d);
void FallDetectorClearMaxJumpData(FALL_DETECTOR *d);
int FallDetectorMakeFallCounter(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample);
void FallDetectorClearHighLowFallCounter(FALL_DETECTOR *d);
void FallDetectorMakeConditions(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample);

// The decision rules; each returns the decided type, or 0 to let the work call go on.
// They do not advance the rings: the caller passes a positive type through
// FallDetectorOnFallDetected.
int FallDetectorConfirmDecision(FALL_DETECTOR *d);
int FallDetectorTurnFall(FALL_DETECTOR *d);
int FallDetectorThreeGravityImpact(FALL_DETECTOR *d);
