#include "FallDetectorRules.h"

bool FallDetectorIsStanding(const FALL_DETECTOR_CFG *cfg, int32_t roll, int32_t pitch) {
    return -cfg->ROLL_ANGLE_LIMIT < roll && roll < cfg->ROLL_ANGLE_LIMIT &&
           cfg->PITCH_ANGLE_FRONT < pitch && pitch < cfg->PITCH_ANGLE_BACK;
}

// ---------------------------------------------------------------------------------------
// Jump: a push-off holds the confirming decision back for a window that grows with its peak.

int32_t FallDetectorJumpWindow(const FALL_DETECTOR_CFG *cfg, int32_t v) {
    int32_t q;
    if (v < 175)
        q = (v - 100) * 13 / 100;
    else if (v < 200)
        q = (v - 100) * ((v - 175) * 7 / 25 + 13) / 100;
    else
        q = (v - 100) * 20 / 100;
    return q < cfg->MAX_IGNORING_STEPS ? q : cfg->MAX_IGNORING_STEPS;
}

void FallDetectorMakeJump(FALL_DETECTOR *d, const FallDetectorCall *c) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    const int32_t v = c->raw_acc;
    const int32_t accY = c->sample->accY;  // about -2.81 g to -0.50 g along the body
    const FALL_HISTORY_ITEM *e = FallDetectorLastItem(d->FallHistory.Items, d->FallHistory.wIndex);
    // No jump is taken from inside a fall phase or just after a recorded one.
    const bool afterPhase =
        FallDetectorSamplesBetween(e->wLastIndex, d->wDataCounter) > 5 || e->wFallCounter <= 4;
    if (cfg->JUMP_START_G < v && v < cfg->MAX_JUMP_G && v >= d->wJumpValue && accY >= -22999 &&
        accY <= -4097 && -cfg->ROLL_ANGLE_LIMIT < c->roll && c->roll < cfg->ROLL_ANGLE_LIMIT &&
        cfg->PITCH_ANGLE_FRONT2 < c->pitch && c->pitch < cfg->PITCH_ANGLE_BACK &&
        d->FallHistory.wFallCounter <= 4 && afterPhase) {
        d->wJumpValue = v;
        d->wJumpIndex = d->wDataCounter;
        d->wJumpEndIndex = FallDetectorIndexAfter(d->wDataCounter, FallDetectorJumpWindow(cfg, v));
    }
}

// ---------------------------------------------------------------------------------------
// Fall phases on the filtered magnitude, their history and the collision types

void FallDetectorPushFallHistory(FALL_DETECTOR *d) {
    FALL_HISTORY &h = d->FallHistory;
    if (h.wFallCounter >= d->cfg.MIN_COUNTER_FOR_FALL_HISTORY) {
        // The phase ended with the previous sample.
        h.Items[h.wIndex].wLastIndex = FallDetectorIndexAfter(d->wDataCounter, -1);
        h.Items[h.wIndex].wFallCounter = h.wFallCounter;
        h.wIndex = (h.wIndex + 1) % FALL_HISTORY_ITEMS;
        FallDetectorOpenWatch(d->wDataCounter, &d->wCollisionCheckLastIndex,
                              &d->wCollisionRawAccMax);
    }
    h.wFallCounter = 0;
}

