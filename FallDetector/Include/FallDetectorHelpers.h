#pragma once
// Internal steps of the work cycle: preprocessing helpers, attitude angles, jump data,
// free-fall counters, posture conditions and the decision rules. Not part of the public
// interface; declared here so that the modules and their tests can reach them.
#include <cstdint>

#include "FallDetector.h"

// Ring slot k samples before the current one, (wFallDataIndex - k) mod 64.
int32_t FallDetectorRingIndex(const FALL_DETECTOR *d, int32_t k);
// Sample indices (values of wDataCounter) are compared through their distance, taken modulo
// 2^32: it is the plain difference whenever the two lie less than 2^31 samples apart, which
// holds for every index the detector keeps (see FallDetectorAdvance), also across the wrap.
// later - earlier, negative when `later` comes first.
int32_t FallDetectorSamplesBetween(int32_t earlier, int32_t later);
// The index k samples after `index`.
int32_t FallDetectorIndexAfter(int32_t index, int32_t k);
// Strong free-fall samples among the last k (lowFallCounter difference, unsigned).
uint32_t FallDetectorStrongCount(const FALL_DETECTOR *d, int32_t k);
// Standing samples among the last k (standCounter difference, unsigned).
uint32_t FallDetectorStandCount(const FALL_DETECTOR *d, int32_t k);

// Conversions of the raw counts (single precision).
float FallDetectorAccToG(int16_t counts);
float FallDetectorGyroToDps(int16_t counts);
// trunc(sqrt(x^2 + y^2 + z^2) * scale) in single precision, as a 16-bit magnitude.
uint16_t FallDetectorMagnitude(float x, float y, float z, float scale);
// Truncation toward zero to int32; NaN gives 0 and out-of-range values saturate.
int32_t FallDetectorTruncToInt32(double v);

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
