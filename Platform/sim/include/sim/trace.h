// Trace of a run: one JSON object per line, each with the virtual time stamp "t" in
// nanoseconds and the record "type". The writer formats into a large buffer and
// writes it out in blocks; it never reads the wall clock, so the same run gives the
// same bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "sim/scheduler.h"

namespace sim {

class Trace {
  public:
    Trace() = default;
    ~Trace();
    Trace(const Trace &) = delete;
    Trace &operator=(const Trace &) = delete;

    // Opens a file (truncating it). Returns false with a message when it cannot.
    bool open_file(const std::string &path, std::string &error);
    // Collects into a string instead (tests).
    void open_string(std::string *sink);
    bool enabled() const { return file_ != nullptr || str_ != nullptr; }
    // Why writing the file failed (disk full, ...); empty while all went well.
    // Writing stops at the first failure: the file ends where the failure struck.
    const std::string &error() const { return error_; }
    void close();
    void flush();

    // Record building: begin(t, type), then fields, then end().
    Trace &begin(Time t, std::string_view type);
    Trace &field(std::string_view key, std::uint64_t value);
    Trace &field_signed(std::string_view key, std::int64_t value);
    Trace &field(std::string_view key, std::string_view text);
    Trace &field_bool(std::string_view key, bool value);
    void end();
    // A complete line formatted elsewhere (the closing summary).
    void raw_line(const std::string &line) { raw(line); }

    // Appends `text` to `out` as a JSON string body (no quotes).
    static void escape(std::string &out, std::string_view text);

  private:
    void raw(std::string_view s);
    void raw(char c);
    void key(std::string_view k);
    void spill();

    void failed(const char *doing);

    std::FILE *file_ = nullptr;
    std::string path_;
    std::string error_;
    std::string *str_ = nullptr;
    std::string buf_;
};

}  // namespace sim