int FallDetectorCollisionType(const FALL_DETECTOR *d, int32_t h, const FALL_HISTORY_ITEM *e,
                              int32_t afterCounter) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    const int32_t start = FallDetectorIndexAfter(d->wDataCounter, 1 - h);
    const int32_t gap = FallDetectorCollisionGap(e->wLastIndex, start);
    const int32_t f =
        FallDetectorStandingAdjustment(FallDetectorGrowth(d->standCounter, d->wFallDataIndex, 17));
    const bool gapOk = cfg->COLLISION_COUNTER_MIN <= gap && gap <= cfg->COLLISION_COUNTER_MAX;
    const bool peak = FallDetectorCollisionPeak(cfg, d->wCollisionRawAccMax,
                                                d->wCollisionRawAccMaxIndex, e->wLastIndex, start);
    // A collision counts only once the last jump's window has passed.
    const bool afterJump =
        FallDetectorSamplesBetween(d->wJumpEndIndex, FallDetectorIndexAfter(e->wLastIndex, 1)) >= 0;

    if (h >= cfg->AFTER_COLLISION_FALL_COUNTER_LIMIT - f && gapOk &&
        e->wFallCounter >= cfg->BEFORE_COLLISION_FALL_COUNTER_LIMIT - f && afterJump && peak)
        return FALL_TYPE_COLLISION;
    if (h > 4 && gapOk && e->wFallCounter >= cfg->BEFORE_COLLISION_FALL_COUNTER_LIMIT &&
        afterCounter >= cfg->AFTER_COLLISION_FALL_COUNTER_LIMIT &&
        h + e->wFallCounter >= cfg->LONG_COLLISION_FALL_COUNTER_LIMIT &&
        FallDetectorGrowth(d->standCounter, d->wFallDataIndex, h) < static_cast<uint32_t>(h / 2) &&
        peak)
        return FALL_TYPE_LONG_COLLISION;
    return 0;
}

int FallDetectorMakeFallPhase(FALL_DETECTOR *d, const FallDetectorCall *c) {
    FALL_HISTORY &h = d->FallHistory;
    if (c->lpf_acc > d->cfg.FALL_START_G) {
        if (h.wFallCounter > 0)
            FallDetectorPushFallHistory(d);
        return 0;
    }
    ++h.wFallCounter;
    // A hard hit inside a long phase ends it on the spot.
    if (h.wFallCounter >= 13 && c->raw_acc >= 151)
        FallDetectorPushFallHistory(d);
    return FallDetectorCollisionType(d, h.wFallCounter, FallDetectorLastItem(h.Items, h.wIndex),
                                     h.wFallCounter);
}

// ---------------------------------------------------------------------------------------
// Raw fall: a phase of low unfiltered magnitude, counted on its low samples

int FallDetectorMakeRawFall(FALL_DETECTOR *d, const FallDetectorCall *c) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    const int32_t a = c->raw_acc;
    if (d->wRawFallCounter == 0) {
        if (a <= cfg->RAW_FALL_START_G) {
            d->wRawFallCounter = 1;
            d->wRawFallSum = a;
            ++d->wRawFallConfirm;
            d->wRawFallStartIndex = d->wDataCounter;
        }
        return 0;
    }
    if (a > cfg->RAW_FALL_STOP_G) {
        if (d->wRawFallLength >= cfg->MIN_COUNTER_FOR_FALL_HISTORY) {
            RAW_FALL_HISTORY &rh = d->RawFallHistory;
            rh.Items[rh.wIndex].wLastIndex =
                FallDetectorIndexAfter(d->wRawFallStartIndex, d->wRawFallLength - 1);
            rh.Items[rh.wIndex].wFallCounter = d->wRawFallLength;
            rh.wIndex = (rh.wIndex + 1) % FALL_HISTORY_ITEMS;
            FallDetectorOpenWatch(d->wDataCounter, &d->wCollisionCheckLastIndex,
                                  &d->wCollisionRawAccMax);
        }
        d->wRawFallCounter = d->wRawFallSum = d->wRawFallConfirm = d->wRawFallMean = 0;
        d->wRawHighCounter = d->wRawHighSum = 0;
        return 0;
    }
    ++d->wRawFallCounter;
    d->wRawFallSum += a;
    if (a > cfg->FALL_START_G) {
        ++d->wRawHighCounter;
        d->wRawHighSum += a;
    } else {
        d->wRawHighCounter = d->wRawHighSum = 0;
    }
    // The opening sample is low and never counts as high, so n is at least 1.
    const int32_t n = d->wRawFallCounter - d->wRawHighCounter;
    if (d->wRawFallCounter >= cfg->MIN_COUNTER_FOR_FALL_HISTORY)
        d->wRawFallMean = (d->wRawFallSum - d->wRawHighSum) / n;
    if (d->wRawFallMean <= cfg->RAW_FALL_MEAN_LIMIT && a <= cfg->FALL_START_G)
        d->wRawFallConfirm = d->wRawFallLength = n;
    else
        d->wRawFallConfirm = 0;

    const int32_t y = d->wRawFallConfirm;
    const int type = FallDetectorCollisionType(
        d, y, FallDetectorLastItem(d->RawFallHistory.Items, d->RawFallHistory.wIndex),
        d->FallHistory.wFallCounter);
    // The confirming decision sees the raw count six samples behind.
    if (y > 5)
        d->wRawFallConfirm = y - 6;
    return type > 0 ? type + FALL_TYPE_RAW_OFFSET : 0;
}

