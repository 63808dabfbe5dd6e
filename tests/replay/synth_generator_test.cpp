// The generator must be physically consistent (gravity turns with the body, free fall reads
// zero) and bit-for-bit deterministic, since host and target compare hashes of its streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fall_synth/Synth.h"

namespace {

using fall_synth::Generator;
using fall_synth::Profile;
using fall_synth::Sample;
using fall_synth::Segment;
using fall_synth::Shape;
using fall_synth::StreamDef;

constexpr Profile kZero{Shape::Flat, 0, 0};
constexpr Profile kOneG{Shape::Flat, 1, 0};

Segment segment(uint16_t n, float rx, float ry, float rz, float up) {
    return Segment{n,
                   0,
                   {{Shape::Flat, rx, 0}, {Shape::Flat, ry, 0}, {Shape::Flat, rz, 0}},
                   {Shape::Flat, up, 0},
                   kZero};
}

std::vector<Sample> generate(const StreamDef &def) {
    std::vector<Sample> out;
    Generator g(def);
    Sample s;
    while (g.next(s)) out.push_back(s);
    return out;
}

double accNorm(const Sample &s) {
    return std::sqrt(double(s.ax) * s.ax + double(s.ay) * s.ay + double(s.az) * s.az);
}

TEST(SynthGenerator, StillUprightWearerReadsMinusOneGOnY) {
    const Segment segs[] = {segment(10, 0, 0, 0, 1)};
    const StreamDef def{"t", "", 0, 0, 0, 0, segs, 1};
    for (const Sample &s : generate(def)) {
        EXPECT_EQ(s.ax, 0);
        EXPECT_EQ(s.ay, -8192);
        EXPECT_EQ(s.az, 0);
        EXPECT_EQ(s.gx, 0);
        EXPECT_EQ(s.gy, 0);
        EXPECT_EQ(s.gz, 0);
    }
}

TEST(SynthGenerator, GravityTurnsWithTheBodyAndKeepsItsMagnitude) {
    // 90 degrees per second about the forward axis for one second, then for three more.
    const Segment segs[] = {segment(50, 0, 0, 90, 1), segment(1, 0, 0, 0, 1),
                            segment(150, 0, 0, 90, 1), segment(1, 0, 0, 0, 1)};
    const StreamDef def{"t", "", 0, 0, 0, 0, segs, 4};
    const std::vector<Sample> v = generate(def);
    ASSERT_EQ(v.size(), 202u);
    for (const Sample &s : v) EXPECT_NEAR(accNorm(s), 8192.0, 2.0);
    EXPECT_EQ(v[0].gz, 5898);  // 90 * 65.536, rounded
    // After a quarter turn gravity lies along X; after a full turn it is back on Y.
    EXPECT_NEAR(std::abs(v[50].ax), 8192, 4);
    EXPECT_NEAR(v[50].ay, 0, 4);
    EXPECT_NEAR(v[201].ax, 0, 4);
    EXPECT_NEAR(v[201].ay, -8192, 4);
    EXPECT_EQ(v[201].az, 0);
}

TEST(SynthGenerator, BackwardAndForwardTiltsMoveGravityOntoOppositeSidesOfZ) {
    const Segment back[] = {segment(25, 90, 0, 0, 1), segment(1, 0, 0, 0, 1)};
    const Segment fwd[] = {segment(25, -90, 0, 0, 1), segment(1, 0, 0, 0, 1)};
    const StreamDef b{"b", "", 0, 0, 0, 0, back, 2};
    const StreamDef f{"f", "", 0, 0, 0, 0, fwd, 2};
    const Sample sb = generate(b).back();
    const Sample sf = generate(f).back();
    EXPECT_NEAR(std::abs(sb.az), 5793, 4);  // 45 degrees: 8192 / sqrt(2)
    EXPECT_EQ(sb.az, -sf.az);
    EXPECT_EQ(sb.ay, sf.ay);
}

TEST(SynthGenerator, FreeFallReadsZeroAndImpactsSaturateAtFullScale) {
    const Segment segs[] = {segment(5, 0, 0, 0, 0), segment(2, 0, 0, 0, 9),
                            segment(1, 0, 0, 3000, 1)};
    const StreamDef def{"t", "", 0, 0, 0, 0, segs, 3};
    const std::vector<Sample> v = generate(def);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(accNorm(v[i]), 0.0);
    EXPECT_EQ(v[5].ay, -32768);  // -9 g clipped to the sensor's range
    EXPECT_EQ(v[7].gz, 32767);   // 3000 deg/s clipped
}

TEST(SynthGenerator, NoiseIsBoundedSeededAndRepeatable) {
    const Segment segs[] = {segment(500, 0, 0, 0, 1)};
    const StreamDef a{"a", "", 0, 7, 40, 20, segs, 1};
    const StreamDef b{"b", "", 0, 8, 40, 20, segs, 1};
    const std::vector<Sample> va = generate(a), va2 = generate(a), vb = generate(b);
    int differ = 0, extremes = 0;
    for (std::size_t i = 0; i < va.size(); ++i) {
        EXPECT_EQ(std::memcmp(&va[i], &va2[i], sizeof(Sample)), 0);
        EXPECT_LE(std::abs(va[i].ax), 40);
        EXPECT_LE(std::abs(va[i].ay + 8192), 40);
        EXPECT_LE(std::abs(va[i].gx), 20);
        differ += std::memcmp(&va[i], &vb[i], sizeof(Sample)) != 0;
        extremes += std::abs(va[i].ax) == 40;
    }
    EXPECT_GT(differ, 490);
    EXPECT_GT(extremes, 0);  // the whole range is used
}

TEST(SynthGenerator, ShapesRampPulseAndWave) {
    // A ramp reaches its end value, a bell returns to its base, a wave oscillates around its
    // middle with the given amplitude and period.
    const Segment segs[] = {
        Segment{20, 0, {kZero, kZero, {Shape::Ramp, 0, 100}}, kOneG, kZero},
        Segment{21, 0, {kZero, kZero, {Shape::Bell, 0, 100}}, kOneG, kZero},
        Segment{40, 20, {kZero, kZero, {Shape::Wave, 10, 50}}, kOneG, kZero},
    };
    const StreamDef def{"t", "", 0, 0, 0, 0, segs, 3};
    const std::vector<Sample> v = generate(def);
    ASSERT_EQ(v.size(), 81u);
    EXPECT_LT(v[0].gz, 66);          // starts near 0 deg/s
    EXPECT_GT(v[19].gz, 6554 - 66);  // ends near 100 deg/s
    EXPECT_GT(v[30].gz, 6554 - 10);  // bell peak in the middle
    EXPECT_LT(v[20].gz, 200);
    EXPECT_LT(v[40].gz, 200);
    int maxW = -100000, minW = 100000;
    for (int i = 41; i < 81; ++i) {
        maxW = std::max<int>(maxW, v[i].gz);
        minW = std::min<int>(minW, v[i].gz);
    }
    EXPECT_NEAR(maxW, 60 * 65.536, 40);
    EXPECT_NEAR(minW, -40 * 65.536, 40);
    EXPECT_EQ(v[41].gz, v[61].gz);  // period of 20 samples
}

TEST(SynthGenerator, HelpersRoundSaturateAndStayInRange) {
    using namespace fall_synth::detail;
    EXPECT_EQ(toCounts(0.5), 1);
    EXPECT_EQ(toCounts(-0.5), -1);
    EXPECT_EQ(toCounts(0.49), 0);
    EXPECT_EQ(toCounts(-1.5), -2);
    EXPECT_EQ(toCounts(40000.0), 32767);
    EXPECT_EQ(toCounts(-40000.0), -32768);
    EXPECT_EQ(toCounts(-32767.6), -32768);
    EXPECT_EQ(smoothStep(-1), 0.0);
    EXPECT_EQ(smoothStep(0.5), 0.5);
    EXPECT_EQ(smoothStep(2), 1.0);
    EXPECT_EQ(wave(0.25), 1.0);
    EXPECT_EQ(wave(0.75), -1.0);
    EXPECT_EQ(wave(1.25), 1.0);
    EXPECT_EQ(wave(0.5), 0.0);
    uint32_t st = 1;
    const uint32_t first = xorshift32(st);
    EXPECT_EQ(first, 270369u);  // the published xorshift32 sequence from state 1
}

TEST(SynthGenerator, CatalogueStreamsHaveTheirAdvertisedLengthAndStartStill) {
    for (std::size_t i = 0; i < fall_synth::streamCount(); ++i) {
        const StreamDef &d = fall_synth::stream(i);
        const std::vector<Sample> v = generate(d);
        EXPECT_EQ(v.size(), fall_synth::totalSamples(d)) << d.name;
        ASSERT_GE(v.size(), 100u);
        // The first two seconds are a still, upright wearer (noise only).
        for (int k = 0; k < 100; ++k) {
            EXPECT_NEAR(accNorm(v[k]), 8192.0, 100.0) << d.name << " sample " << k;
        }
        EXPECT_EQ(fall_synth::findStream(d.name), &d);
    }
    EXPECT_EQ(fall_synth::findStream("no_such_stream"), nullptr);
}

}  // namespace
