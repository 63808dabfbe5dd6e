// Tones of the PWM outputs: each start and stop of a PWM channel makes one tone,
// traced at its end with its frequency (the counter clock / (auto-reload + 1)) and
// its length, and counted in the summary. The buzzer is TIM2 channel 1 on PA0.
#include <cstdio>
#include <string>

#include "sim/gpio.h"
#include "sim/rcc.h"
#include "sim/tim.h"

namespace sim {

namespace {

const char *timer_name(const TIM_TypeDef *r) {
    if (r == TIM1)
        return "TIM1";
    if (r == TIM2)
        return "TIM2";
    if (r == TIM15)
        return "TIM15";
    if (r == TIM16)
        return "TIM16";
    return "TIM?";
}

// The pin a channel reaches, when one is set to it (the buzzer's TIM2 channel 1:
// PA0, PA5 or PA15 in alternate function 1).
std::string channel_pin(const TIM_TypeDef *r, std::uint32_t idx) {
    if (r != TIM2 || idx != 0)
        return "";
    for (unsigned pin : {0u, 5u, 15u}) {
        const bool alternate = ((GPIOA_regs.MODER >> (2 * pin)) & 3u) == 2u;
        const unsigned af = (GPIOA_regs.AFR[pin >> 3] >> (4 * (pin & 7u))) & 0xFu;
        if (alternate && af == 1u)
            return "PA" + std::to_string(pin);
    }
    return "";
}

class ToneModel final : public Board::Model {
  public:
    explicit ToneModel(Board &b) : b_(b) {
        b_.add_finisher([this] {
            if (tones_ != 0)
                b_.summary().note("tones", std::to_string(tones_) + ", the last " + last_);
        });
    }

    struct Playing {
        bool on = false;
        Time since = 0;
        std::uint32_t arr = 0, psc = 0;
    };
    Playing playing_[6][6];  // by timer slot, channel

    void started(TIM_TypeDef *r, std::uint32_t idx) {
        Playing &p = slot(r, idx);
        if (p.on)
            return;
        p = Playing{true, b_.now(), r->ARR, r->PSC & 0xFFFFu};
    }

    void stopped(TIM_TypeDef *r, std::uint32_t idx) {
        Playing &p = slot(r, idx);
        if (!p.on)
            return;
        p.on = false;
        const bool apb2 = r == TIM1 || r == TIM15 || r == TIM16;
        const std::uint64_t hz = rcc_timer_hz(apb2 ? 2 : 1);
        // Frequency in millihertz: counter clock / (ARR + 1).
        const std::uint64_t mhz =
            (hz * 1000u + (p.psc + 1u) * (p.arr + 1ull) / 2) / ((p.psc + 1u) * (p.arr + 1ull));
        char freq[32];
        std::snprintf(freq, sizeof freq, "%llu.%03llu", static_cast<unsigned long long>(mhz / 1000),
                      static_cast<unsigned long long>(mhz % 1000));
        const Time length = b_.now() - p.since;
        ++tones_;
        last_ = std::string(freq) + " Hz for " + format_seconds(length) + " on " + timer_name(r) +
                " channel " + std::to_string(idx + 1);
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "tone")
                .field("timer", timer_name(r))
                .field("channel", idx + 1u)
                .field("pin", channel_pin(r, idx))
                .field("freq_hz", freq)
                .field("length_ns", length)
                .field_bool("changed", r->ARR != p.arr || (r->PSC & 0xFFFFu) != p.psc)
                .end();
    }

  private:
    Playing &slot(const TIM_TypeDef *r, std::uint32_t idx) {
        const int t = r == TIM1 ? 0 : r == TIM2 ? 1 : r == TIM15 ? 2 : r == TIM16 ? 3 : 4;
        return playing_[t][idx % 6];
    }

    Board &b_;
    std::uint64_t tones_ = 0;
    std::string last_;
};

}  // namespace

void tone_started(TIM_TypeDef *timer, std::uint32_t channel_index) {
    board().model<ToneModel>().started(timer, channel_index);
}

void tone_stopped(TIM_TypeDef *timer, std::uint32_t channel_index) {
    board().model<ToneModel>().stopped(timer, channel_index);
}

}  // namespace sim