// ---------------------------------------------------------------------------------------
// Confirming decision and impacts

int FallDetectorConfirmDecision(const FALL_DETECTOR *d, const FallDetectorCall *c, int32_t h) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    const int32_t sinceWindow = FallDetectorSamplesBetween(d->wJumpEndIndex, d->wDataCounter);
    if (sinceWindow < 0)
        return 0;  // held back by a jump
    // The raw fall speaks for the phase when it confirms at least as long.
    int32_t k = h;
    int m = 0;
    if (d->wRawFallConfirm > 4 && d->wRawFallMean <= cfg->FALL_START_G && d->wRawFallConfirm >= h) {
        k = d->wRawFallConfirm;
        m = FALL_TYPE_RAW_OFFSET;
    }
    // Only samples after the window count.
    const int32_t n = k < sinceWindow + 1 ? k : sinceWindow + 1;
    if (n <= 0)
        return 0;
    const int32_t N = cfg->CONTINUE_COUNT;
    const int32_t w = c->omega_avg;
    const bool slow = w < cfg->OMEGA_ANGLE_LIMIT;
    const bool early = !slow && w < cfg->OMEGA_ANGLE_LIMIT_2 &&
                       FallDetectorRotationDiscount(cfg, w, c->fall_avg) < cfg->FALL_AVG_LIMIT;

    if (FallDetectorSamplesBetween(d->wJumpIndex, d->wDataCounter) <= 40) {
        if (slow && n >= N)
            return m + FALL_TYPE_FREE_FALL_AFTER_JUMP;
        if (!slow && n >= N)
            return m + FALL_TYPE_FREE_FALL_ROTATING;
        if (early && n >= N / 4)
            return m + FALL_TYPE_FREE_FALL_ROTATING_EARLY_AFTER_JUMP;
    } else {
        // A wearer no longer standing needs one sample less.
        const int32_t need = N - (c->standing ? 0 : 1);
        if (slow && n >= need)
            return m + FALL_TYPE_FREE_FALL;
        if (!slow && n >= need)
            return m + FALL_TYPE_FREE_FALL_ROTATING;
        if (early && n >= need / 4)
            return m + FALL_TYPE_FREE_FALL_ROTATING_EARLY;
    }
    if (h >= N + 18)
        return FALL_TYPE_LONG_FREE_FALL;
    if (d->wRawFallConfirm >= N + 18 && d->wRawFallMean <= cfg->FALL_START_G)
        return FALL_TYPE_RAW_LONG_FREE_FALL;
    return 0;
}

int FallDetectorImpact(const FALL_DETECTOR *d) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    // The softer impact counts only when the wearer has hardly been standing just before.
    const uint32_t standing =
        FallDetectorGrowth(d->standCounter, d->wFallDataIndex, -cfg->THREE_GRAVITY_STAND_OFFSET2);
    const bool softPosture = standing <= static_cast<uint32_t>(cfg->THREE_GRAVITY_STAND_MAX2);
    return FallDetectorImpactType(
        cfg, d->wThreeGravityJumpSum, softPosture, d->FallHistory.wFallCounter, d->wDataCounter,
        FallDetectorLastItem(d->FallHistory.Items, d->FallHistory.wIndex));
}
