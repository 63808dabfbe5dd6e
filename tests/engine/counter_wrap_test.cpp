#include <gtest/gtest.h>

#include <vector>

#include "engine_test_support.h"
#include "fall_synth/Run.h"

namespace {

constexpr int32_t kLastPlainCount = INT32_MAX - 1;
constexpr int32_t kLeadIn = 120;  // the streams' quiet start, warm-up and posture learning included

// A wearer who has stood still for about 497 days falls: the count reaches its limit before,
// during or after the fall, and every decision comes as it does a minute after switching on.
TEST(CounterWrap, FallsAcrossTheWrapDecideAsWithoutIt) {
    const char *streams[] = {"jump_fall",           "hard_impact",        "collision_fall",
                             "long_collision_fall", "soft_impact_tilted", "turning_fall"};
    for (const char *name : streams) {
        std::vector<FALL_DETECTOR_SENSOR_DATA> in;
        fall_synth::Generator gen(*fall_synth::findStream(name));
        for (fall_synth::Sample s; gen.next(s);) in.push_back(fall_synth::toEngine(s));
        DetectorUnderTest ref;
        std::vector<int> want;
        for (const auto &s : in) want.push_back(FallDetectorWork(&ref.d, &s));

        for (int32_t before = 0; before < 100; ++before) {  // samples left before the limit
            DetectorUnderTest t;
            for (int32_t i = 0; i < kLeadIn; ++i) FallDetectorWork(&t.d, &in[i]);
            t.d.wDataCounter = kLastPlainCount - before;
            for (std::size_t i = kLeadIn; i < in.size(); ++i) {
                const int32_t count = t.d.wDataCounter;
                ASSERT_EQ(FallDetectorWork(&t.d, &in[i]), want[i])
                    << name << ", sample " << i << ", wrap " << before
                    << " samples after the start";
                // A plain count up to 2^31 - 2, then on from 2^30 - 1: never near the warm-up.
                ASSERT_EQ(t.d.wDataCounter, count == kLastPlainCount ? (1 << 30) - 1 : count + 1);
            }
        }
    }
}

}  // namespace
