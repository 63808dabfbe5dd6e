#include "sim/console.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

namespace {
// Poll and pacing period: fine enough for typing, coarse enough to cost nothing.
constexpr Time kPollPeriod = 1000000;  // 1 ms of virtual time
constexpr std::size_t kOutFlushAt = 1u << 16;
}  // namespace

Console::~Console() {
    close();
}

bool Console::open(const ConsoleConfig &cfg, std::string &error) {
    cfg_ = cfg;
    if (!cfg.phone_path.empty()) {
        phone_file_ = std::fopen(cfg.phone_path.c_str(), "wb");
        if (!phone_file_) {
            error = "cannot open phone-link output " + cfg.phone_path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (cfg.mode == ConsoleMode::Pty) {
        pty_fd_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (pty_fd_ < 0 || grantpt(pty_fd_) != 0 || unlockpt(pty_fd_) != 0) {
            error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        const char *name = ptsname(pty_fd_);
        pty_path_ = name ? name : "";
        // Raw line discipline from the start: a cooked terminal would echo the
        // console output back as typed input (and turn LF into CR LF) before any
        // serial program has set the line up.
        termios tio{};
        if (tcgetattr(pty_fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(pty_fd_, TCSANOW, &tio);
        }
        int flags = fcntl(pty_fd_, F_GETFL);
        fcntl(pty_fd_, F_SETFL, flags | O_NONBLOCK);
        std::fprintf(stderr, "console on %s\n", pty_path_.c_str());
    }
    wall_start_ = std::chrono::steady_clock::now();
    if (cfg.mode == ConsoleMode::Pty || cfg.pace > 0.0) {
        periodic_ = true;
        board_.sched().schedule(board_.now() + kPollPeriod, this, 0);
    }
    return true;
}

void Console::close() {
    flush();
    if (phone_file_)
        std::fclose(phone_file_);
    phone_file_ = nullptr;
    if (pty_fd_ >= 0)
        ::close(pty_fd_);
    pty_fd_ = -1;
}

void Console::console_out(std::uint8_t byte) {
    switch (cfg_.mode) {
        case ConsoleMode::Stdout:
            out_buf_.push_back(static_cast<char>(byte));
            // Paced runs are watched by people: show output as it happens.
            if (out_buf_.size() >= kOutFlushAt || cfg_.pace > 0.0)
                flush();
            break;
        case ConsoleMode::Pty: {
            // A terminal nobody reads fills up; drop rather than block the board.
            ssize_t n = ::write(pty_fd_, &byte, 1);
            (void)n;
            break;
        }
        case ConsoleMode::Capture:
            if (cfg_.console_capture)
                cfg_.console_capture->push_back(static_cast<char>(byte));
            break;
        case ConsoleMode::Discard:
            break;
    }
}

void Console::phone_out(std::uint8_t byte) {
    if (phone_file_)
        std::fputc(byte, phone_file_);
    if (cfg_.phone_capture)
        cfg_.phone_capture->push_back(static_cast<char>(byte));
}

void Console::flush() {
    if (!out_buf_.empty()) {
        std::fwrite(out_buf_.data(), 1, out_buf_.size(), stdout);
        std::fflush(stdout);
        out_buf_.clear();
    }
    if (phone_file_)
        std::fflush(phone_file_);
}

void Console::on_event(Time when, std::uint64_t) {
    if (cfg_.pace > 0.0)
        pace_to(when);
    if (pty_fd_ >= 0)
        poll_pty();
    board_.sched().schedule(when + kPollPeriod, this, 0);
}

void Console::pace_to(Time virtual_now) {
    // Keep virtual time from running ahead of wall time x factor.
    const double wall_needed_s = static_cast<double>(virtual_now) / 1e9 / cfg_.pace;
    const auto target =
        wall_start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(wall_needed_s));
    const auto now = std::chrono::steady_clock::now();
    if (target > now) {
        flush();
        std::this_thread::sleep_until(target);
    }
}

void Console::poll_pty() {
    std::uint8_t buf[256];
    for (;;) {
        ssize_t n = ::read(pty_fd_, buf, sizeof buf);
        if (n <= 0)
            break;  // EAGAIN (nothing typed) or EIO (nobody connected yet)
        if (input_)
            input_(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace sim
