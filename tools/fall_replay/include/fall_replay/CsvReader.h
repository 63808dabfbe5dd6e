#pragma once
// Reader of recorded sample CSV files: six raw int16 columns ax,ay,az,gx,gy,gz, optionally led
// by a time column in milliseconds. '#' starts a comment line; blank lines are skipped; a first
// non-comment line of names (each starting with a letter) is a header; CR LF and LF line ends are
// both accepted.
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>

#include "FallDetectorCommon.h"

namespace fall_replay {

// Carries the complete "<file>:<line>: message" text.
class ParseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CsvSample {
    uint32_t line = 0;  // 1-based line number in the file
    bool hasTime = false;
    int64_t timeMs = 0;  // from the time column when present
    FALL_DETECTOR_SENSOR_DATA data{};
};

class CsvReader {
  public:
    // name is used in messages ("<stdin>" for standard input).
    CsvReader(std::istream &in, std::string name);
    // Reads the next sample; false at the end of the input. Throws ParseError.
    bool next(CsvSample &out);
    bool hasTimeColumn() const { return columns_ == 7; }
    const std::string &name() const { return name_; }

  private:
    [[noreturn]] void fail(const std::string &msg) const;

    std::istream &in_;
    std::string name_;
    uint32_t line_ = 0;
    int columns_ = 0;          // 6 or 7 once known
    bool seenContent = false;  // a header may only come before the first sample
    bool haveLastTime_ = false;
    int64_t lastTime_ = 0;
};

}  // namespace fall_replay
