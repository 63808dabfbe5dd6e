#pragma once
// Small pieces the Cortex-M4F test programs share: bit views of doubles (the engine's math
// tests' own), a deterministic operand generator, and report lines built without printf or
// the heap (the regression comparison's own).
#include <cstdint>

#include "ExpectedStreams.h"
#include "Semihost.h"
#include "math_vectors.h"

namespace target {

using mathvec::bits;
using mathvec::dbl;
using Line = regression::Line;

// xorshift64: the same operand sequence on every run and every machine.
struct XorShift64 {
    uint64_t state;
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// Prints the line, marked as a failure unless ok.
inline void report(Line &line, bool ok) {
    print(ok ? "  " : "FAIL: ");
    printLine(line.str());
}

// "<label><value>" in the middle of a line (the measuring programs' fields).
inline void printField(const char *label, int64_t v) {
    Line line;
    line.text(label).num(v);
    print(line.str());
}

// "<label>: <count>" on a line of its own.
inline void printCount(const char *label, int64_t count) {
    Line line;
    line.text(label).text(": ").num(count);
    printLine(line.str());
}

}  // namespace target
