// The six-axis motion sensor (ICM-42670-P) on I2C1 at 7-bit address 0x68, fed from
// the scenario's motion recording.
//
// Its registers as the firmware uses them: identity 0x67 at 0x75; power management
// at 0x1F (bits 3:2 gyroscope mode, 1:0 accelerometer mode); gyroscope and
// accelerometer configuration at 0x20 and 0x21 (bits 6:5 full scale, 3:0 output
// data rate); temperature at 0x09 and the 12 data bytes from 0x0B (accelerometer X,
// Y, Z, gyroscope X, Y, Z, each high byte first). The register pointer is written
// with the first byte of a write, advances with every byte read or written (any
// burst length; after 0x7F it wraps to 0x00) and is kept across a STOP. A sensor
// that is off, still starting, or in standby reads -32768 on each of its axes.
// Each sensor samples at its output data rate and holds the latest sample until the
// next one; a read burst sees one consistent sample (the data registers are latched
// as the burst starts).
#include <algorithm>
#include <array>
#include <string>

#include "sim/devices.h"
#include "sim/i2c.h"

namespace sim {

namespace {

constexpr std::uint8_t kAddress = 0x68;
constexpr std::uint8_t kWhoAmI = 0x67;
enum Reg : std::uint8_t {
    kSignalPathReset = 0x02,  // bit 4: soft reset
    kTempData1 = 0x09,
    kAccelDataX1 = 0x0B,
    kGyroDataZ0 = 0x16,
    kPwrMgmt0 = 0x1F,
    kGyroConfig0 = 0x20,
    kAccelConfig0 = 0x21,
    kWhoAmIReg = 0x75,
};
constexpr std::uint8_t kSoftReset = 0x10;

// ICM-42670-P datasheet (DS-000451): register access 1 ms after power-up or a
// reset; valid data 10 ms (accelerometer) and 30 ms (gyroscope) after a sensor is
// switched on from off; no register writes for 200 us after a power mode change.
constexpr Time kRegisterAccessNs = 1000000;
constexpr Time kAccelStartNs = 10000000;
constexpr Time kGyroStartNs = 30000000;
constexpr Time kModeSettleNs = 200000;

constexpr std::int16_t kInvalid = -32768;

// Output data rate codes 5 (1.6 kHz) to 15 (1.5625 Hz): the sampling period.
Time odr_period(std::uint8_t code) {
    static const Time periods[] = {625000,   1250000,  2500000,   5000000,   10000000, 20000000,
                                   40000000, 80000000, 160000000, 320000000, 640000000};
    return code >= 5 && code <= 15 ? periods[code - 5] : 0;
}

// Counts of the ±4 g / ±500 °/s recording at full-scale code `fs` (0 is the widest
// range, 2 the recording's own, 3 the narrowest), saturating at ±32767: the sensor
// never reports -32768 for data it has.
std::int16_t rescale(std::int32_t v, std::uint8_t fs) {
    std::int64_t x = v;
    if (fs == 3) {
        x *= 2;
    } else if (fs < 2) {
        const std::int64_t d = fs == 0 ? 4 : 2;
        x = x >= 0 ? (x + d / 2) / d : -((-x + d / 2) / d);
    }
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(x, -32767, 32767));
}

class MotionSensor final : public Board::Model, public I2cDevice, public EventSink {
  public:
    explicit MotionSensor(Board &b) : b_(b) {
        reset(0);
        b_.add_finisher([this] { summarise(); });
    }

    void setup(const DevicePlan &plan, const MotionRecording &motion) {
        motion_ = &motion;
        resampling_ = plan.motion.resampling;
        faults_ = plan.faults;
        Time stuck_on = kNever;  // a held data line, from each 'on' to the next 'off'
        for (std::size_t i = 0; i < faults_.size(); ++i) {
            const DeviceFault &f = faults_[i];
            if (f.kind == DeviceFaultKind::I2cStuck) {
                if (f.count != 0 && stuck_on == kNever) {
                    stuck_on = f.at_ns;
                } else if (f.count == 0 && stuck_on != kNever) {
                    i2c_stuck_interval(1, stuck_on, f.at_ns);
                    stuck_on = kNever;
                }
            } else if (f.at_ns == 0) {
                apply(f);
            } else {
                b_.sched().schedule(f.at_ns, this, i);
            }
        }
        if (stuck_on != kNever)
            i2c_stuck_interval(1, stuck_on, kNever);
        i2c_attach(1, kAddress, this);
    }

    // ---- I2cDevice ----------------------------------------------------------
    bool address(Time t, bool read) override {
        if (t < available_at_)
            return false;
        if (nack_left_ != 0) {
            if (nack_left_ != kFaultAlways)
                --nack_left_;
            return false;
        }
        first_write_ = !read;
        if (read)
            latch(t);
        return true;
    }

    bool write(Time t, std::uint8_t byte) override {
        if (first_write_) {
            first_write_ = false;
            ptr_ = byte & 0x7Fu;
            return true;
        }
        store(t, ptr_, byte);
        ptr_ = (ptr_ + 1u) & 0x7Fu;
        return true;
    }

