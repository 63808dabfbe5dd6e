// The catalogue of named streams. Each starts with a still, upright wearer for long enough to
// pass the engine's warm-up and its start-up posture learning, then performs one motion and
// ends lying or standing still.
#include "Motions.h"

namespace fall_synth {
namespace {

using namespace motion;

// --- falls ---------------------------------------------------------------------------------

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

// No stream gives type 9 (a phase of CONTINUE_COUNT + 18 confirming samples): with the
// default configuration it needs 38 confirming samples, but the confirming count is the phase
// counter, which stops growing at 30.

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
    return countOf(kStreams);
}

const StreamDef &stream(std::size_t index) {
    return kStreams[index];
}

const StreamDef *findStream(const char *name) {
    return findIn(kStreams, name);
}

}  // namespace fall_synth
