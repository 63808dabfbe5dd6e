#include "FallDetectorHelpers.h"

#include "FallDetectorCollision.h"
#include "FallDetectorHistory.h"

// ---------------------------------------------------------------------------------------
// Ring counts and attitude angles

uint32_t FallDetectorStrongCount(const FALL_DETECTOR *d, int32_t k) {
    return FallDetectorGrowth(d->lowFallCounter, d->wFallDataIndex, k);
}

uint32_t FallDetectorStandCount(const FALL_DETECTOR *d, int32_t k) {
    return FallDetectorGrowth(d->standCounter, d->wFallDataIndex, k);
}

void FallDetectorComputeAngle(FALL_DETECTOR *d) {
    const float acc[3] = {d->ax_1, d->ay_1, d->az_1};
    const float rate[3] = {d->gx_1, d->gy_1, d->gz_1};
    const FallDetectorAngles a = FallDetectorAttitude(&d->ARS, acc, rate);
    d->roll = a.roll;
    d->pitch = a.pitch;
    d->yaw = a.yaw;
}

static bool AngleLearningCondition(const FALL_DETECTOR *d) {
    return d->wDataCounter >= 50 && d->wDataCounter <= 59 && d->raw_acc >= 96 &&
           d->raw_acc <= 104 && d->roll >= -19 && d->roll <= 19 && d->pitch >= -24 &&
           d->pitch <= 24;
}

void FallDetectorAngleCompensation(FALL_DETECTOR *d) {
    if (d->wRollCompensation != 0)
        d->roll += d->wRollCompensation;
    else if (AngleLearningCondition(d))
        d->wRollCompensation = -d->roll;

    if (d->pitch < -180)
        d->pitch += 360;

    if (d->wPitchCompensation != 0)
        d->pitch += d->wPitchCompensation;
    else if (AngleLearningCondition(d))
        d->wPitchCompensation = -d->pitch;
}

// ---------------------------------------------------------------------------------------
// Jump data

int32_t FallDetectorJumpOverCount(int32_t v) {
    if (v >= 251)
        return 13;
    if (v >= 201)
        return (v - 200) * 5 / 50 + 8;
    if (v >= 171)
        return (v - 170) * 4 / 30 + 4;
    return 0;
}

void FallDetectorClearMaxJumpData(FALL_DETECTOR *d) {
    MAX_JUMP_DATA &j = d->MaxJumpData;
    if (j.wValue == 0)
        return;
    j.wValue = 0;
    j.wOverCount = 0;
    j.wJumpAccSum = 0;
    j.wLastSetValue = 0;
}

void FallDetectorMakeJumpData(FALL_DETECTOR *d) {
    const FALL_DETECTOR_CFG *cfg = d->cfg;
    MAX_JUMP_DATA &j = d->MaxJumpData;
    const int32_t acc = d->raw_acc;

    if (d->FallHistory.wHighFallCounter <= 5 && cfg->JUMP_START_G < acc && acc < cfg->MAX_JUMP_G) {
        if (j.wJumpAccSum == 0)
            j.wJumpStartIndex = d->wDataCounter;
        j.wJumpAccSum += acc - 100;
        // The peak only counts while the wearer is roughly upright.
        if (acc >= j.wValue && d->roll >= -59 && d->roll <= 59 && d->pitch < 60) {
            j.wValue = acc;
            j.wIndex = d->wDataCounter;
        }
        if (FallDetectorSamplesBetween(j.wJumpStartIndex, d->wDataCounter) >= 3 &&
            j.wValue != j.wLastSetValue) {
            j.wLastSetValue = j.wValue;
            j.wOverCount = FallDetectorJumpOverCount(j.wValue);
        }
        if (j.wJumpAccSum >= 1080) {
            int32_t n = j.wJumpAccSum / 60 - 17;
            if (n > 13)
                n = 13;
            if (n > j.wOverCount)
                j.wOverCount = n;
        }
    }
    // The jump is forgotten one second after its peak.
    if (FallDetectorSamplesBetween(j.wIndex, d->wDataCounter) > 50)
        FallDetectorClearMaxJumpData(d);
}

// ---------------------------------------------------------------------------------------
// Free-fall counters

void FallDetectorClearHighLowFallCounter(FALL_DETECTOR *d) {
    FALL_HISTORY &h = d->FallHistory;
    FallDetectorPushFallHistory(d);
    if (h.wHighFallCounter >= 7 && h.wLpfAcc5Hz >= 101)
        FallDetectorClearMaxJumpData(d);
    h.wHighFallCounter = 0;
    h.wVerticalVelocity = 0;
}

