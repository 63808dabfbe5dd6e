#pragma once
// Collision fall: a recorded phase, a collision peak in the gap, and a new phase.
#include "FallDetector.h"

// Keeps the largest raw_acc of the open watch window and when it was seen.
void FallDetectorTrackCollisionPeak(FALL_DETECTOR *d);
// Runs on each confirming sample; 0, or type 7 or 8 already passed through
// FallDetectorOnFallDetected.
int FallDetectorCheckCollisionFall(FALL_DETECTOR *d);
