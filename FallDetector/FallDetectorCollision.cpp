#include "FallDetectorCollision.h"

#include "FallDetectorHelpers.h"
#include "FallDetectorHistory.h"
#include "FallDetectorOnFallDetected.h"

void FallDetectorTrackCollisionPeak(FALL_DETECTOR *d) {
    FallDetectorTrackPeak(d->wDataCounter, d->raw_acc, d->wCollisionCheckLastIndex,
                          &d->wCollisionRawAccMax, &d->wCollisionRawAccMaxIndex);
}

int FallDetectorCheckCollisionFall(FALL_DETECTOR *d) {
    const FALL_DETECTOR_CFG *cfg = d->cfg;
    const FALL_HISTORY_ITEM *e = FallDetectorLastFallHistory(d);
    const int32_t h = d->FallHistory.wHighFallCounter;
    const int32_t k = d->check_count;

    const int32_t start = d->FallHistory.wHighFallStartIndex;
    const int32_t gap = FallDetectorCollisionGap(e->wLastIndex, start);
    const int32_t f = FallDetectorStandingAdjustment(FallDetectorStandCount(d, 17));
    const uint32_t notStanding = static_cast<uint32_t>(h) - FallDetectorStandCount(d, h);
    const bool gapOk = cfg->COLLISION_COUNTER_MIN <= gap && gap <= cfg->COLLISION_COUNTER_MAX;
    const bool peak = FallDetectorCollisionPeak(cfg, d->wCollisionRawAccMax,
                                                d->wCollisionRawAccMaxIndex, e->wLastIndex, start);

    if (k >= cfg->AFTER_COLLISION_FALL_COUNTER_LIMIT - f && gapOk &&
        e->wFallCounter >= cfg->BEFORE_COLLISION_FALL_COUNTER_LIMIT - f &&
        notStanding >= static_cast<uint32_t>(h / 4) && peak)
        return FallDetectorOnFallDetected(d, FALL_TYPE_COLLISION);

    if (k > 4 && gapOk && e->wFallCounter >= cfg->BEFORE_COLLISION_FALL_COUNTER_LIMIT &&
        k >= cfg->AFTER_COLLISION_FALL_COUNTER_LIMIT &&
        k + e->wFallCounter >= cfg->LONG_COLLISION_FALL_COUNTER_LIMIT &&
        notStanding >= static_cast<uint32_t>(h / 3) && peak)
        return FallDetectorOnFallDetected(d, FALL_TYPE_LONG_COLLISION);

    return 0;
}