    std::uint8_t read(Time) override {
        std::uint8_t v = regs_[ptr_];
        if (ptr_ >= kTempData1 && ptr_ <= kGyroDataZ0) {
            v = latched_[ptr_ - kTempData1];
            burst_data_ = true;
        }
        ptr_ = (ptr_ + 1u) & 0x7Fu;
        return v;
    }

    void stop(Time t) override {
        if (burst_data_) {
            ++data_reads_;
            firing_sensor_read(t);
            if (burst_invalid_)
                ++invalid_reads_;
        }
        burst_data_ = burst_invalid_ = false;
    }

    void on_event(Time, std::uint64_t index) override { apply(faults_[index]); }

  private:
    // Power-on state (also after a reset): sensors off, configuration at its
    // defaults, the register pointer at 0.
    void reset(Time t) {
        regs_.fill(0);
        regs_[kGyroConfig0] = 0x06;
        regs_[kAccelConfig0] = 0x06;
        regs_[kWhoAmIReg] = kWhoAmI;
        ptr_ = 0;
        accel_from_ = gyro_from_ = kNever;
        mode_changed_at_ = kNever;
        available_at_ = t + kRegisterAccessNs;
    }

    void apply(const DeviceFault &f) {
        switch (f.kind) {
            case DeviceFaultKind::I2cNack:
                nack_left_ = f.count;
                break;
            case DeviceFaultKind::SensorReset:
                reset(b_.now());
                ++resets_;
                break;
            case DeviceFaultKind::I2cStuck:
                return;
        }
        if (b_.trace().enabled()) {
            const std::string how = f.kind == DeviceFaultKind::SensorReset ? "once"
                                    : f.count == 0                         ? "off"
                                    : f.count == kFaultAlways              ? "always"
                                                              : std::to_string(f.count);
            b_.trace()
                .begin(b_.now(), "device_fault")
                .field("fault", device_fault_name(f.kind))
                .field("count", how)
                .end();
        }
    }

    void store(Time t, std::uint8_t reg, std::uint8_t value) {
        if (mode_changed_at_ != kNever && t - mode_changed_at_ < kModeSettleNs &&
            b_.trace().enabled())
            b_.trace()
                .begin(t, "sensor_warning")
                .field("what", "register write " + std::to_string((t - mode_changed_at_) / 1000) +
                                   " us after a power mode change (the datasheet asks for 200 us)")
                .end();
        if ((reg >= kTempData1 && reg <= kGyroDataZ0) || reg == kWhoAmIReg)
            return;  // read-only
        switch (reg) {
            case kSignalPathReset:
                if (value & kSoftReset) {
                    reset(t);
                    ++resets_;
                }
                return;
            case kPwrMgmt0:
                power(t, value);
                return;
            case kGyroConfig0:
            case kAccelConfig0:
                configure(t, reg, value);
                return;
            default:
                regs_[reg] = value;
        }
    }

    void power(Time t, std::uint8_t value) {
        const std::uint8_t old = regs_[kPwrMgmt0];
        regs_[kPwrMgmt0] = value;
        const unsigned accel = value & 3u, gyro = (value >> 2) & 3u;
        const bool accel_was = (old & 3u) >= 2u, accel_on = accel >= 2u;
        const bool gyro_was = ((old >> 2) & 3u) == 3u, gyro_on = gyro == 3u;
        if (gyro == 2u)
            b_.halt("motion sensor: gyroscope mode 2 (reserved) written to register 0x1F");
        if (accel_on && !accel_was)
            accel_from_ = t + kAccelStartNs;
        if (!accel_on)
            accel_from_ = kNever;
        if (gyro_on && !gyro_was)
            gyro_from_ = t + kGyroStartNs;
        if (!gyro_on)
            gyro_from_ = kNever;
        if (value != old) {
            mode_changed_at_ = t;
            if (b_.trace().enabled()) {
                static const char *const accel_names[] = {"off", "off", "low-power", "low-noise"};
                static const char *const gyro_names[] = {"off", "standby", "reserved", "low-noise"};
                b_.trace()
                    .begin(t, "sensor_mode")
                    .field("accel", accel_names[accel])
                    .field("gyro", gyro_names[gyro])
                    .end();
            }
        }
    }

    void configure(Time t, std::uint8_t reg, std::uint8_t value) {
        const std::uint8_t odr = value & 0x0Fu;
        const bool gyro = reg == kGyroConfig0;
        if (odr_period(odr) == 0 || (gyro && odr > 12))
            b_.halt("motion sensor: output data rate code " + std::to_string(odr) +
                    " (reserved) written to register 0x" + (gyro ? "20" : "21"));
        const std::uint8_t old = regs_[reg];
        regs_[reg] = value & 0x6Fu;
        // A new rate restarts the sampling from this instant.
        Time &from = gyro ? gyro_from_ : accel_from_;
        if ((old & 0x0Fu) != odr && from != kNever)
            from = std::max(from, t);
        if (b_.trace().enabled() && (old & 0x6Fu) != (value & 0x6Fu))
            b_.trace()
                .begin(t, "sensor_config")
                .field("sensor", gyro ? "gyro" : "accel")
                .field("full_scale", (value >> 5) & 3u)
                .field("odr_code", odr)
                .end();
    }

