#pragma once
// Replays a sample CSV through the engine (default configuration).
#include <cstdint>
#include <ostream>
#include <vector>

#include "fall_replay/CsvReader.h"

namespace fall_replay {

struct ReplayEvent {
    uint32_t index;  // 0-based sample index
    int64_t timeMs;  // from the time column, else index * 20
    uint32_t line;   // line in the input file
    int type;
};

struct ReplayResult {
    uint32_t samples = 0;
    int64_t lastTimeMs = 0;
    std::vector<ReplayEvent> positives;
};

// Reads every sample; when csv is given, writes a header and one line per sample
// ("index,time_ms," followed by the observable state). Throws ParseError.
ReplayResult replay(CsvReader &reader, std::ostream *csv);

// Human-readable summary of a replay.
void printSummary(const ReplayResult &r, const std::string &name, std::ostream &out);

}  // namespace fall_replay
