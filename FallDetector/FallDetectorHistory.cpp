#include "FallDetectorHistory.h"

#include "FallDetectorHelpers.h"

const FALL_HISTORY_ITEM *FallDetectorLastFallHistory(const FALL_DETECTOR *d) {
    return FallDetectorLastItem(d->FallHistory.Items, d->FallHistory.wIndex);
}

void FallDetectorPushFallHistory(FALL_DETECTOR *d) {
    FALL_HISTORY &h = d->FallHistory;
    const int32_t len = h.wHighFallCounter;
    if (len >= d->cfg->MIN_COUNTER_FOR_FALL_HISTORY &&
        FallDetectorStrongCount(d, len) >= static_cast<uint32_t>(len / 2)) {
        // The entry describes the phase's last confirming sample.
        h.Items[h.wIndex].wLastIndex = h.wHighFallLastIndex;
        h.Items[h.wIndex].wFallCounter = h.wHighFallLastCounter;
        h.wIndex = (h.wIndex + 1) % FALL_HISTORY_ITEMS;
        FallDetectorOpenWatch(d->wDataCounter, &d->wCollisionCheckLastIndex,
                              &d->wCollisionRawAccMax);
    }
    h.wFallCounter = 0;
}

int FallDetectorIsFallNear(FALL_DETECTOR *d, int32_t offset, int32_t minimum) {
    return FallDetectorFallNear(d->FallHistory.wFallCounter, d->wDataCounter,
                                FallDetectorLastFallHistory(d), offset, minimum);
}
