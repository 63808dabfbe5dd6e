#pragma once
// Small pieces the Cortex-M4F test programs share: bit views of doubles and a fixed operand
// sequence (the engine's math tests' own), report lines built without printf or the heap (the
// regression comparison's own), and the count of a program's checks.
#include <cstdint>

#include "ExpectedStreams.h"
#include "Semihost.h"
#include "math_vectors.h"

namespace target {

using mathvec::bits;
using mathvec::dbl;
using mathvec::Sequence;
using Line = regression::Line;

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

// Counts a program's checks and their failures, and ends the run with the count and a verdict.
class Checks {
  public:
    // Counts one check and returns its outcome.
    bool count(bool ok) {
        ++checked_;
        failed_ += ok ? 0 : 1;
        return ok;
    }
    // Counts one check; true when it failed and is among the first ten, worth printing.
    bool failedToPrint(bool ok) { return !count(ok) && failed_ <= 10; }

    [[noreturn]] void finish(const char *counted, const char *failure, const char *success) {
        Line line;
        line.text(counted).text(": ").num(checked_);
        printLine(line.str());
        if (failed_ != 0)
            fail(failure);
        printLine(success);
        exitWith(0);
    }

  private:
    uint32_t checked_ = 0;
    uint32_t failed_ = 0;
};

}  // namespace target
