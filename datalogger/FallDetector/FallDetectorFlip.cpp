// The flip tracker: the axis that carries gravity changes its sign (the body turns over),
// under load, and low magnitude follows; the longer and harder the flip and the longer the
// low magnitude after it, the larger the vertical-fall count.
#include <cstdlib>

#include "FallDetectorRules.h"

namespace {

// The axis with the largest absolute reading; ties go to Y before X and Z, X before Z.
int32_t DominantAxis(const int32_t r[3]) {
    int32_t axis = 1;
    int32_t largest = std::abs(r[1]);
    if (std::abs(r[0]) > largest) {
        axis = 0;
        largest = std::abs(r[0]);
    }
    if (std::abs(r[2]) > largest)
        axis = 2;
    return axis;
}

// Same sign as recorded; a recorded sign of 0 means non-negative so far.
bool KeepsSign(int32_t recorded, int32_t reading) {
    return recorded < 0 ? reading < 0 : reading >= 0;
}

}  // namespace

int32_t FallDetectorTrackFlip(FALL_DETECTOR *d, const FallDetectorCall *c) {
    const FALL_DETECTOR_CFG *cfg = &d->cfg;
    const int32_t r[3] = {c->sample->accX, c->sample->accY, c->sample->accZ};
    int32_t x = 0;
    switch (d->wFlipState) {
        case 0: {
            for (int i = 0; i < 3; ++i) {
                if (KeepsSign(d->axisSign[i], r[i])) {
                    ++d->axisRun[i];
                } else {
                    d->axisSign[i] = r[i] < 0 ? -1 : 1;
                    d->axisPrevRun[i] = d->axisRun[i];
                    d->axisRun[i] = 1;
                }
            }
            // A long run of one sign just broken on the dominant axis, under load.
            if (c->raw_acc >= 130 && c->raw_gyro <= 400) {
                const int32_t axis = DominantAxis(r);
                if (d->axisRun[axis] < 10 && d->axisPrevRun[axis] >= 30) {
                    d->wFlipAxis = axis;
                    d->wFlipAccSum += c->raw_acc + 100;
                    d->wFlipState = 1;
                }
            }
            break;
        }
        case 1:
            if (KeepsSign(d->axisSign[d->wFlipAxis], r[d->wFlipAxis]) && c->raw_acc >= 100 &&
                c->raw_gyro <= 400) {
                d->wFlipAccSum += c->raw_acc + 100;
            } else if (d->wFlipAccSum < 1700) {
                d->wFlipState = 0;  // too short or too soft to count
                d->wFlipAccSum = 0;
            } else {
                d->wFlipState = 2;
                d->wFlipLowCounter = 0;
                d->wFlipStartIndex = FallDetectorIndexAfter(d->wDataCounter, -1);
                d->wFlipAccSumDiv = d->wFlipAccSum / 100;
            }
            break;
        default: {
            const int32_t since = FallDetectorSamplesBetween(d->wFlipStartIndex, d->wDataCounter);
            if (c->raw_acc > cfg->FALL_START_G && c->lpf_acc > cfg->FALL_START_G) {
                d->wFlipLowCounter = 0;
                if (since > 20) {
                    d->wFlipAccSum = 0;
                    d->wFlipState = 0;
                }
            } else {
                // Low magnitude counts when it comes soon after the flip, and then on.
                if (d->wFlipLowCounter > 0 || since < 10)
                    ++d->wFlipLowCounter;
                if (d->wFlipLowCounter > 1)
                    x = d->wFlipLowCounter + d->wFlipAccSumDiv;
            }
            break;
        }
    }
    return x;
}
