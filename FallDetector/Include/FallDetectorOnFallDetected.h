#pragma once
#include "FallDetector.h"

// Moves the rings on by one slot and counts the sample; every work call ends here.
void FallDetectorAdvance(FALL_DETECTOR *d);
// Every positive result leaves through here: advances like a zero result and returns type.
int FallDetectorOnFallDetected(FALL_DETECTOR *d, int type);
