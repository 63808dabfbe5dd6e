#pragma once
// Runs a synthetic stream through the engine with its default configuration.
#include "FallDetector.h"
#include "fall_replay/Observe.h"
#include "fall_synth/Synth.h"

namespace fall_synth {

// The detector is the caller's (it is large, and the target keeps it in static storage).
fall_replay::RunSummary runStream(const StreamDef &def, FALL_DETECTOR &detector);

// True when a run gives what its stream was made for: no positive result for a quiet motion,
// the intended type first for a fall, anything for a near miss.
inline bool meetsIntent(const StreamDef &def, const fall_replay::RunSummary &r) {
    if (def.intended == kNearMiss)
        return true;
    if (def.intended == 0)
        return r.positiveCount == 0;
    return r.positiveCount > 0 && r.positives[0].type == def.intended;
}

inline FALL_DETECTOR_SENSOR_DATA toEngine(const Sample &s) {
    return FALL_DETECTOR_SENSOR_DATA{s.ax, s.ay, s.az, s.gx, s.gy, s.gz};
}

}  // namespace fall_synth
