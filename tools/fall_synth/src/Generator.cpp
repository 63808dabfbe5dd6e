#include "fall_synth/Synth.h"

namespace fall_synth {
namespace detail {

double smoothStep(double t) {
    if (t <= 0.0)
        return 0.0;
    if (t >= 1.0)
        return 1.0;
    return t * t * (3.0 - 2.0 * t);
}

// Two parabolic arcs per period: close to a sine (within 6 %), exact at 0, 1/4, 1/2, 3/4.
double wave(double phase) {
    double p = phase - static_cast<double>(static_cast<int64_t>(phase));
    if (p < 0.0)
        p += 1.0;
    if (p < 0.5) {
        double s = 2.0 * p;
        return 4.0 * s * (1.0 - s);
    }
    double s = 2.0 * p - 1.0;
    return -4.0 * s * (1.0 - s);
}

int16_t toCounts(double v) {
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    // Truncating casts are exact and portable; this rounds half away from zero.
    if (v >= 0.0)
        return static_cast<int16_t>(static_cast<int32_t>(v + 0.5));
    return static_cast<int16_t>(-static_cast<int32_t>(-v + 0.5));
}

uint32_t xorshift32(uint32_t &state) {
    uint32_t x = state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    state = x;
    return x;
}

}  // namespace detail

namespace {
constexpr double kSamplePeriod = 0.02;
constexpr int kSubSteps = 8;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kAccCounts = 8192.0;
constexpr double kGyroCounts = 65.536;

int16_t noise(uint32_t &rng, uint16_t peak) {
    if (peak == 0)
        return 0;
    uint32_t span = 2u * peak + 1u;
    return static_cast<int16_t>(static_cast<int32_t>(detail::xorshift32(rng) % span) - peak);
}

int16_t addSaturated(int16_t a, int16_t b) {
    int32_t s = static_cast<int32_t>(a) + b;
    if (s > 32767)
        s = 32767;
    if (s < -32768)
        s = -32768;
    return static_cast<int16_t>(s);
}
}  // namespace

uint32_t totalSamples(const StreamDef &def) {
    uint32_t n = 0;
    for (uint16_t i = 0; i < def.segmentCount; ++i) n += def.segments[i].samples;
    return n;
}

Generator::Generator(const StreamDef &def)
    : def_(&def), seg_(0), inSeg_(0), produced_(0), rng_(def.seed ? def.seed : 1u), q_{}, rate_{} {
    // Upright wearer, world frame x forward, y left, z up: the sensor's X axis points to the
    // wearer's right (-y), Y toward the feet (-z), Z out of the chest (+x). Standing still the
    // accelerometer reads (0, -1 g, 0). Falling forward is a negative rate about X, falling
    // backward a positive one; a sideways fall turns about Z, turning on the spot about Y.
    q_[0] = 0.5;
    q_[1] = -0.5;
    q_[2] = 0.5;
    q_[3] = -0.5;
}

double Generator::value(const Profile &p, double t) const {
    switch (p.shape) {
        case Shape::Flat:
            return p.a;
        case Shape::Ramp:
            return p.a + (p.b - p.a) * detail::smoothStep(t);
        case Shape::Bell: {
            double s = detail::smoothStep(t < 0.5 ? 2.0 * t : 2.0 - 2.0 * t);
            return p.a + (p.b - p.a) * s;
        }
        case Shape::Wave: {
            const Segment &s = def_->segments[seg_];
            double phase = s.period > 0.0f ? (inSeg_ + 0.5) / s.period : 0.0;
            return p.a + p.b * detail::wave(phase);
        }
    }
    return p.a;
}

// First-order quaternion step with the body rate, renormalised; exact enough at 400 Hz and,
// more importantly, free of transcendental functions.
void Generator::advance(double dt) {
    double hx = rate_[0] * kDegToRad * dt * 0.5;
    double hy = rate_[1] * kDegToRad * dt * 0.5;
    double hz = rate_[2] * kDegToRad * dt * 0.5;
    const double w = q_[0], x = q_[1], y = q_[2], z = q_[3];
    // q * (1, h)
    double nw = w - x * hx - y * hy - z * hz;
    double nx = x + w * hx + y * hz - z * hy;
    double ny = y + w * hy + z * hx - x * hz;
    double nz = z + w * hz + x * hy - y * hx;
    double n = __builtin_sqrt(nw * nw + nx * nx + ny * ny + nz * nz);
    q_[0] = nw / n;
    q_[1] = nx / n;
    q_[2] = ny / n;
    q_[3] = nz / n;
}

bool Generator::next(Sample &out) {
    while (seg_ < def_->segmentCount && inSeg_ >= def_->segments[seg_].samples) {
        ++seg_;
        inSeg_ = 0;
    }
    if (seg_ >= def_->segmentCount)
        return false;
    const Segment &s = def_->segments[seg_];
    const double t = (inSeg_ + 0.5) / s.samples;

    for (int i = 0; i < 3; ++i) rate_[i] = value(s.rate[i], t);
    const double fUp = value(s.up, t);
    const double fFwd = value(s.fwd, t);

    // Specific force in the sensor frame: R^T * (fFwd, 0, fUp), R from q (sensor to world).
    const double w = q_[0], x = q_[1], y = q_[2], z = q_[3];
    const double r00 = 1.0 - 2.0 * (y * y + z * z), r02 = 2.0 * (x * z + w * y);
    const double r20 = 2.0 * (x * z - w * y), r22 = 1.0 - 2.0 * (x * x + y * y);
    const double r01 = 2.0 * (x * y - w * z), r21 = 2.0 * (y * z + w * x);
    const double sx = r00 * fFwd + r20 * fUp;
    const double sy = r01 * fFwd + r21 * fUp;
    const double sz = r02 * fFwd + r22 * fUp;

    out.ax = addSaturated(detail::toCounts(sx * kAccCounts), noise(rng_, def_->accNoise));
    out.ay = addSaturated(detail::toCounts(sy * kAccCounts), noise(rng_, def_->accNoise));
    out.az = addSaturated(detail::toCounts(sz * kAccCounts), noise(rng_, def_->accNoise));
    out.gx = addSaturated(detail::toCounts(rate_[0] * kGyroCounts), noise(rng_, def_->gyroNoise));
    out.gy = addSaturated(detail::toCounts(rate_[1] * kGyroCounts), noise(rng_, def_->gyroNoise));
    out.gz = addSaturated(detail::toCounts(rate_[2] * kGyroCounts), noise(rng_, def_->gyroNoise));

    for (int i = 0; i < kSubSteps; ++i) advance(kSamplePeriod / kSubSteps);
    ++inSeg_;
    ++produced_;
    return true;
}

}  // namespace fall_synth
