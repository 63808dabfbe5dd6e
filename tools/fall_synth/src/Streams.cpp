// The catalogue of named streams. Each starts with a still, upright wearer for long enough to
// pass the engine's warm-up and its start-up posture learning, then performs one motion and
// ends lying or standing still.
#include <cstring>

#include "fall_synth/Synth.h"

namespace fall_synth {
namespace {

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

// --- quiet streams -------------------------------------------------------------------------

constexpr Segment kStanding[] = {
    Seg(kLeadIn),
    Seg(1500).rx(wave(0, 2)).rz(wave(0, 1.5f)).up(wave(1, 0.01f)).period(200),
};

// Walking at two steps per second: vertical bounce of +-0.25 g, forward sway, body rocking.
constexpr Segment kWalking[] = {
    Seg(kLeadIn),
    Seg(25).up(ramp(1, 1.05f)).fwd(ramp(0, 0.1f)),
    Seg(1000)
        .up(wave(1, 0.25f))
        .fwd(wave(0, 0.1f))
        .rx(wave(0, 12))
        .rz(wave(0, 6))
        .ry(wave(0, 15))
        .period(25),
    Seg(50),
};

// Sitting down: lean forward, lower with a short reduced-gravity dip, land on the seat, lean
// back against the backrest and sit still.
constexpr Segment kSittingDown[] = {
    Seg(kLeadIn),
    Seg(30).rx(bell(0, -45)),                    // lean forward ~27 degrees
    Seg(25).up(bell(1, 0.75f)).rx(bell(0, 20)),  // lower
    Seg(10).up(bell(1, 1.6f)),                   // land on the seat
    Seg(40).rx(bell(0, 50)),                     // straighten and lean back
    Seg(400),
};

// Lying down on a bed: sit, then roll back slowly to horizontal.
constexpr Segment kLyingDown[] = {
    Seg(kLeadIn),
    Seg(30).rx(bell(0, -45)),
    Seg(25).up(bell(1, 0.8f)).rx(bell(0, 20)),
    Seg(10).up(bell(1, 1.4f)),
    Seg(150).rx(bell(0, 60)),  // back down to the mattress, ~90 degrees
    Seg(15).up(bell(1, 1.2f)),
    Seg(400),
};

// --- falls ---------------------------------------------------------------------------------

// Type 1: a drop with little rotation (e.g. through a floor opening), ~0.6 s of free fall.
constexpr Segment kFreeFall[] = {
    Seg(kLeadIn),
    Seg(40).up(flat(0.02f)).rx(flat(8)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// Type 2: falling while rotating fast (tripping and pitching forward), little pre-motion.
constexpr Segment kSpinningFall[] = {
    Seg(kLeadIn),
    Seg(10).rx(ramp(0, -250)).up(ramp(1, 0.3f)),
    Seg(30).rx(flat(-250)).up(flat(0.05f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// Type 3: a jump followed by a long drop (jumping down from a height).
constexpr Segment kJumpFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.3f)),  // push-off
    Seg(45).up(flat(0.02f)).rx(flat(6)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// Type 4: a jump, then a rotating drop.
constexpr Segment kJumpSpinningFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.3f)),
    Seg(10).rx(ramp(0, -250)).up(ramp(1, 0.3f)),
    Seg(30).rx(flat(-250)).up(flat(0.05f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// Type 5: tumbling with sustained high acceleration and rotation (e.g. rolling down a slope).
constexpr Segment kTurningFall[] = {
    Seg(kLeadIn),
    Seg(10).rz(ramp(0, 250)).up(ramp(1, 1.8f)),
    Seg(40).rz(flat(250)).up(flat(1.8f)),
    Seg(20).rz(ramp(250, 0)).up(ramp(1.8f, 1)),
    Seg(200),
};

// Type 6: losing balance sideways, a short drop and a hard landing on the hip and shoulder.
constexpr Segment kHardImpact[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 100)),              // tipping sideways, ~40 degrees
    Seg(14).up(flat(0.03f)).rz(flat(60)),  // drop, still turning
    Seg(2).up(ramp(0.03f, 8)),
    Seg(3).up(flat(8)),  // hard floor: 8 g, clipped by the sensor
    Seg(3).up(ramp(8, 1)),
    Seg(200),
};

// Type 16: toppling sideways, a drop while turning on, a softer landing lying on the side.
constexpr Segment kSoftImpactTilted[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 110)),              // tipping sideways, ~45 degrees
    Seg(14).up(flat(0.05f)).rz(flat(90)),  // drop, turning to ~70 degrees
    Seg(2).up(ramp(0.05f, 4.6f)),
    Seg(3).up(flat(4.6f)),  // soft ground
    Seg(3).up(ramp(4.6f, 1)),
    Seg(200),
};

// Type 7: falling down stairs, already off balance sideways: a drop, a hit on a step, a short
// stumble and a second drop.
constexpr Segment kCollisionFall[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 150)),  // off balance, ~60 degrees sideways
    Seg(12).up(flat(0.05f)),
    Seg(1).up(flat(2)),
    Seg(1).up(flat(4.3f)),  // hit on a step
    Seg(1).up(flat(2)),
    Seg(8).up(flat(1.0f)),
    Seg(14).up(flat(0.05f)),
    Seg(3).up(flat(4)),
    Seg(200),
};

