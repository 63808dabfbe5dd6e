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
    bool wait_for_client = false;            // Pty: hold the board in reset until it is opened
};

// Console output on a pseudo-terminal is kept for its reader: bytes wait in a
// backlog of this size while nobody has the terminal open or the reader is slow;
// beyond it they are dropped and counted. At the end of a run the simulator waits
// for the reader to take what is left, for as long as it keeps taking it, and at
// most kPtyDrainIdle of wall-clock time without progress (or for a reader to
// connect, when none has the terminal open).
constexpr std::size_t kPtyBacklog = 1u << 20;
constexpr std::chrono::milliseconds kPtyDrainIdle{2000};
// With wait_for_client, the board leaves reset this long after the terminal was
// opened: serial programs flush their input just after opening the port.
constexpr std::chrono::milliseconds kPtyClientSettle{200};

class Console final : public EventSink {
  public:
    explicit Console(Board &b) : board_(b) {}
    ~Console();

    // Opens the streams; prints the pty's path on stderr. False with a message on
    // failure.
    bool open(const ConsoleConfig &cfg, std::string &error);
    // At the start of the run, with wait_for_client: returns once a program has
    // opened the terminal (a stop request ends the run meanwhile).
    void wait_for_client();
    // Drains the pty (bounded, see kPtyBacklog) and closes everything; adds the
    // console's line to the summary.
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
    // Console bytes that never reached a reader of the pty.
    std::uint64_t dropped() const { return dropped_; }
    // Why an output stream could not be written (stdout, phone-link file); empty
    // while all went well.
    const std::string &error() const { return error_; }

    void on_event(Time when, std::uint64_t tag) override;

  private:
    void pace_to(Time virtual_now);
    void poll_pty();
    bool reader_connected() const;
    void write_backlog();
    void drain_pty();
    void failed(const std::string &what);

    Board &board_;
    ConsoleConfig cfg_;
    std::FILE *phone_file_ = nullptr;
    int pty_fd_ = -1;
    std::string pty_path_;
    std::string out_buf_;
    std::string backlog_;  // pty output not yet taken by the terminal
    std::uint64_t dropped_ = 0;
    std::string error_;
    std::function<void(const std::uint8_t *, std::size_t)> input_;
    std::chrono::steady_clock::time_point wall_start_;
    std::chrono::steady_clock::time_point last_poll_;
    bool periodic_ = false;
    bool closed_ = false;
};

}  // namespace sim
