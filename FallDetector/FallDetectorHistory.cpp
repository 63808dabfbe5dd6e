#include "FallDetectorHistory.h"

#include "FallDetectorHelpers.h"

const FALL_HISTORY_ITEM *FallDetectorLastFallHistory(const FALL_DETECTOR *d) {
    const int32_t last = (d->FallHistory.wIndex + FALL_HISTORY_ITEMS - 1) % FALL_HISTORY_ITEMS;
    return &d->FallHistory.Items[last];
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
        // A window that is still open keeps the peak it has seen; it is only extended.
        if (FallDetectorSamplesBetween(d->wCollisionCheckLastIndex, d->wDataCounter) > 0)
            d->wCollisionRawAccMax = 0;
        d->wCollisionCheckLastIndex = FallDetectorIndexAfter(d->wDataCounter, 20);
    }
    h.wFallCounter = 0;
}

int FallDetectorIsFallNear(FALL_DETECTOR *d, int32_t offset, int32_t minimum) {
    if (d->FallHistory.wFallCounter >= minimum)
        return 1;
    const FALL_HISTORY_ITEM *e = FallDetectorLastFallHistory(d);
    if (FallDetectorSamplesBetween(e->wLastIndex, d->wDataCounter) <= offset &&
        e->wFallCounter >= minimum)
        return 1;
    return 0;
}
