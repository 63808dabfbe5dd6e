#pragma once
// Motions both catalogues use (Streams.cpp for the device engine, VariantStreams.cpp for the
// data-logging variant): the quiet ones, the near misses and the falls they share. Each starts
// with a still, upright wearer (kLeadIn), performs one motion and ends lying or standing still.
#include "StreamBuilder.h"

namespace fall_synth {
namespace motion {

using namespace build;

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

// A drop with little rotation (e.g. through a floor opening), ~0.6 s of free fall.
constexpr Segment kFreeFall[] = {
    Seg(kLeadIn),
    Seg(40).up(flat(0.02f)).rx(flat(8)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// Falling while rotating fast (tripping and pitching forward), little pre-motion.
constexpr Segment kSpinningFall[] = {
    Seg(kLeadIn),
    Seg(10).rx(ramp(0, -250)).up(ramp(1, 0.3f)),
    Seg(30).rx(flat(-250)).up(flat(0.05f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// A jump followed by a long drop (jumping down from a height).
constexpr Segment kJumpFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.3f)),  // push-off
    Seg(45).up(flat(0.02f)).rx(flat(6)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// A jump, then a rotating drop.
constexpr Segment kJumpSpinningFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.3f)),
    Seg(10).rx(ramp(0, -250)).up(ramp(1, 0.3f)),
    Seg(30).rx(flat(-250)).up(flat(0.05f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// Tumbling with sustained high acceleration and rotation (e.g. rolling down a slope).
constexpr Segment kTurningFall[] = {
    Seg(kLeadIn),
    Seg(10).rz(ramp(0, 250)).up(ramp(1, 1.8f)),
    Seg(40).rz(flat(250)).up(flat(1.8f)),
    Seg(20).rz(ramp(250, 0)).up(ramp(1.8f, 1)),
    Seg(200),
};

// Toppling sideways, a drop while turning on, a softer landing lying on the side.
constexpr Segment kSoftImpactTilted[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 110)),              // tipping sideways, ~45 degrees
    Seg(14).up(flat(0.05f)).rz(flat(90)),  // drop, turning to ~70 degrees
    Seg(2).up(ramp(0.05f, 4.6f)),
    Seg(3).up(flat(4.6f)),  // soft ground
    Seg(3).up(ramp(4.6f, 1)),
    Seg(200),
};

// Falling down stairs, already off balance sideways: a drop, a hit on a step, a short
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

// A tumbling drop with very fast rotation.
constexpr Segment kTumblingFall[] = {
    Seg(kLeadIn),
    Seg(8).rx(ramp(0, -500)).up(ramp(1, 0.2f)),
    Seg(35).rx(flat(-500)).up(flat(0.02f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

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

}  // namespace motion
}  // namespace fall_synth
