#pragma once
// Deterministic synthetic motion streams for the fall detection engine.
//
// A stream is a list of motion segments. Each segment prescribes, over its length, the body's
// angular rate (in the sensor frame) and the specific force the body feels (in the world frame:
// 1 g up when still, 0 in free fall, large during an impact). The generator integrates the
// orientation from the rates and projects the specific force into the sensor frame, so the
// accelerometer sees gravity turn with the body exactly as a worn sensor would.
//
// Only +, -, *, / and sqrt are used (all correctly rounded in IEEE arithmetic), plus a private
// PRNG, so a stream is bit-identical on every machine: the host and the Cortex-M4F produce the
// same samples. No heap: the generator is a small value type.
#include <cstddef>
#include <cstdint>

namespace fall_synth {

// Sensor units: 8192 counts per g, 65.536 counts per degree per second.
struct Sample {
    int16_t ax, ay, az, gx, gy, gz;
};

// How a segment's quantity moves from its first value `a` to its second value `b`.
enum class Shape : uint8_t {
    Flat,  // a throughout (b ignored)
    Ramp,  // smooth step from a to b
    Bell,  // a at both ends, b in the middle (a smooth pulse)
    Wave,  // a + b * periodic wave of `period` samples (walking, swaying)
};

struct Profile {
    Shape shape;
    float a;
    float b;
};

struct Segment {
    uint16_t samples;  // length at 50 samples per second
    float period;      // wave period in samples (Wave profiles only)
    Profile rate[3];   // body angular rate about sensor X, Y, Z, degrees per second
    Profile up;        // specific force along world up, g (1 = standing still)
    Profile fwd;       // specific force along world forward, g
};

struct StreamDef {
    const char *name;
    const char *description;
    int32_t intended;    // the result the motion is designed to produce first; 0 = none,
                         // kNearMiss = not prescribed (see below)
    uint32_t seed;       // noise seed; 0 means no noise
    uint16_t accNoise;   // peak accelerometer noise, counts
    uint16_t gyroNoise;  // peak gyroscope noise, counts
    const Segment *segments;
    uint16_t segmentCount;
};

// An everyday activity that comes close to a fall (jumping down a step, sitting down hard):
// the wearer survives it, and what the engine makes of it is recorded, not prescribed.
constexpr int32_t kNearMiss = -1;

// The catalogue of named streams.
std::size_t streamCount();
const StreamDef &stream(std::size_t index);
const StreamDef *findStream(const char *name);  // nullptr when unknown
uint32_t totalSamples(const StreamDef &def);

class Generator {
  public:
    explicit Generator(const StreamDef &def);
    // Writes the next sample; false once the stream has ended.
    bool next(Sample &out);
    uint32_t index() const { return produced_; }

  private:
    void advance(double dt);
    double value(const Profile &p, double t) const;

    const StreamDef *def_;
    uint16_t seg_;
    uint16_t inSeg_;
    uint32_t produced_;
    uint32_t rng_;
    double q_[4];  // orientation, sensor frame to world frame (w, x, y, z)
    double rate_[3];
};

// Pieces exposed for tests.
namespace detail {
double smoothStep(double t);  // 0..1 -> 0..1, zero slope at both ends
double wave(double phase);    // period 1, range -1..1, sine-like
int16_t toCounts(double v);   // round half away from zero, saturate to int16
uint32_t xorshift32(uint32_t &state);
}  // namespace detail

}  // namespace fall_synth