    // The sample a sensor holds at `t`: its latest sampling instant's value.
    Time sample_time(Time t, Time from, std::uint8_t config) const {
        const Time period = odr_period(config & 0x0Fu);
        return from + (t - from) / period * period;
    }

    std::array<std::int16_t, 6> recorded(Time ts) const {
        if (motion_ == nullptr || motion_->empty())
            return {8192, 0, 0, 0, 0, 0};  // standing still: 1 g along the sensor's X
        const std::vector<Time> &times = motion_->t;
        // The last sample at or before ts (the first one before the recording starts).
        std::size_t i = hint_;
        if (i >= times.size() || times[i] > ts)
            i = 0;
        if (i + 1 < times.size() && times[i + 1] <= ts) {
            if (i + 8 < times.size() && times[i + 8] <= ts)
                i = static_cast<std::size_t>(std::upper_bound(times.begin(), times.end(), ts) -
                                             times.begin()) -
                    1;
            else
                while (i + 1 < times.size() && times[i + 1] <= ts) ++i;
        }
        hint_ = i;
        const auto &a = motion_->v[i];
        if (resampling_ == Resampling::Hold || ts <= times[i] || i + 1 >= times.size())
            return a;
        const auto &c = motion_->v[i + 1];
        const std::int64_t num = static_cast<std::int64_t>(ts - times[i]);
        const std::int64_t den = static_cast<std::int64_t>(times[i + 1] - times[i]);
        std::array<std::int16_t, 6> out{};
        for (std::size_t k = 0; k < 6; ++k) {
            const std::int64_t d = (static_cast<std::int64_t>(c[k]) - a[k]) * num;
            const std::int64_t step =
                d >= 0 ? (2 * d + den) / (2 * den) : -((-2 * d + den) / (2 * den));
            out[k] = static_cast<std::int16_t>(a[k] + step);
        }
        return out;
    }

    // The data registers as a read burst starting at `t` sees them.
    void latch(Time t) {
        const bool accel_ok = t >= accel_from_;
        const bool gyro_ok = t >= gyro_from_;
        std::array<std::int16_t, 7> w{};  // temperature, then the six axes
        w.fill(kInvalid);
        if (accel_ok || gyro_ok)
            w[0] = 0;  // 25 °C
        if (accel_ok) {
            const auto s = recorded(sample_time(t, accel_from_, regs_[kAccelConfig0]));
            const std::uint8_t fs = (regs_[kAccelConfig0] >> 5) & 3u;
            for (int k = 0; k < 3; ++k) w[1 + k] = rescale(s[k], fs);
        }
        if (gyro_ok) {
            const auto s = recorded(sample_time(t, gyro_from_, regs_[kGyroConfig0]));
            const std::uint8_t fs = (regs_[kGyroConfig0] >> 5) & 3u;
            for (int k = 0; k < 3; ++k) w[4 + k] = rescale(s[3 + k], fs);
        }
        for (std::size_t k = 0; k < w.size(); ++k) {
            latched_[2 * k] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(w[k]) >> 8);
            latched_[2 * k + 1] = static_cast<std::uint8_t>(w[k] & 0xFF);
        }
        burst_invalid_ = !accel_ok || !gyro_ok;
    }

    void summarise() {
        if (data_reads_ == 0 && resets_ == 0)
            return;
        b_.summary().note("motion sensor", std::to_string(data_reads_) + " data reads, " +
                                               std::to_string(invalid_reads_) +
                                               " of them with data not valid, " +
                                               std::to_string(resets_) + " resets");
    }

    Board &b_;
    std::array<std::uint8_t, 128> regs_{};
    std::array<std::uint8_t, 14> latched_{};  // 0x09 .. 0x16 as latched for a read burst
    std::uint8_t ptr_ = 0;
    bool first_write_ = false;
    Time accel_from_ = kNever;  // first valid sample; kNever while off
    Time gyro_from_ = kNever;
    Time mode_changed_at_ = kNever;
    Time available_at_ = 0;
    std::uint32_t nack_left_ = 0;
    const MotionRecording *motion_ = nullptr;
    Resampling resampling_ = Resampling::Hold;
    mutable std::size_t hint_ = 0;
    std::vector<DeviceFault> faults_;
    bool burst_data_ = false, burst_invalid_ = false;
    std::uint64_t data_reads_ = 0, invalid_reads_ = 0, resets_ = 0;
};

}  // namespace

void install_motion_sensor(Board &b, const DevicePlan &plan, const MotionRecording &motion) {
    b.model<MotionSensor>().setup(plan, motion);
}

}  // namespace sim
