#include "fall_synth/Run.h"

namespace fall_synth {

fall_replay::RunSummary runStream(const StreamDef &def, FALL_DETECTOR &detector) {
    // The configuration must outlive the detector's use; one per run is enough since runs
    // never overlap.
    static FALL_DETECTOR_CFG cfg;
    FallDetectorSetDefaultConfig(&cfg);
    FallDetectorSet(&detector, &cfg);

    fall_replay::RunSummary sum;
    fall_replay::Hash64 hash;
    char line[fall_replay::kStateLineMax];
    Generator gen(def);
    Sample s;
    while (gen.next(s)) {
        const FALL_DETECTOR_SENSOR_DATA in = toEngine(s);
        const int result = FallDetectorWork(&detector, &in);
        std::size_t n = fall_replay::formatState(detector, in, result, line);
        line[n++] = '\n';
        hash.add(line, n);
        if (result != 0) {
            if (sum.positiveCount < fall_replay::kMaxPositives) {
                sum.positives[sum.positiveCount] = {sum.samples, result};
            }
            ++sum.positiveCount;
        }
        ++sum.samples;
    }
    sum.hash = hash.value();
    return sum;
}

}  // namespace fall_synth
