// The radio module (a serial-to-phone bridge) on USART1.
//
// It runs while its power enable (PB5) is high and its reset line (PB4) is high, as
// the pins resolve: the firmware's outputs, or a level the scenario holds them at.
// Running, it passes what the device transmits to the phone (the phone-link output)
// and what the phone sends (the scenario's phone bytes) to the device, unchanged:
// a message of odd length shifts the byte pairs the device's reception gathers.
// Lines from the device that begin with "AT" and end with CR are commands to the
// module itself and do not reach the phone:
//
//   "AT\r"         -> "OK\r\n"
//   "AT+SHOW\r"    -> "+NAME=BLE-SERIAL\r\n+BAUD=115200\r\n+DATA=<0|1>\r\nOK\r\n"
//   "AT+DATA=1\r"  -> "OK\r\n" (data mode on; "AT+DATA=0\r" turns it off)
//   other "AT..."  -> "ERROR\r\n"
//
// The answer starts on the device's receive line as the command's CR has arrived.
// The scenario can make the module absent (nothing on the board), silent (powered,
// passing nothing either way) or babbling (random bytes to the device, without
// pause or at a given rate). Bytes that go nowhere are counted and traced.
#include <string>

#include "sim/console.h"
#include "sim/devices.h"
#include "sim/dma.h"
#include "sim/gpio.h"
#include "sim/peripherals.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint32_t kLineBytesPerSecond = 11520;  // 115200 baud, 10 bits a byte
constexpr std::size_t kMaxCommand = 32;               // a longer "AT..." line is data
constexpr std::uint32_t kBabbleSeed = 0x2545F491u;
constexpr int kPhoneRxChannel = 5;  // DMA1 channel of USART1 receive
constexpr std::uint32_t kUartRequest = 2;

class RadioModule final : public Board::Model, public EventSink {
  public:
    explicit RadioModule(Board &b) : b_(b) {
        b_.add_finisher([this] { summarise(); });
        b_.add_wake_source(WakeSource{[this] {
                                          return mode_ == RadioMode::Babble && running() &&
                                                 dma_rx_ready(kPhoneRxChannel, kUartRequest);
                                      },
                                      DMA1_Channel5_IRQn});
    }

    void setup(const std::vector<RadioEvent> &events) {
        events_ = events;
        for (std::size_t i = 0; i < events_.size(); ++i) {
            if (events_[i].at_ns == 0)
                set_mode(events_[i]);
            else
                b_.sched().schedule(events_[i].at_ns, this, i << 1);
        }
    }

    bool running() const {
        return mode_ != RadioMode::Absent && gpio_level('B', 5) && gpio_level('B', 4);
    }

    void from_device(std::uint8_t byte) {
        if (!running() || mode_ == RadioMode::Silent) {
            lost(byte, "to phone");
            return;
        }
        // Bytes at the start of a line that could still be a command wait here.
        if (held_.empty() && !at_line_start_) {
            to_phone(byte);
        } else {
            held_.push_back(static_cast<char>(byte));
            const std::string prefix = "AT";
            const bool could_be = held_.size() <= prefix.size()
                                      ? prefix.compare(0, held_.size(), held_) == 0
                                      : held_.size() <= kMaxCommand;
            if (!could_be || byte == '\n') {
                release();
            } else if (byte == '\r' && held_.size() > prefix.size()) {
                answer(held_.substr(0, held_.size() - 1));
                held_.clear();
            }
        }
        at_line_start_ = byte == '\n' || byte == '\r';
    }

    void from_phone(const std::uint8_t *bytes, std::size_t n) {
        if (!running() || mode_ == RadioMode::Silent) {
            for (std::size_t k = 0; k < n; ++k) lost(bytes[k], "to device");
            return;
        }
        to_device_ += n;
        serial_inject(SerialPort::Phone, bytes, n);
    }

    void on_event(Time, std::uint64_t tag) override {
        if ((tag & 1) == 0) {
            set_mode(events_[tag >> 1]);
            return;
        }
        if ((tag >> 1) != babble_gen_ || mode_ != RadioMode::Babble)
            return;
        // One burst of babble, then the next one a burst's time later.
        std::uint8_t burst[kBurst];
        for (std::uint8_t &x : burst) {
            rng_ ^= rng_ << 13;
            rng_ ^= rng_ >> 17;
            rng_ ^= rng_ << 5;
            x = static_cast<std::uint8_t>(rng_);
        }
        if (running()) {
            babbled_ += kBurst;
            serial_inject(SerialPort::Phone, burst, kBurst);
        }
        schedule_babble();
    }

