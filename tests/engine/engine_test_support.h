#pragma once
// Shared set-up for the engine tests: a detector with the default configuration, and
// helpers to craft ring contents directly.
#include <cstdint>

#include "FallDetector.h"
#include "FallDetectorHelpers.h"
#include "FallDetectorOnFallDetected.h"

struct DetectorUnderTest {
    FALL_DETECTOR_CFG cfg;
    FALL_DETECTOR d;

    DetectorUnderTest() {
        FallDetectorSetDefaultConfig(&cfg);
        FallDetectorSet(&d, &cfg);
    }
    // Re-initialise after changing the configuration.
    void Reset() { FallDetectorSet(&d, &cfg); }
    void Restart(int32_t counter) {
        Reset();
        JumpTo(counter);
    }

    // Put the detector past warm-up at a given sample count.
    void JumpTo(int32_t counter) {
        d.wDataCounter = counter;
        d.wFallDataIndex = counter % FALL_DETECTOR_RING;
    }
    uint32_t &StandAgo(int32_t k) { return d.standCounter[FallDetectorSlotBefore(d.wFallDataIndex, k)]; }
    uint32_t &LowFallAgo(int32_t k) { return d.lowFallCounter[FallDetectorSlotBefore(d.wFallDataIndex, k)]; }
};
