#include "fall_replay/Observe.h"

namespace fall_replay {

namespace {
const char kHeader[] =
    "ax,ay,az,gx,gy,gz,"
    "raw_acc,lpf_acc,raw_gyro,lpf_gyro,fall_avg,omega_avg,roll,pitch,yaw,"
    "stand_state,check_count,over_count2,"
    "jump_wIndex,jump_wValue,jump_wOverCount,jump_wJumpAccSum,jump_wJumpStartIndex,"
    "jump_wLastSetValue,"
    "wHighFallCounter,wLowFallCounter,wLowOverCounter,wLpfAcc5Hz,wHighFallStartIndex,"
    "wHighFallLastIndex,wHighFallLastCounter,wVerticalVelocity,wBendDownCounter,"
    "wTurnFallCounter,history_wIndex,wFallDataIndex,wDataCounter,"
    "wCollisionCheckLastIndex,wCollisionRawAccMax,wCollisionRawAccMaxIndex,"
    "wRollCompensation,wPitchCompensation,result";
}  // namespace

const char *stateHeader() {
    return kHeader;
}

const char *engineName() {
    return FallDetectorGetVersionInfo();
}

bool isVariantEngine() {
    return false;
}

std::size_t formatState(const FALL_DETECTOR &d, const FALL_DETECTOR_SENSOR_DATA &in, int result,
                        char *buf) {
    const MAX_JUMP_DATA &j = d.MaxJumpData;
    const FALL_HISTORY &h = d.FallHistory;
    const int64_t fields[] = {
        in.accX,
        in.accY,
        in.accZ,
        in.gyroX,
        in.gyroY,
        in.gyroZ,
        d.raw_acc,
        d.lpf_acc,
        d.raw_gyro,
        d.lpf_gyro,
        d.fall_avg,
        d.omega_avg,
        d.roll,
        d.pitch,
        d.yaw,
        d.stand_state,
        d.check_count,
        d.over_count2,
        j.wIndex,
        j.wValue,
        j.wOverCount,
        j.wJumpAccSum,
        j.wJumpStartIndex,
        j.wLastSetValue,
        h.wHighFallCounter,
        h.wLowFallCounter,
        h.wLowOverCounter,
        h.wLpfAcc5Hz,
        h.wHighFallStartIndex,
        h.wHighFallLastIndex,
        h.wHighFallLastCounter,
        h.wVerticalVelocity,
        h.wBendDownCounter,
        d.wTurnFallCounter,
        h.wIndex,
        d.wFallDataIndex,
        d.wDataCounter,
        d.wCollisionCheckLastIndex,
        d.wCollisionRawAccMax,
        d.wCollisionRawAccMaxIndex,
        d.wRollCompensation,
        d.wPitchCompensation,
        result,
    };
    return putFields(fields, sizeof(fields) / sizeof(fields[0]), buf);
}

}  // namespace fall_replay
