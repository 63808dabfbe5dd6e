// The generator must be physically consistent (gravity turns with the body, free fall reads
// zero) and bit-for-bit deterministic, since host and target compare hashes of its streams.
#include <gtest/gtest.h>

#include <cmath>
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

TEST(SynthGenerator, GravityTurnsWithTheBodyFreeFallReadsZeroAndImpactsSaturate) {
    // 90 degrees per second about the forward axis for one second, then for three more; then
    // free fall, a 9 g impact and a spin of 3000 degrees per second.
    const Segment segs[] = {segment(50, 0, 0, 90, 1),  segment(1, 0, 0, 0, 1),
                            segment(150, 0, 0, 90, 1), segment(1, 0, 0, 0, 1),
                            segment(5, 0, 0, 0, 0),    segment(2, 0, 0, 0, 9),
                            segment(1, 0, 0, 3000, 1)};
    const StreamDef def{"t", "", 0, 0, 0, 0, segs, 7};
    const std::vector<Sample> v = generate(def);
    ASSERT_EQ(v.size(), 210u);
    for (int i = 0; i < 202; ++i) EXPECT_NEAR(accNorm(v[i]), 8192.0, 2.0) << i;
    EXPECT_EQ(v[0].gz, 5898);  // 90 * 65.536, rounded
    // After a quarter turn gravity lies along X; after a full turn it is back on Y.
    EXPECT_NEAR(std::abs(v[50].ax), 8192, 4);
    EXPECT_NEAR(v[50].ay, 0, 4);
    EXPECT_NEAR(v[201].ax, 0, 4);
    EXPECT_NEAR(v[201].ay, -8192, 4);
    EXPECT_EQ(v[201].az, 0);
    for (int i = 202; i < 207; ++i) EXPECT_EQ(accNorm(v[i]), 0.0) << i;
    EXPECT_EQ(v[207].ay, -32768);  // -9 g clipped to the sensor's range
    EXPECT_EQ(v[209].gz, 32767);   // 3000 deg/s clipped
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
    }
}

}  // namespace
