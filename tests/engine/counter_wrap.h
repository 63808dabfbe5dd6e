#pragma once
// The sample count's wrap, checked the same way for both engines (each test program builds this
// against its own engine and stream catalogue): a wearer who has stood still for about 497 days
// falls, the count reaches its limit before, during or after the fall, and every decision must
// come as it does a minute after switching on.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "FallDetector.h"
#include "fall_synth/Run.h"

inline void ExpectFallsAcrossTheWrapToDecideAsWithoutIt(
    std::initializer_list<const char *> streams) {
    constexpr int32_t kLastPlainCount = INT32_MAX - 1;
    constexpr int32_t kLeadIn = 120;  // the streams' quiet start, warm-up and posture learning
    FALL_DETECTOR_CFG cfg;
    FallDetectorSetDefaultConfig(&cfg);
    for (const char *name : streams) {
        std::vector<FALL_DETECTOR_SENSOR_DATA> in;
        fall_synth::Generator gen(*fall_synth::findStream(name));
        for (fall_synth::Sample s; gen.next(s);) in.push_back(fall_synth::toEngine(s));
        FALL_DETECTOR d;
        FallDetectorSet(&d, &cfg);
        std::vector<int> want;
        for (const auto &s : in) want.push_back(FallDetectorWork(&d, &s));

        for (int32_t before = 0; before < 100; ++before) {  // samples left before the limit
            FallDetectorSet(&d, &cfg);
            for (int32_t i = 0; i < kLeadIn; ++i) FallDetectorWork(&d, &in[i]);
            d.wDataCounter = kLastPlainCount - before;
            for (std::size_t i = kLeadIn; i < in.size(); ++i) {
                const int32_t count = d.wDataCounter;
                ASSERT_EQ(FallDetectorWork(&d, &in[i]), want[i])
                    << name << ", sample " << i << ", wrap " << before
                    << " samples after the start";
                // A plain count up to 2^31 - 2, then on from 2^30 - 1: never near the warm-up.
                ASSERT_EQ(d.wDataCounter, count == kLastPlainCount ? (1 << 30) - 1 : count + 1);
            }
        }
    }
}
