#include "fall_replay/Replay.h"

#include <memory>

#include "fall_replay/Observe.h"

namespace fall_replay {

ReplayResult replay(CsvReader &reader, std::ostream *csv) {
    FALL_DETECTOR_CFG cfg;
    FallDetectorSetDefaultConfig(&cfg);
    // The detector is a few kilobytes; keep it off the stack.
    auto det = std::make_unique<FALL_DETECTOR>();
    FallDetectorSet(det.get(), &cfg);

    if (csv)
        *csv << "index,time_ms," << stateHeader() << '\n';
    ReplayResult r;
    CsvSample s;
    char line[kStateLineMax];
    char prefix[48];
    while (reader.next(s)) {
        const int result = FallDetectorWork(det.get(), &s.data);
        const int64_t t = s.hasTime ? s.timeMs : static_cast<int64_t>(r.samples) * 20;
        if (csv) {
            formatState(*det, s.data, result, line);
            char *p = putInt(prefix, r.samples);
            *p++ = ',';
            p = putInt(p, t);
            *p++ = ',';
            csv->write(prefix, p - prefix);
            *csv << line << '\n';
        }
        if (result != 0)
            r.positives.push_back(ReplayEvent{r.samples, t, s.line, result});
        r.lastTimeMs = t;
        ++r.samples;
    }
    return r;
}

void printSummary(const ReplayResult &r, const std::string &name, std::ostream &out) {
    out << name << ": " << r.samples << " samples";
    if (r.samples > 0)
        out << ", last at " << r.lastTimeMs << " ms";
    out << "; " << r.positives.size() << " positive result" << (r.positives.size() == 1 ? "" : "s")
        << '\n';
    for (const ReplayEvent &e : r.positives) {
        out << "  sample " << e.index << "  time " << e.timeMs << " ms  (line " << e.line
            << ")  type " << e.type << '\n';
    }
}

}  // namespace fall_replay
