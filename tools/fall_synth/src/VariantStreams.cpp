// The catalogue of the data-logging image's engine variant: a stream for every result the
// variant gives, the quiet motions and the near misses.
//
// Frame: the samples are what the data logger's sensor read hands the variant. Its rules read
// an upright wearer as (0, -1 g, 0) (the standing test and the jump window on accY, pitch 0
// upright) and a forward lean as negative pitch (PITCH_ANGLE_FRONT -70 against
// PITCH_ANGLE_BACK 35), so its sensor is worn with Y toward the feet, X to the wearer's right
// and Z out of the chest: the generator's frame (Synth.h). (The logger maps the sensor's axes
// differently from the device image; worn exactly as the device, it would read an upright
// wearer as (+1 g, 0, 0), and none of those rules could hold.)
//
// Many of the variant's results differ only in which counter confirms a phase: the filtered
// magnitude (1, 2, 3, 4, 12) or the unfiltered one (the same plus 100). The raw count leads
// whenever the support gives way gradually or after a push-off (the filter still holds the
// higher magnitude); a brief brush (one sample above 0.9 g) or a partial support between 0.56
// and 0.6 g keeps it out.
#include "Motions.h"

namespace fall_synth {
namespace {

using namespace motion;

// 101: the support gives way over 0.2 s before the drop, so the unfiltered magnitude
// is low several samples before the filtered one and the raw fall confirms the phase.
constexpr Segment kSlowFreeFall[] = {
    Seg(kLeadIn),
    Seg(10).up(ramp(1, 0.3f)),
    Seg(40).up(flat(0.05f)).rx(flat(8)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// 2: tripping and pitching forward at 360 degrees per second, partly held (0.57 g: low
// enough for the phase, too much on average for the raw fall, whose mean must stay at 0.55 g or
// below).
constexpr Segment kPartlyHeldSpin[] = {
    Seg(kLeadIn),
    Seg(5).rx(ramp(0, -360)),
    Seg(8).rx(flat(-360)),
    Seg(3).rx(flat(-360)).up(ramp(1, 0.57f)),
    Seg(35).rx(flat(-360)).up(flat(0.57f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// 3: a small jump, a drop, a brush against a wall half-way (1.2 g for one sample ends the
// raw fall, not the filtered phase) and on down.
constexpr Segment kJumpBrushedFall[] = {
    Seg(kLeadIn),
    Seg(10).up(bell(1, 1.8f)),
    Seg(14).up(flat(0.02f)).rx(flat(4)),
    Seg(1).up(flat(1.2f)),
    Seg(30).up(flat(0.02f)).rx(flat(4)),
    Seg(8).up(bell(1, 4)),
    Seg(200),
};

// 4: a small jump, then pitching forward while partly held, as for type 2.
constexpr Segment kJumpPartlyHeldSpin[] = {
    Seg(kLeadIn),
    Seg(10).up(bell(1, 1.8f)),
    Seg(5).rx(ramp(0, -360)).up(ramp(1, 0.62f)),
    Seg(40).rx(flat(-360)).up(flat(0.62f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// 6: tipped sideways, a short drop (a phase of 6, too short for the softer rule) and a hard
// landing on hip and shoulder.
constexpr Segment kHardLanding[] = {
    Seg(kLeadIn),
    Seg(40).rz(bell(0, 100)),
    Seg(9).up(flat(0.03f)).rz(flat(60)),
    Seg(2).up(ramp(0.03f, 8)),
    Seg(3).up(flat(8)),
    Seg(3).up(ramp(8, 1)),
    Seg(200),
};

// 7: off balance sideways, a drop brushed once (the raw fall starts again, four samples
// before the hit), a hit on a step, a short stumble and a second drop.
constexpr Segment kBrushedCollisionFall[] = {
    Seg(kLeadIn),           Seg(40).rz(bell(0, 150)), Seg(7).up(flat(0.05f)), Seg(1).up(flat(1.2f)),
    Seg(4).up(flat(0.05f)), Seg(1).up(flat(2)),       Seg(1).up(flat(4.3f)),  Seg(1).up(flat(2)),
    Seg(8).up(flat(1.0f)),  Seg(14).up(flat(0.05f)),  Seg(3).up(flat(4)),     Seg(200),
};

// 8: a high jump, a long drop while turning sideways (the jump's window covers it, so
// neither collision type 7 nor 107 may follow it), a hit, a stumble and a second drop.
constexpr Segment kJumpLongCollisionFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.78f)),
    Seg(26).up(flat(0.05f)).rz(flat(100)),
    Seg(1).up(flat(2)),
    Seg(1).up(flat(4.3f)),
    Seg(1).up(flat(2)),
    Seg(6).up(flat(1.0f)),
    Seg(20).up(flat(0.05f)),
    Seg(3).up(flat(4)),
    Seg(200),
};

// 108: as for type 8, with a shorter first drop: its filtered phase (13) is too short
// for type 8 at the ninth sample of the second drop, its raw fall (22) is not.
constexpr Segment kJumpRawLongCollisionFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.78f)),
    Seg(22).up(flat(0.05f)).rz(flat(110)),
    Seg(1).up(flat(2)),
    Seg(1).up(flat(4.3f)),
    Seg(1).up(flat(2)),
    Seg(6).up(flat(1.0f)),
    Seg(20).up(flat(0.05f)),
    Seg(3).up(flat(4)),
    Seg(200),
};

// 9: a high jump and a drop of 1.3 s, brushed once half-way; the jump holds the decision
// back until the filtered phase is 33 samples long.
constexpr Segment kJumpLongFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.78f)),
    Seg(25).up(flat(0.02f)).rx(flat(5)),
    Seg(1).up(flat(1.2f)),
    Seg(30).up(flat(0.02f)).rx(flat(5)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// 109: the same jump and drop without the brush: the raw fall, counted from the first low
// sample, reaches 33 confirming samples before the filtered phase does.
constexpr Segment kJumpLongRawFall[] = {
    Seg(kLeadIn),
    Seg(12).up(bell(1, 2.78f)),
    Seg(55).up(flat(0.02f)).rx(flat(5)),
    Seg(8).up(bell(1, 6)),
    Seg(200),
};

// 10: turning over forward at 360 degrees per second while pushed along the body (1.4 g),
// held head-down for a moment (1.5 g) and dropped head first.
constexpr Segment kHeadFirstFall[] = {
    Seg(kLeadIn),
    Seg(5).rx(ramp(0, -360)).up(ramp(1, 1.4f)),
    Seg(22).rx(flat(-360)).up(flat(1.4f)),
    Seg(5).rx(ramp(-360, 0)).up(flat(1.4f)),
    Seg(6).up(flat(1.5f)),
    Seg(30).up(flat(0.02f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

// 112: as for type 12, with the support giving way more slowly, so that the raw fall
// confirms the phase.
constexpr Segment kTumblingSlowFall[] = {
    Seg(kLeadIn),
    Seg(14).rx(ramp(0, -500)).up(ramp(1, 0.2f)),
    Seg(35).rx(flat(-500)).up(flat(0.02f)),
    Seg(8).up(bell(1, 5)),
    Seg(200),
};

constexpr StreamDef kStreams[] = {
    STREAM("standing", "standing still with slight sway", 0, 11, 40, 20, kStanding),
    STREAM("walking", "walking at two steps per second", 0, 12, 60, 40, kWalking),
    STREAM("sitting_down", "sitting down on a chair", 0, 13, 40, 20, kSittingDown),
    STREAM("lying_down", "sitting down, then lying back", 0, 14, 40, 20, kLyingDown),
    STREAM("free_fall", "drop with little rotation", 1, 21, 40, 20, kFreeFall),
    STREAM("slow_free_fall", "support giving way, then a drop", 101, 22, 40, 20, kSlowFreeFall),
    STREAM("partly_held_spin", "pitching forward fast, partly held", 2, 23, 40, 20,
           kPartlyHeldSpin),
    STREAM("spinning_fall", "falling while rotating", 102, 24, 40, 20, kSpinningFall),
    STREAM("jump_brushed_fall", "jump, a drop brushing a wall", 3, 25, 40, 20, kJumpBrushedFall),
    STREAM("jump_fall", "jump, then a long drop", 103, 26, 40, 20, kJumpFall),
    STREAM("jump_partly_held_spin", "jump, then pitching forward partly held", 4, 27, 40, 20,
           kJumpPartlyHeldSpin),
    STREAM("jump_spinning_fall", "jump, then a rotating drop", 104, 28, 40, 20, kJumpSpinningFall),
    STREAM("turning_fall", "sustained rotation under high load", 5, 29, 40, 20, kTurningFall),
    STREAM("hard_landing", "tipped sideways, short drop, hard landing", 6, 30, 40, 20,
           kHardLanding),
    STREAM("brushed_collision_fall", "drop brushed once, hit, second drop", 7, 31, 40, 20,
           kBrushedCollisionFall),
    STREAM("collision_fall", "drop, hit, second drop", 107, 32, 40, 20, kCollisionFall),
    STREAM("jump_long_collision_fall", "high jump, long drop, hit, second drop", 8, 33, 40, 20,
           kJumpLongCollisionFall),
    STREAM("jump_raw_long_collision_fall", "high jump, drop, hit, second drop", 108, 34, 40, 20,
           kJumpRawLongCollisionFall),
    STREAM("jump_long_fall", "high jump, long drop brushed once", 9, 35, 40, 20, kJumpLongFall),
    STREAM("jump_long_raw_fall", "high jump, long drop", 109, 36, 40, 20, kJumpLongRawFall),
    STREAM("head_first_fall", "turning over, head-first drop", 10, 37, 40, 20, kHeadFirstFall),
    STREAM("tumbling_fall", "drop with very fast rotation", 12, 38, 40, 20, kTumblingFall),
    STREAM("tumbling_slow_fall", "support giving way, tumbling", 112, 39, 40, 20,
           kTumblingSlowFall),
    STREAM("soft_impact", "toppling sideways, softer landing", 16, 40, 40, 20, kSoftImpactTilted),
    STREAM("jump_down_step", "jumping down a 30 cm step", kNearMiss, 41, 40, 20, kJumpDownStep),
    STREAM("running", "running, three steps per second", kNearMiss, 42, 60, 40, kRunning),
    STREAM("sitting_down_hard", "dropping onto a chair", kNearMiss, 43, 40, 20, kSittingDownHard),
    STREAM("bending_down", "bending quickly to pick something up", kNearMiss, 44, 40, 20,
           kBendingDown),
    STREAM("stumble", "stumbling and catching oneself", kNearMiss, 45, 40, 20, kStumble),
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
