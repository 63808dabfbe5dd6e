// The device's firing as the run shows it, for the summary: when the trigger outputs
// rose (PA9 and PB15 first, PA8 after the console marker), the fall type the trigger
// marker frame on the console names, the time from the end of the last motion-sensor
// data read to the first trigger-output edge, and the status and firing lines sent to
// the phone. The models tell it what they see (pins, sensor reads, bytes sent).
#include <cstdio>
#include <string>

#include "sim/devices.h"
#include "sim/summary.h"

namespace sim {

namespace {

struct TriggerPin {
    int port;  // 0 = A, 1 = B
    unsigned pin;
    const char *name;
};
constexpr TriggerPin kTriggerPins[3] = {{0, 9, "PA9"}, {1, 15, "PB15"}, {0, 8, "PA8"}};
constexpr std::size_t kMarkerBytes = 18;
constexpr std::size_t kMaxLine = 80;

std::string us(Time ns) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu.%03llu us", static_cast<unsigned long long>(ns / 1000u),
                  static_cast<unsigned long long>(ns % 1000u));
    return buf;
}

class FiringWatch final : public Board::Model {
  public:
    explicit FiringWatch(Board &b) : b_(b) {
        b_.add_finisher([this] { summarise(); });
    }

    void sensor_read(Time t) {
        last_read_ = t;
        any_read_ = true;
    }

    void pins_changed(int port, std::uint32_t changed, std::uint32_t levels) {
        for (int k = 0; k < 3; ++k) {
            const TriggerPin &p = kTriggerPins[k];
            if (p.port != port || !(changed >> p.pin & 1u) || !(levels >> p.pin & 1u) || rose_[k])
                continue;
            rose_[k] = true;
            rose_at_[k] = b_.now();
            if (!fired_) {
                fired_ = true;
                first_edge_ = b_.now();
                read_before_ = any_read_;
                read_at_ = last_read_;
            }
        }
    }

    void console_byte(std::uint8_t byte) {
        for (std::size_t i = 0; i + 1 < kMarkerBytes; ++i) window_[i] = window_[i + 1];
        window_[kMarkerBytes - 1] = byte;
        static const char kShape[kMarkerBytes + 1] = "<tr\0?\0_\0j\0?\0s\0?<\r\n";
        for (std::size_t i = 0; i < kMarkerBytes; ++i)
            if (kShape[i] != '?' && window_[i] != static_cast<std::uint8_t>(kShape[i]))
                return;
        if (markers_++ == 0) {
            marker_at_ = b_.now();
            type_ = window_[4] - 0x30;  // '1'..'9', '<' for 12, '@' for 16
        }
    }

    bool fired_within(Time from, Time to) const {
        return fired_ && first_edge_ >= from && first_edge_ <= to;
    }

    // Lines end at LF; a CR ends one too, so that a module command sent before
    // the first status line ("AT" CR) is not taken for the start of that line.
    void phone_byte(std::uint8_t byte) {
        if (byte != '\n' && byte != '\r') {
            if (line_.size() < kMaxLine)
                line_ += static_cast<char>(byte);
            return;
        }
        if (line_.compare(0, 2, "Q=") == 0) {
            ++lines_;
            if (line_.compare(0, 3, "Q=2") == 0)
                ++firing_lines_;
            last_line_ = line_;
        }
        line_.clear();
    }

  private:
    void summarise() {
        if (fired_) {
            std::string s = "at " + format_seconds(first_edge_);
            s += markers_ != 0 ? ", type " + std::to_string(type_) + " (trigger marker at " +
                                     format_seconds(marker_at_) + ")"
                               : ", no trigger marker on the console";
            for (int k = 0; k < 3; ++k)
                s += std::string("; ") + kTriggerPins[k].name +
                     (rose_[k] ? " +" + us(rose_at_[k] - first_edge_) : " never rose");
            b_.summary().note("firing", s);
            b_.summary().note("sensor read to trigger", read_before_
                                                            ? us(first_edge_ - read_at_) +
                                                                  " (end of the data read at " +
                                                                  format_seconds(read_at_) + ")"
                                                            : "no sensor read before the firing");
        } else if (any_read_) {
            b_.summary().note("firing", "none");
        }
        if (lines_ != 0)
            b_.summary().note("phone lines", std::to_string(lines_) + " (" +
                                                 std::to_string(firing_lines_) +
                                                 " firing), the last \"" + last_line_ + "\"");
    }

    Board &b_;
    Time last_read_ = 0, read_at_ = 0, first_edge_ = 0, marker_at_ = 0;
    bool any_read_ = false, read_before_ = false, fired_ = false;
    bool rose_[3] = {false, false, false};
    Time rose_at_[3] = {0, 0, 0};
    std::uint8_t window_[kMarkerBytes] = {};
    std::uint64_t markers_ = 0;
    int type_ = 0;
    std::string line_, last_line_;
    std::uint64_t lines_ = 0, firing_lines_ = 0;
};

FiringWatch &watch() {
    return board().model<FiringWatch>();
}

}  // namespace

void install_firing_watch(Board &b) {
    b.model<FiringWatch>();
}

void firing_sensor_read(Time end) {
    watch().sensor_read(end);
}

void firing_pins_changed(int port, std::uint32_t changed, std::uint32_t levels) {
    watch().pins_changed(port, changed, levels);
}

void firing_console_byte(std::uint8_t byte) {
    watch().console_byte(byte);
}

void firing_phone_byte(std::uint8_t byte) {
    watch().phone_byte(byte);
}

bool firing_within(Time from, Time to) {
    return watch().fired_within(from, to);
}

}  // namespace sim
