#include "FallDetectorOnFallDetected.h"

namespace {

// Every sample index the detector keeps moves with the count when it reaches its limit.
void RebaseIndices(FALL_DETECTOR *d) {
    const int32_t now = d->wDataCounter;
    FallDetectorRebaseIndex(&d->MaxJumpData.wIndex, now);
    FallDetectorRebaseIndex(&d->MaxJumpData.wJumpStartIndex, now);
    FallDetectorRebaseIndex(&d->FallHistory.wHighFallStartIndex, now);
    FallDetectorRebaseIndex(&d->FallHistory.wHighFallLastIndex, now);
    for (FALL_HISTORY_ITEM &item : d->FallHistory.Items)
        FallDetectorRebaseIndex(&item.wLastIndex, now);
    FallDetectorRebaseIndex(&d->wCollisionCheckLastIndex, now);
    FallDetectorRebaseIndex(&d->wCollisionRawAccMaxIndex, now);
}

}  // namespace

void FallDetectorAdvance(FALL_DETECTOR *d) {
    d->wFallDataIndex = FallDetectorNextSlot(d->wFallDataIndex);
    if (FallDetectorCountAtLimit(d->wDataCounter))
        RebaseIndices(d);
    d->wDataCounter = FallDetectorNextCount(d->wDataCounter);
}

int FallDetectorOnFallDetected(FALL_DETECTOR *d, int type) {
    // A positive result moves the rings on exactly like a quiet sample, so the next call
    // continues from consistent state.
    FallDetectorAdvance(d);
    return type;
}
