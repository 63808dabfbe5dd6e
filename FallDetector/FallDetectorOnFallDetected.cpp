#include "FallDetectorOnFallDetected.h"

void FallDetectorAdvance(FALL_DETECTOR *d) {
    d->wFallDataIndex = (d->wFallDataIndex + 1) % FALL_DETECTOR_RING;
    // Counted in unsigned arithmetic so that the wrap after about 497 days is defined.
    d->wDataCounter = static_cast<int32_t>(static_cast<uint32_t>(d->wDataCounter) + 1u);
}

int FallDetectorOnFallDetected(FALL_DETECTOR *d, int type) {
    // A positive result moves the rings on exactly like a quiet sample, so the next call
    // continues from consistent state.
    FallDetectorAdvance(d);
    return type;
}
