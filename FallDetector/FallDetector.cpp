#include "FallDetector.h"

#include <cstring>

#include "ARSbyQuaternion.h"
#include "FallDetectorCollision.h"
#include "FallDetectorHelpers.h"
#include "FallDetectorOnFallDetected.h"
#include "LPF.h"
#include "set_lpf.h"

static const char kFallDetectorVersion[] = "Q7-FallDetector-2.1.1";
extern "C" {
const char *__FallDetector_VerisonInfo = kFallDetectorVersion;
}

// Nominal magnitude (1 g) the acceleration rings start from.
static const uint16_t kOneG = 100;

extern "C" const char *FallDetectorGetVersionInfo(void) {
    return __FallDetector_VerisonInfo;
}

extern "C" int FallDetectorSetDefaultConfig(FALL_DETECTOR_CFG *cfg) {
    FallDetectorWriteDefaults(cfg);
    return 0;
}

extern "C" int FallDetectorSet(FALL_DETECTOR *d, FALL_DETECTOR_CFG *cfg) {
    std::memset(d, 0, sizeof(*d));
    d->cfg = cfg;
    d->MaxJumpData.wIndex = -1;
    d->wThreeGravityJumpSum = 3 * kOneG;
    d->wThreeOmegaAngleSum = 0;
    const int rc = InitARS(&d->ARS);
    InitLPF();
    set_lpf_init(&d->acc_lpf, 50, 5);
    for (int i = 0; i < FALL_DETECTOR_RING; ++i) {
        d->gravityMean[i] = kOneG;
        d->gravityJump[i] = kOneG;
    }
    // The averaging window starts full of 1 g samples, and the average says so.
    d->wFallSum = static_cast<uint16_t>(cfg->CONTINUE_COUNT * kOneG);
    d->fall_avg =
        cfg->CONTINUE_COUNT != 0 ? static_cast<uint16_t>(d->wFallSum / cfg->CONTINUE_COUNT) : 0;
    // Non-zero only when no attitude storage could be had; the detector then runs with
    // the angles of a level attitude (roll 0, pitch -90) instead of crashing.
    return rc;
}

extern "C" int FallDetectorWork(FALL_DETECTOR *d, const FALL_DETECTOR_SENSOR_DATA *sample) {
    const FALL_DETECTOR_CFG *cfg = d->cfg;

    // Convert and filter.
    const FallDetectorFilterAxis axes[6] = {
        {&d->ax_1, &d->ax_2, &d->ax_3}, {&d->ay_1, &d->ay_2, &d->ay_3},
        {&d->az_1, &d->az_2, &d->az_3}, {&d->gx_1, &d->gx_2, &d->gx_3},
        {&d->gy_1, &d->gy_2, &d->gy_3}, {&d->gz_1, &d->gz_2, &d->gz_3}};
    const FallDetectorSignals sig = FallDetectorPreprocess(sample, axes);
    d->raw_acc = sig.raw_acc;
    d->lpf_acc = sig.lpf_acc;
    d->raw_gyro = sig.raw_gyro;
    d->lpf_gyro = sig.lpf_gyro;

    // Attitude.
    FallDetectorComputeAngle(d);
    FallDetectorAngleCompensation(d);

    // 5 Hz magnitude that drives the free-fall counters.
    set_lpf_work(&d->acc_lpf, sig.ax, sig.ay, sig.az);
    d->FallHistory.wLpfAcc5Hz =
        FallDetectorMagnitude(d->acc_lpf.ox, d->acc_lpf.oy, d->acc_lpf.oz, 100.0f);

    // Rings and running sums (the 16-bit sums wrap like the fields they live in).
    const int32_t now = d->wFallDataIndex;
    d->stand_state = 0;
    d->gravityMean[now] = d->lpf_acc;
    d->gravityJump[now] = d->raw_acc;
    d->omegaAngleMean[now] = d->lpf_gyro;

    d->wOmegaSum = static_cast<uint16_t>(
        d->wOmegaSum - d->omegaAngleMean[FallDetectorSlotBefore(now, 5)] + d->lpf_gyro);
    d->omega_avg = static_cast<uint16_t>(d->wOmegaSum / 5);

    d->wFallSum = static_cast<uint16_t>(
        d->wFallSum - d->gravityMean[FallDetectorSlotBefore(now, cfg->CONTINUE_COUNT)] +
        d->lpf_acc);
    d->fall_avg =
        cfg->CONTINUE_COUNT != 0 ? static_cast<uint16_t>(d->wFallSum / cfg->CONTINUE_COUNT) : 0;

    if (-cfg->ROLL_ANGLE_LIMIT < d->roll && d->roll < cfg->ROLL_ANGLE_LIMIT &&
        d->pitch < cfg->PITCH_ANGLE_BACK) {
        d->stand_state = 1;
        ++d->wStandCounter;
    }
    d->standCounter[now] = d->wStandCounter;

    d->wThreeGravityJumpSum =
        d->wThreeGravityJumpSum - d->gravityJump[FallDetectorSlotBefore(now, 3)] + d->raw_acc;
    d->wThreeOmegaAngleSum =
        d->wThreeOmegaAngleSum - d->omegaAngleMean[FallDetectorSlotBefore(now, 3)] + d->lpf_gyro;

    if (FallDetectorWarmingUp(d->wDataCounter)) {
        FallDetectorAdvance(d);
        return 0;
    }

    // Decisions, in this order; the first that decides ends the call.
    d->check_count = 0;
    FallDetectorMakeJumpData(d);
    const int collision = FallDetectorMakeFallCounter(d, sample);
    if (collision > 0)
        return collision;  // already advanced

    FallDetectorTrackCollisionPeak(d);

    if (d->check_count > 0) {
        FallDetectorMakeConditions(d, sample);
        const int type = FallDetectorConfirmDecision(d);
        if (type > 0)
            return FallDetectorOnFallDetected(d, type);
    }

    int type = FallDetectorTurnFall(d);
    if (type > 0)
        return FallDetectorOnFallDetected(d, type);

    type = FallDetectorThreeGravityImpact(d);
    if (type > 0)
        return FallDetectorOnFallDetected(d, type);

    FallDetectorAdvance(d);
    return 0;
}
