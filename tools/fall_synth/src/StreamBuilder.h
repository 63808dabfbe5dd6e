#pragma once
// Building blocks of the stream catalogues (Streams.cpp for the device engine,
// VariantStreams.cpp for the data-logging variant).
#include <cstddef>
#include <cstring>

#include "fall_synth/Synth.h"

namespace fall_synth {
namespace build {

constexpr Profile flat(float v) {
    return {Shape::Flat, v, 0.0f};
}
constexpr Profile ramp(float from, float to) {
    return {Shape::Ramp, from, to};
}
constexpr Profile bell(float base, float peak) {
    return {Shape::Bell, base, peak};
}
constexpr Profile wave(float mid, float amplitude) {
    return {Shape::Wave, mid, amplitude};
}

// Segment builder: still and upright unless told otherwise.
struct Seg {
    Segment s;
    constexpr explicit Seg(uint16_t n)
        : s{n, 0.0f, {flat(0), flat(0), flat(0)}, flat(1), flat(0)} {}
    constexpr Seg &rx(Profile p) { return s.rate[0] = p, *this; }
    constexpr Seg &ry(Profile p) { return s.rate[1] = p, *this; }
    constexpr Seg &rz(Profile p) { return s.rate[2] = p, *this; }
    constexpr Seg &up(Profile p) { return s.up = p, *this; }
    constexpr Seg &fwd(Profile p) { return s.fwd = p, *this; }
    constexpr Seg &period(float samples) { return s.period = samples, *this; }
    constexpr operator Segment() const { return s; }
};

// 2.4 s of quiet standing: warm-up (0.8 s) and start-up posture learning (samples 50 to 59).
constexpr uint16_t kLeadIn = 120;

template <std::size_t N>
constexpr std::size_t countOf(const StreamDef (&)[N]) {
    return N;
}

template <std::size_t N>
const StreamDef *findIn(const StreamDef (&streams)[N], const char *name) {
    for (const StreamDef &s : streams) {
        if (std::strcmp(s.name, name) == 0)
            return &s;
    }
    return nullptr;
}

}  // namespace build
}  // namespace fall_synth

// One catalogue entry; the segment count comes from the array.
#define STREAM(name, desc, type, seed, an, gn, segs) \
    { name, desc, type, seed, an, gn, segs, static_cast<uint16_t>(sizeof(segs) / sizeof(segs[0])) }