int FallDetectorMakeFallCounter(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample) {
    FALL_HISTORY &h = d->FallHistory;
    MAX_JUMP_DATA &j = d->MaxJumpData;
    const int32_t a = h.wLpfAcc5Hz;
    const int32_t now = d->wFallDataIndex;

    if (sample->gyroX < -10000)
        ++h.wBendDownCounter;
    else
        h.wBendDownCounter = 0;

    d->lowFallCounter[now] = static_cast<uint32_t>(h.wLowFallCounter);

    if (a >= 96) {  // no free fall
        ++h.wLowOverCounter;
        if (h.wHighFallCounter > 0 && a > 100 && d->lpf_acc >= 61)
            FallDetectorClearHighLowFallCounter(d);
        return 0;
    }

    if (a >= 91) {
        if (h.wHighFallCounter <= 4)
            ++h.wHighFallCounter;
    } else {
        if (h.wHighFallCounter < 30)
            ++h.wHighFallCounter;
    }
    if (h.wHighFallCounter == 1)
        h.wHighFallStartIndex = d->wDataCounter;

    if (a >= 61) {  // reduced, not strong
        ++h.wLowOverCounter;
        if (FallDetectorStrongCount(d, h.wHighFallCounter) == 0)
            return 0;
        if (h.wLowOverCounter <= 3)
            return 0;
        if (d->lpf_acc >= 61)
            FallDetectorClearHighLowFallCounter(d);
        return 0;
    }

    // Strong free fall.
    h.wLowOverCounter = 0;
    ++h.wLowFallCounter;
    d->lowFallCounter[now] = static_cast<uint32_t>(h.wLowFallCounter);
    h.wVerticalVelocity += 100 - a;

    if (FallDetectorStrongCount(d, h.wHighFallCounter) == 1) {
        if (h.wHighFallCounter >= 8)
            h.wHighFallCounter = 5;
        // A small jump does not delay the first free fall after it by much.
        if (j.wJumpAccSum < 1080 && j.wOverCount > 3)
            j.wOverCount = 3;
    }

    const int32_t len = h.wHighFallCounter;
    if (len <= 4)
        return 0;
    if (FallDetectorStrongCount(d, len) < static_cast<uint32_t>(len / 2))
        return 0;

    d->check_count = len;
    h.wHighFallLastIndex = d->wDataCounter;
    h.wHighFallLastCounter = len;
    return FallDetectorCheckCollisionFall(d);
}

// ---------------------------------------------------------------------------------------
// Posture conditions and decisions

void FallDetectorMakeConditions(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample) {
    (void)sample;
    const FALL_DETECTOR_CFG *cfg = d->cfg;
    const int32_t p = d->pitch;
    const int32_t o = d->MaxJumpData.wOverCount;
    const int32_t L = d->FallHistory.wLowFallCounter;
    // The ratio is only read under L >= 6, so it never divides by zero.
    const int32_t v = (L >= 6) ? d->FallHistory.wVerticalVelocity / L : 0;

    if (p < 16) {
        // Bending forward and down: demand more confirming samples.
        if (p < -10 && d->FallHistory.wBendDownCounter >= 2) {
            int32_t n = d->FallHistory.wBendDownCounter / 2 + 1;
            if (n > 7)
                n = 7;
            if (o > 0 && n + o > 7)
                n = 7 - o;
            if (n > 0) {
                d->over_count2 = -n;
                return;
            }
        }
    } else if ((p >= 24 || o <= 0) && L >= 6) {
        // Leaning back while falling fast: fewer confirming samples.
        if (v >= 71 || p >= cfg->PITCH_ANGLE_BACK) {
            d->over_count2 = 9;
            return;
        }
        if (v >= 61) {
            const int32_t span = cfg->PITCH_ANGLE_BACK - 15;
            const int32_t n = (span != 0) ? (p - 15) * 9 / span : 0;
            if (n > 9) {
                d->over_count2 = 9;
                return;
            }
            if (n > 0) {
                d->over_count2 = n;
                return;
            }
        }
    }

    if (o > 0)
        d->over_count2 = 0;
    else if (L >= 6 && v >= 86)
        d->over_count2 = 3;
    else
        d->over_count2 = 0;
}

int FallDetectorConfirmDecision(FALL_DETECTOR *d) {
    const FALL_DETECTOR_CFG *cfg = d->cfg;
    const int32_t N = cfg->CONTINUE_COUNT;
    const int32_t k = d->check_count;
    const int32_t w = d->omega_avg;
    const int32_t o = d->MaxJumpData.wOverCount;
    const int32_t required = N - d->over_count2 + (o > 0 ? o : 0);

    if (w < cfg->OMEGA_ANGLE_LIMIT) {
        if (k >= required)
            return o > 0 ? FALL_TYPE_FREE_FALL_AFTER_JUMP : FALL_TYPE_FREE_FALL;
    } else {
        if (k >= required)
            return FALL_TYPE_FREE_FALL_ROTATING;
        if (w < cfg->OMEGA_ANGLE_LIMIT_2) {
            // Early decision while rotating.
            const int32_t g = FallDetectorRotationDiscount(cfg, w, d->fall_avg);
            if (g < cfg->FALL_AVG_LIMIT && k >= (N + 1) / 4)
                return o > 0 ? FALL_TYPE_FREE_FALL_ROTATING_EARLY_AFTER_JUMP
                             : FALL_TYPE_FREE_FALL_ROTATING_EARLY;
        }
    }
    if (k >= N + 18)
        return FALL_TYPE_LONG_FREE_FALL;
    return 0;
}

int FallDetectorTurnFall(FALL_DETECTOR *d) {
    FallDetectorCountTurning(d->cfg, d->raw_acc, d->raw_gyro, &d->wTurnFallCounter);
    return FallDetectorTurningType(d->cfg, d->wTurnFallCounter, d->standCounter, d->wFallDataIndex);
}

int FallDetectorThreeGravityImpact(FALL_DETECTOR *d) {
    // The softer impact counts only with the body tilted.
    const bool tilted = d->roll < -55 || d->roll > 55 || d->pitch >= 46;
    return FallDetectorImpactType(d->cfg, d->wThreeGravityJumpSum, tilted,
                                  d->FallHistory.wFallCounter, d->wDataCounter,
                                  FallDetectorLastFallHistory(d));
}
