// The state line of the data-logging image's engine variant. The variant keeps its magnitudes,
// averages and angles only for the call, so the line shows what its record holds: the ring
// entries of the sample just processed, the running sums and every counter of its rules.
#include "fall_replay/Observe.h"

namespace fall_replay {

namespace {
const char kHeader[] =
    "ax,ay,az,gx,gy,gz,"
    "raw_acc,lpf_acc,lpf_gyro,wFallSum,wOmegaSum,wThreeGravityJumpSum,standing,"
    "wTurnFallCounter,"
    "wFlipState,wFlipAxis,wFlipAccSum,wFlipAccSumDiv,wFlipStartIndex,wFlipLowCounter,"
    "axisRunX,axisRunY,axisRunZ,axisPrevRunX,axisPrevRunY,axisPrevRunZ,"
    "wJumpIndex,wJumpValue,wJumpEndIndex,wFallCounter,history_wIndex,"
    "wRawFallCounter,wRawFallStartIndex,wRawFallConfirm,wRawFallLength,wRawFallSum,"
    "wRawFallMean,wRawHighCounter,wRawHighSum,raw_history_wIndex,"
    "wFallDataIndex,wDataCounter,"
    "wCollisionCheckLastIndex,wCollisionRawAccMax,wCollisionRawAccMaxIndex,result";
}  // namespace

const char *stateHeader() {
    return kHeader;
}

const char *engineName() {
    return "data-logging variant";
}

bool isVariantEngine() {
    return true;
}

std::size_t formatState(const FALL_DETECTOR &d, const FALL_DETECTOR_SENSOR_DATA &in, int result,
                        char *buf) {
    const int32_t last = FallDetectorSlotBefore(d.wFallDataIndex, 1);  // the call moved on
    const int64_t fields[] = {
        in.accX,
        in.accY,
        in.accZ,
        in.gyroX,
        in.gyroY,
        in.gyroZ,
        d.gravityJump[last],
        d.gravityMean[last],
        d.omegaAngleMean[last],
        d.wFallSum,
        d.wOmegaSum,
        d.wThreeGravityJumpSum,
        FallDetectorGrowth(d.standCounter, last, 1),
        d.wTurnFallCounter,
        d.wFlipState,
        d.wFlipAxis,
        d.wFlipAccSum,
        d.wFlipAccSumDiv,
        d.wFlipStartIndex,
        d.wFlipLowCounter,
        d.axisRun[0],
        d.axisRun[1],
        d.axisRun[2],
        d.axisPrevRun[0],
        d.axisPrevRun[1],
        d.axisPrevRun[2],
        d.wJumpIndex,
        d.wJumpValue,
        d.wJumpEndIndex,
        d.FallHistory.wFallCounter,
        d.FallHistory.wIndex,
        d.wRawFallCounter,
        d.wRawFallStartIndex,
        d.wRawFallConfirm,
        d.wRawFallLength,
        d.wRawFallSum,
        d.wRawFallMean,
        d.wRawHighCounter,
        d.wRawHighSum,
        d.RawFallHistory.wIndex,
        d.wFallDataIndex,
        d.wDataCounter,
        d.wCollisionCheckLastIndex,
        d.wCollisionRawAccMax,
        d.wCollisionRawAccMaxIndex,
        result,
    };
    return putFields(fields, sizeof(fields) / sizeof(fields[0]), buf);
}

}  // namespace fall_replay
