#pragma once
// Committed regression data of the synthetic streams, shared by the host test and the
// Cortex-M4F test, and the comparison both of them apply.
#include <cstddef>
#include <cstdint>

#include "fall_replay/Observe.h"

namespace regression {

struct ExpectedStream {
    const char *name;
    uint32_t samples;
    uint64_t hash;  // FNV-1a over every per-sample state line
    uint32_t positiveCount;
    const fall_replay::Positive *positives;
};

extern const ExpectedStream kExpectedStreams[];
extern const std::size_t kExpectedStreamCount;

// Compares one run with its expectation. On a mismatch writes a one-line reason (at most
// kReasonMax bytes including the terminator) and returns false.
constexpr std::size_t kReasonMax = 256;
bool matches(const ExpectedStream &want, const fall_replay::RunSummary &got, char *reason);

}  // namespace regression