  private:
    static constexpr std::size_t kBurst = 16;

    void set_mode(const RadioEvent &e) {
        mode_ = e.mode;
        held_.clear();
        if (mode_ == RadioMode::Babble) {
            babble_rate_ = e.bytes_per_second ? e.bytes_per_second : kLineBytesPerSecond;
            ++babble_gen_;
            schedule_babble();
        }
        if (b_.trace().enabled()) {
            b_.trace()
                .begin(b_.now(), "radio")
                .field("mode", radio_mode_name(mode_))
                .field("bytes_per_second", mode_ == RadioMode::Babble ? babble_rate_ : 0)
                .end();
        }
    }

    void schedule_babble() {
        b_.sched().schedule(b_.now() + scaled_ceil(kBurst, 1000000000u, babble_rate_), this,
                            (babble_gen_ << 1) | 1u);
    }

    void release() {
        for (char c : held_) to_phone(static_cast<std::uint8_t>(c));
        held_.clear();
    }

    void answer(const std::string &command) {
        std::string reply = "OK\r\n";
        if (command == "AT+SHOW") {
            reply =
                "+NAME=BLE-SERIAL\r\n+BAUD=115200\r\n+DATA=" + std::string(data_mode_ ? "1" : "0") +
                "\r\nOK\r\n";
        } else if (command == "AT+DATA=1" || command == "AT+DATA=0") {
            data_mode_ = command.back() == '1';
        } else if (command != "AT") {
            reply = "ERROR\r\n";
        }
        ++commands_;
        if (b_.trace().enabled())
            b_.trace().begin(b_.now(), "radio_command").field("command", command).end();
        to_device_ += reply.size();
        serial_inject(SerialPort::Phone, reinterpret_cast<const std::uint8_t *>(reply.data()),
                      reply.size());
    }

    void to_phone(std::uint8_t byte) {
        ++to_phone_;
        if (b_.console)
            b_.console->phone_out(byte);
    }

    void lost(std::uint8_t byte, const char *direction) {
        ++lost_;
        if (!b_.trace().enabled())
            return;
        const char *why = mode_ == RadioMode::Absent   ? "no module"
                          : mode_ == RadioMode::Silent ? "silent"
                                                       : "module off";
        b_.trace()
            .begin(b_.now(), "radio_lost")
            .field("direction", direction)
            .field("byte", byte)
            .field("why", why)
            .end();
    }

    void summarise() {
        if (events_.empty() && to_phone_ + to_device_ + lost_ == 0)
            return;  // nothing used the phone link
        b_.summary().note("radio module", std::string(radio_mode_name(mode_)) + ", " +
                                              std::to_string(to_phone_) + " bytes to the phone, " +
                                              std::to_string(to_device_) + " to the device, " +
                                              std::to_string(commands_) + " commands answered, " +
                                              std::to_string(babbled_) + " bytes babbled, " +
                                              std::to_string(lost_) + " bytes lost");
    }

    Board &b_;
    std::vector<RadioEvent> events_;
    RadioMode mode_ = RadioMode::Pipe;
    std::string held_;
    bool at_line_start_ = true;
    bool data_mode_ = false;
    std::uint32_t babble_rate_ = kLineBytesPerSecond;
    std::uint64_t babble_gen_ = 0;
    std::uint32_t rng_ = kBabbleSeed;
    std::uint64_t to_phone_ = 0, to_device_ = 0, commands_ = 0, babbled_ = 0, lost_ = 0;
};

RadioModule &model() {
    return board().model<RadioModule>();
}

}  // namespace

void install_radio(Board &b, const std::vector<RadioEvent> &radio) {
    b.model<RadioModule>().setup(radio);
}

void radio_from_device(std::uint8_t byte) {
    model().from_device(byte);
}

void radio_from_phone(const std::uint8_t *bytes, std::size_t n) {
    model().from_phone(bytes, n);
}

}  // namespace sim
