#include "FallDetector.h"

#include <cstring>

#include "FallDetectorRules.h"
#include "LPF.h"

namespace {

// Nominal magnitude (1 g) the acceleration rings start from.
constexpr int32_t kOneG = 100;

// Every sample index the detector keeps moves with the count when it reaches its limit.
void RebaseIndices(FALL_DETECTOR *d) {
    const int32_t now = d->wDataCounter;
    FallDetectorRebaseIndex(&d->wFlipStartIndex, now);
    FallDetectorRebaseIndex(&d->wJumpIndex, now);
    FallDetectorRebaseIndex(&d->wJumpEndIndex, now);
    for (FALL_HISTORY_ITEM &item : d->FallHistory.Items)
        FallDetectorRebaseIndex(&item.wLastIndex, now);
    FallDetectorRebaseIndex(&d->wRawFallStartIndex, now);
    for (FALL_HISTORY_ITEM &item : d->RawFallHistory.Items)
        FallDetectorRebaseIndex(&item.wLastIndex, now);
    FallDetectorRebaseIndex(&d->wCollisionCheckLastIndex, now);
    FallDetectorRebaseIndex(&d->wCollisionRawAccMaxIndex, now);
}

// Every positive result leaves through here: it advances like a zero result.
int Decided(FALL_DETECTOR *d, int type) {
    FallDetectorAdvance(d);
    return type;
}

}  // namespace

void FallDetectorAdvance(FALL_DETECTOR *d) {
    d->wFallDataIndex = FallDetectorNextSlot(d->wFallDataIndex);
    if (FallDetectorCountAtLimit(d->wDataCounter))
        RebaseIndices(d);
    d->wDataCounter = FallDetectorNextCount(d->wDataCounter);
}

extern "C" int FallDetectorSetDefaultConfig(FALL_DETECTOR_CFG *cfg) {
    FallDetectorWriteDefaults(cfg);
    cfg->CONTINUE_COUNT = 15;
    cfg->ROLL_ANGLE_LIMIT = 38;
    cfg->PITCH_ANGLE_FRONT = -70;
    return 0;
}

extern "C" int FallDetectorSet(FALL_DETECTOR *d, FALL_DETECTOR_CFG *cfg) {
    std::memset(d, 0, sizeof(*d));
    d->cfg = *cfg;
    d->wJumpIndex = -1;
    d->wThreeGravityJumpSum = 3 * kOneG;
    d->wThreeOmegaAngleSum = 0;
    const int rc = InitARS(&d->ARS);
    InitLPF();
    for (int i = 0; i < FALL_DETECTOR_RING; ++i) {
        d->gravityMean[i] = kOneG;
        d->gravityJump[i] = kOneG;
    }
    d->wFallSum = cfg->CONTINUE_COUNT * kOneG;  // a window of 1 g samples
    // Non-zero only when no attitude storage could be had (see the device engine).
    return rc;
}

extern "C" int FallDetectorWork(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;

    const FallDetectorFilterAxis axes[6] = {
        {&d->ax_1, &d->ax_2, &d->ax_3}, {&d->ay_1, &d->ay_2, &d->ay_3},
        {&d->az_1, &d->az_2, &d->az_3}, {&d->gx_1, &d->gx_2, &d->gx_3},
        {&d->gy_1, &d->gy_2, &d->gy_3}, {&d->gz_1, &d->gz_2, &d->gz_3}};
    const FallDetectorSignals sig = FallDetectorPreprocess(sample, axes);
    // No start-up offsets here: the angles are the attitude's own.
    const float acc[3] = {d->ax_1, d->ay_1, d->az_1};
    const float rate[3] = {d->gx_1, d->gy_1, d->gz_1};
    const FallDetectorAngles angles = FallDetectorAttitude(&d->ARS, acc, rate);

    FallDetectorCall c;
    c.sample = sample;
    c.raw_acc = sig.raw_acc;
    c.lpf_acc = sig.lpf_acc;
    c.raw_gyro = sig.raw_gyro;
    c.lpf_gyro = sig.lpf_gyro;
    c.roll = angles.roll;
    c.pitch = angles.pitch;

    // Rings and running sums, all 32-bit.
    const int32_t now = d->wFallDataIndex;
    d->gravityMean[now] = c.lpf_acc;
    d->gravityJump[now] = c.raw_acc;
    d->omegaAngleMean[now] = c.lpf_gyro;
    d->wOmegaSum += c.lpf_gyro - d->omegaAngleMean[FallDetectorSlotBefore(now, 5)];
    c.omega_avg = d->wOmegaSum / 5;
    d->wFallSum += c.lpf_acc - d->gravityMean[FallDetectorSlotBefore(now, cfg->CONTINUE_COUNT)];
    c.fall_avg = cfg->CONTINUE_COUNT != 0 ? d->wFallSum / cfg->CONTINUE_COUNT : 0;

    c.standing = FallDetectorIsStanding(cfg, c.roll, c.pitch);
    if (c.standing)
        ++d->wStandCounter;
    d->standCounter[now] = d->wStandCounter;

    d->wThreeGravityJumpSum += c.raw_acc - d->gravityJump[FallDetectorSlotBefore(now, 3)];
    d->wThreeOmegaAngleSum += c.lpf_gyro - d->omegaAngleMean[FallDetectorSlotBefore(now, 3)];

    if (FallDetectorWarmingUp(d->wDataCounter)) {
        FallDetectorAdvance(d);
        return 0;
    }

    // Decisions, in this order; the first that decides ends the call.
    FallDetectorMakeJump(d, &c);
    const int32_t vertical = FallDetectorTrackFlip(d, &c);
    if (d->wDataCounter == d->wJumpEndIndex)
        d->wJumpValue = 0;  // the jump window is over
    FallDetectorCountTurning(cfg, c.raw_acc, c.raw_gyro, &d->wTurnFallCounter);

    int type = FallDetectorMakeFallPhase(d, &c);
    if (type > 0)
        return Decided(d, type);
    const int32_t h = d->FallHistory.wFallCounter;
    type = FallDetectorMakeRawFall(d, &c);
    if (type > 0)
        return Decided(d, type);

    FallDetectorTrackPeak(d->wDataCounter, c.raw_acc, d->wCollisionCheckLastIndex,
                          &d->wCollisionRawAccMax, &d->wCollisionRawAccMaxIndex);

    type = FallDetectorConfirmDecision(d, &c, h);
    if (type > 0)
        return Decided(d, type);
    type = FallDetectorTurningType(cfg, d->wTurnFallCounter, d->standCounter, now);
    if (type > 0)
        return Decided(d, type);
    type = FallDetectorImpact(d);
    if (type > 0)
        return Decided(d, type);
    if (vertical >= cfg->VERTICAL_FALL_COUNTER_LIMIT)
        return Decided(d, FALL_TYPE_VERTICAL);

    FallDetectorAdvance(d);
    return 0;
}
