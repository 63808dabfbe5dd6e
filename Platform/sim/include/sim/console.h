// Where the two serial ports meet the outside world: console bytes on stdout or on
// a pseudo-terminal (so that picocom or a pyserial script can connect and type),
// phone-link bytes on their own stream, optional wall-clock pacing.
//
// Everything that reads the wall clock or the terminal lives here, apart from the
// deterministic core. Without a pty and without pacing nothing here can change the
// course of a run.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "sim/board.h"

namespace sim {

enum class ConsoleMode { Stdout, Pty, Capture, Discard };

struct ConsoleConfig {
    ConsoleMode mode = ConsoleMode::Stdout;
    std::string *console_capture = nullptr;  // ConsoleMode::Capture
    std::string phone_path;                  // file for phone-link output; empty: none
    std::string *phone_capture = nullptr;    // phone-link output into a string (tests)
    double pace = 0.0;                       // 0: as fast as possible; else virtual <= wall x pace
};

class Console final : public EventSink {
  public:
    explicit Console(Board &b) : board_(b) {}
    ~Console();

    // Opens the streams; prints the pty's path on stderr. False with a message on
    // failure.
    bool open(const ConsoleConfig &cfg, std::string &error);
    void close();

    void console_out(std::uint8_t byte);
    void phone_out(std::uint8_t byte);
    void flush();

    // Receives what is typed into the pty (the console receive line).
    void set_input_handler(std::function<void(const std::uint8_t *, std::size_t)> h) {
        input_ = std::move(h);
    }
    bool interactive() const { return pty_fd_ >= 0; }
    const std::string &pty_path() const { return pty_path_; }

    void on_event(Time when, std::uint64_t tag) override;

  private:
    void pace_to(Time virtual_now);
    void poll_pty();

    Board &board_;
    ConsoleConfig cfg_;
    std::FILE *phone_file_ = nullptr;
    int pty_fd_ = -1;
    std::string pty_path_;
    std::string out_buf_;
    std::function<void(const std::uint8_t *, std::size_t)> input_;
    std::chrono::steady_clock::time_point wall_start_;
    bool periodic_ = false;
};

}  // namespace sim