// Type 8: upright drop, hit, second drop during which the body topples sideways.
constexpr Segment kLongCollisionFall[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 100)),  // leaning sideways, ~40 degrees
    Seg(15).up(flat(0.05f)),
    Seg(1).up(flat(2)),
    Seg(1).up(flat(4.3f)),
    Seg(1).up(flat(2)),
    Seg(8).up(flat(1.0f)),
    Seg(4).up(flat(0.05f)),
    Seg(12).up(flat(0.05f)).rz(flat(300)),
    Seg(3).up(flat(4)),
    Seg(200),
};

// Type 12: tumbling drop with very fast rotation.
constexpr Segment kTumblingFall[] = {
    Seg(kLeadIn),
    Seg(8).rx(ramp(0, -500)).up(ramp(1, 0.2f)),
    Seg(35).rx(flat(-500)).up(flat(0.02f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// --- near misses: everyday activities close to a fall ----------------------------------------

// Jumping down a 30 cm step: a small push-off, 0.25 s in the air, a 3 g landing taken in the
// knees while the trunk nods forward and back.
constexpr Segment kJumpDownStep[] = {
    Seg(kLeadIn),
    Seg(8).up(bell(1, 1.4f)),
    Seg(12).up(flat(0.05f)).rx(flat(-10)),
    Seg(8).up(bell(1, 3.2f)).rx(bell(0, 30)),
    Seg(20).up(bell(1, 0.8f)),
    Seg(200),
};

// Running at three steps per second for ten seconds: 0 to 2.2 g each stride (a short flight,
// then the stance), trunk leaning forward, rocking and twisting, then slowing to a stop.
constexpr Segment kRunning[] = {
    Seg(kLeadIn),
    Seg(25).rx(bell(0, -20)).up(ramp(1, 1.1f)).fwd(ramp(0, 0.2f)),  // lean ~5 degrees
    Seg(500)
        .up(wave(1.1f, 1.1f))
        .fwd(wave(0, 0.3f))
        .rx(wave(0, 25))
        .ry(wave(0, 35))
        .rz(wave(0, 12))
        .period(16.7f),
    Seg(50).up(wave(1, 0.3f)).rx(bell(0, 20)).fwd(ramp(0, -0.2f)).period(25),  // slowing down
    Seg(150),
};

// Sitting down hard: a short lean forward, dropping the last 20 cm onto a chair (0.3 s at
// 0.3 g), a 3.5 g landing, then leaning back against the backrest.
constexpr Segment kSittingDownHard[] = {
    Seg(kLeadIn),
    Seg(25).rx(bell(0, -40)),
    Seg(15).up(flat(0.3f)).rx(flat(10)),
    Seg(6).up(bell(1, 3.5f)),
    Seg(40).rx(bell(0, 45)),
    Seg(300),
};

// Bending quickly to pick something up from the floor: the trunk swings forward about 80
// degrees in one second (peak 160 degrees per second), stays down for a second, straightens up.
constexpr Segment kBendingDown[] = {
    Seg(kLeadIn), Seg(50).rx(bell(0, -160)).up(bell(1, 0.85f)),
    Seg(50),      Seg(60).rx(bell(0, 135)).up(bell(1, 1.15f)),
    Seg(200),
};

// Stumbling and catching oneself: the foot catches, the trunk pitches forward 20 degrees with
// the support partly lost (0.5 g for 0.16 s), a hard catching step at 2.4 g, back upright.
constexpr Segment kStumble[] = {
    Seg(kLeadIn),
    Seg(15).rx(bell(0, -160)).up(bell(1, 0.7f)),
    Seg(8).up(flat(0.5f)).rx(flat(-30)),
    Seg(6).up(bell(1, 2.4f)).rx(bell(0, 60)),
    Seg(25).rx(bell(0, 70)).up(wave(1, 0.2f)).period(12),
    Seg(200),
};

// No stream gives type 9 (a phase of CONTINUE_COUNT + 18 confirming samples): with the
// default configuration it needs 38 confirming samples, but the confirming count is the phase
// counter, which stops growing at 30.

#define STREAM(name, desc, type, seed, an, gn, segs) \
    { name, desc, type, seed, an, gn, segs, static_cast<uint16_t>(sizeof(segs) / sizeof(segs[0])) }

constexpr StreamDef kStreams[] = {
    STREAM("standing", "standing still with slight sway", 0, 11, 40, 20, kStanding),
    STREAM("walking", "walking at two steps per second", 0, 12, 60, 40, kWalking),
    STREAM("sitting_down", "sitting down on a chair", 0, 13, 40, 20, kSittingDown),
    STREAM("lying_down", "sitting down, then lying back", 0, 14, 40, 20, kLyingDown),
    STREAM("free_fall", "drop with little rotation", 1, 21, 40, 20, kFreeFall),
    STREAM("spinning_fall", "falling while rotating", 2, 22, 40, 20, kSpinningFall),
    STREAM("jump_fall", "jump, then a long drop", 3, 23, 40, 20, kJumpFall),
    STREAM("jump_spinning_fall", "jump, then a rotating drop", 4, 24, 40, 20, kJumpSpinningFall),
    STREAM("turning_fall", "sustained rotation under high load", 5, 25, 40, 20, kTurningFall),
    STREAM("hard_impact", "short fall with a hard impact", 6, 26, 40, 20, kHardImpact),
    STREAM("collision_fall", "drop, hit, second drop", 7, 27, 40, 20, kCollisionFall),
    STREAM("long_collision_fall", "upright drop, hit, toppling drop", 8, 28, 40, 20,
           kLongCollisionFall),
    STREAM("tumbling_fall", "drop with very fast rotation", 12, 29, 40, 20, kTumblingFall),
    STREAM("soft_impact_tilted", "backward fall, softer impact lying", 16, 30, 40, 20,
           kSoftImpactTilted),
    STREAM("jump_down_step", "jumping down a 30 cm step", kNearMiss, 31, 40, 20, kJumpDownStep),
    STREAM("running", "running, three steps per second", kNearMiss, 32, 60, 40, kRunning),
    STREAM("sitting_down_hard", "dropping onto a chair", kNearMiss, 33, 40, 20, kSittingDownHard),
    STREAM("bending_down", "bending quickly to pick something up", kNearMiss, 34, 40, 20,
           kBendingDown),
    STREAM("stumble", "stumbling and catching oneself", kNearMiss, 35, 40, 20, kStumble),
};

}  // namespace

std::size_t streamCount() {
    return sizeof(kStreams) / sizeof(kStreams[0]);
}

const StreamDef &stream(std::size_t index) {
    return kStreams[index];
}

const StreamDef *findStream(const char *name) {
    for (const StreamDef &s : kStreams) {
        if (std::strcmp(s.name, name) == 0)
            return &s;
    }
    return nullptr;
}

}  // namespace fall_synth
