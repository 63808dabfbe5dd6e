#include "sim/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

namespace {
// Poll and pacing period: fine enough for typing, coarse enough to cost nothing.
constexpr Time kPollPeriod = 1000000;  // 1 ms of virtual time
// The terminal is looked at no more often than this in wall-clock time, so that an
// unpaced run does not spend its time in system calls.
constexpr std::chrono::microseconds kPtyPollWall{1000};
// Pacing sleeps in slices, so that a stop request is noticed promptly.
constexpr std::chrono::milliseconds kSleepSlice{50};
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
        // A terminal whose other side was never opened does not report a hang-up;
        // once opened and closed it does, until a reader opens it.
        const int peer = ::open(pty_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (peer >= 0)
            ::close(peer);
        std::fprintf(stderr, "console on %s\n", pty_path_.c_str());
    }
    wall_start_ = std::chrono::steady_clock::now();
    if (cfg.mode == ConsoleMode::Pty || cfg.pace > 0.0) {
        periodic_ = true;
        board_.sched().schedule(board_.now() + kPollPeriod, this, 0);
    }
    return true;
}

// The master side reports a hang-up while no program has the terminal open.
bool Console::reader_connected() const {
    pollfd p{pty_fd_, POLLOUT, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void Console::wait_for_client() {
    if (pty_fd_ < 0 || !cfg_.wait_for_client)
        return;
    while (!reader_connected()) {
        if (board_.stop_requested())
            board_.end_run(Ending::Interrupted, "stopped by a signal");
        board_.note_progress();
        std::this_thread::sleep_for(kSleepSlice);
    }
    std::this_thread::sleep_for(kPtyClientSettle);
    // Whatever the program's opening did to the line is not console input.
    tcflush(pty_fd_, TCIFLUSH);
    wall_start_ = std::chrono::steady_clock::now();
}

void Console::close() {
    if (closed_)
        return;
    closed_ = true;
    flush();
    if (phone_file_ && std::fclose(phone_file_) != 0)
        failed("cannot write phone-link output " + cfg_.phone_path);
    phone_file_ = nullptr;
    if (pty_fd_ >= 0) {
        drain_pty();
        ::close(pty_fd_);
        board_.summary().note("console pty", std::to_string(dropped_) + " bytes dropped");
    }
    pty_fd_ = -1;
}

void Console::failed(const std::string &what) {
    if (error_.empty())
        error_ = what + ": " + std::strerror(errno);
}

void Console::console_out(std::uint8_t byte) {
    switch (cfg_.mode) {
        case ConsoleMode::Stdout:
            out_buf_.push_back(static_cast<char>(byte));
            // Paced runs are watched by people: show output as it happens.
            if (out_buf_.size() >= kOutFlushAt || cfg_.pace > 0.0)
                flush();
            break;
        case ConsoleMode::Pty:
            if (backlog_.size() >= kPtyBacklog) {
                ++dropped_;
            } else {
                backlog_.push_back(static_cast<char>(byte));
            }
            break;
        case ConsoleMode::Capture:
            if (cfg_.console_capture)
                cfg_.console_capture->push_back(static_cast<char>(byte));
            break;
        case ConsoleMode::Discard:
            break;
    }
}

void Console::phone_out(std::uint8_t byte) {
    if (phone_file_ && std::fputc(byte, phone_file_) == EOF) {
        failed("cannot write phone-link output " + cfg_.phone_path);
        std::fclose(phone_file_);
        phone_file_ = nullptr;
    }
    if (cfg_.phone_capture)
        cfg_.phone_capture->push_back(static_cast<char>(byte));
}

void Console::flush() {
    if (!out_buf_.empty()) {
        if ((std::fwrite(out_buf_.data(), 1, out_buf_.size(), stdout) != out_buf_.size() ||
             std::fflush(stdout) != 0) &&
            error_.empty())
            failed("cannot write the console to standard output");
        out_buf_.clear();
    }
    if (phone_file_ && std::fflush(phone_file_) != 0) {
        failed("cannot write phone-link output " + cfg_.phone_path);
        std::fclose(phone_file_);
        phone_file_ = nullptr;
    }
}

void Console::on_event(Time when, std::uint64_t) {
    if (cfg_.pace > 0.0)
        pace_to(when);
    if (pty_fd_ >= 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_poll_ >= kPtyPollWall) {
            last_poll_ = now;
            poll_pty();
        }
    }
    board_.sched().schedule(when + kPollPeriod, this, 0);
}

void Console::pace_to(Time virtual_now) {
    // Keep virtual time from running ahead of wall time x factor. The factor's
    // range (checked on the command line) keeps the target within the clock's.
    const auto wall_needed = std::chrono::nanoseconds(
        static_cast<std::int64_t>(std::ceil(static_cast<double>(virtual_now) / cfg_.pace)));
    const auto target =
        wall_start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(wall_needed);
    if (std::chrono::steady_clock::now() >= target)
        return;
    flush();
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= target)
            return;
        if (board_.stop_requested())
            board_.end_run(Ending::Interrupted, "stopped by a signal");
        board_.note_progress();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(target - now,
                                                                                 kSleepSlice));
        if (pty_fd_ >= 0)
            poll_pty();
    }
}

void Console::write_backlog() {
    while (!backlog_.empty()) {
        const ssize_t n = ::write(pty_fd_, backlog_.data(), backlog_.size());
        if (n <= 0)
            return;  // EAGAIN: the reader is behind; the rest waits
        backlog_.erase(0, static_cast<std::size_t>(n));
    }
}

void Console::poll_pty() {
    // Output only while someone has the terminal open: what is written with no
    // reader would be thrown away when a serial program opens the port.
    if (!backlog_.empty() && reader_connected())
        write_backlog();
    std::uint8_t buf[256];
    for (;;) {
        ssize_t n = ::read(pty_fd_, buf, sizeof buf);
        if (n <= 0)
            break;  // EAGAIN (nothing typed) or EIO (nobody connected yet)
        if (input_)
            input_(buf, static_cast<std::size_t>(n));
    }
}

// End of the run: what is left goes to the reader while it keeps taking it. With
// no reader, one may still connect within kPtyDrainIdle; else the rest is dropped.
// Bytes the terminal holds for the reader count as not yet taken, as far as it
// reports them: they are looked at through a descriptor of the terminal's own
// side, opened only now.
void Console::drain_pty() {
    const auto give_up = std::chrono::steady_clock::now() + kPtyDrainIdle;
    while (!backlog_.empty() && !reader_connected() &&
           std::chrono::steady_clock::now() < give_up && !board_.stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!reader_connected()) {
        dropped_ += backlog_.size();
        backlog_.clear();
        return;
    }
    const int peer = ::open(pty_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    auto unread = [peer]() -> std::size_t {
        int n = 0;
        if (peer < 0 || ioctl(peer, FIONREAD, &n) != 0 || n < 0)
            return 0;
        return static_cast<std::size_t>(n);
    };
    std::size_t left = backlog_.size() + unread();
    auto last_progress = std::chrono::steady_clock::now();
    while (left > 0 && std::chrono::steady_clock::now() - last_progress < kPtyDrainIdle &&
           !board_.stop_requested()) {
        write_backlog();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::size_t now_left = backlog_.size() + unread();
        if (now_left < left)
            last_progress = std::chrono::steady_clock::now();
        left = now_left;
    }
    dropped_ += left;
    backlog_.clear();
    if (peer >= 0)
        ::close(peer);
}

}  // namespace sim
