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

char *putInt(char *p, int64_t v) {
    char tmp[24];
    int n = 0;
    // Work in the negative range so that INT64_MIN needs no special case.
    bool neg = v < 0;
    int64_t x = neg ? v : -v;
    do {
        tmp[n++] = static_cast<char>('0' - static_cast<int>(x % 10));
        x /= 10;
    } while (x != 0);
    if (neg)
        *p++ = '-';
    while (n > 0) *p++ = tmp[--n];
    return p;
}

char *putHex64(char *p, uint64_t v) {
    static const char kDigits[] = "0123456789abcdef";
    for (int shift = 60; shift >= 0; shift -= 4) *p++ = kDigits[(v >> shift) & 0xF];
    return p;
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
    char *p = buf;
    const std::size_t n = sizeof(fields) / sizeof(fields[0]);
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0)
            *p++ = ',';
        p = putInt(p, fields[i]);
    }
    *p = '\0';
    return static_cast<std::size_t>(p - buf);
}

void Hash64::add(const char *data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        h_ ^= static_cast<uint8_t>(data[i]);
        h_ *= 1099511628211ull;
    }
}

}  // namespace fall_replay
