#include "FallDetectorCollision.h"

#include "FallDetectorHelpers.h"
#include "FallDetectorHistory.h"
#include "FallDetectorOnFallDetected.h"

void FallDetectorTrackCollisionPeak(FALL_DETECTOR *d) {
    if (FallDetectorSamplesBetween(d->wDataCounter, d->wCollisionCheckLastIndex) > 0 &&
        d->raw_acc > d->wCollisionRawAccMax) {
        d->wCollisionRawAccMax = d->raw_acc;
        d->wCollisionRawAccMaxIndex = d->wDataCounter;
    }
}

int FallDetectorCheckCollisionFall(FALL_DETECTOR *d) {
    const FALL_DETECTOR_CFG *cfg = d->cfg;
    const FALL_HISTORY_ITEM *e = FallDetectorLastFallHistory(d);
    const int32_t h = d->FallHistory.wHighFallCounter;
    const int32_t k = d->check_count;

    const int32_t start = d->FallHistory.wHighFallStartIndex;
    const int32_t gap = FallDetectorSamplesBetween(e->wLastIndex, start) - 1;
    // A wearer who was mostly standing just before needs much longer phases (f negative);
    // one already off balance needs shorter ones.
    const int32_t s17 = static_cast<int32_t>(FallDetectorStandCount(d, 17));
    const int32_t f = (s17 < 11) ? (17 - s17) / 4 : -6 - s17 / 4;
    const uint32_t notStanding = static_cast<uint32_t>(h) - FallDetectorStandCount(d, h);
    const bool gapOk = cfg->COLLISION_COUNTER_MIN <= gap && gap <= cfg->COLLISION_COUNTER_MAX;
    const bool peak = d->wCollisionRawAccMax >= cfg->COLLISION_RAW_ACC_MIN &&
                      FallDetectorSamplesBetween(e->wLastIndex, d->wCollisionRawAccMaxIndex) > 0 &&
                      FallDetectorSamplesBetween(d->wCollisionRawAccMaxIndex, start) > 0;

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
