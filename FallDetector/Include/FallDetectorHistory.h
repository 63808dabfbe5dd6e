#pragma once
// Fall history: the ring of recorded reduced-gravity phases and the fall-near test.
#include <cstdint>

#include "FallDetector.h"

// Records the phase that is closing (when long and strong enough) and opens or extends
// the collision watch window.
void FallDetectorPushFallHistory(FALL_DETECTOR *d);
// 1 when a phase of at least `minimum` samples ended no more than `offset` samples ago.
int FallDetectorIsFallNear(FALL_DETECTOR *d, int32_t offset, int32_t minimum);
// Most recent history entry ({0, 0} before any recording).
const FALL_HISTORY_ITEM *FallDetectorLastFallHistory(const FALL_DETECTOR *d);
