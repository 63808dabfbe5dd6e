// I2C masters and the vendor HAL's blocking transfers (see sim/i2c.h).
//
// The HAL functions follow the vendor's code step by step: the same state and lock
// checks, the 25 ms wait for a free bus before every transfer, one wait per flag
// (TXIS, RXNE, TC, STOPF) under the call's time-out counted from its start, and on a
// missing acknowledge the wait for the STOP the hardware sends after it, the
// HAL_I2C_ERROR_AF code and the handle left ready. A wait that times out leaves the
// peripheral in the middle of its transfer, holding the bus, as the vendor's code
// leaves it on the chip: every later transfer then finds the bus busy until the
// peripheral is disabled (HAL_I2C_Init, HAL_I2C_DeInit and the filter settings do).
#include "sim/i2c.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sim/handle.h"
#include "sim/hal_timeout.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

// The vendor HAL's fixed wait for a free bus (I2C_TIMEOUT_BUSY).
constexpr std::uint32_t kBusyTimeoutMs = 25;
// STM32L431 datasheet, I2C analog filter: spikes up to 50 ns (minimum) are
// suppressed, so SCL edges are seen this much later when the filter is on.
constexpr Time kAnalogFilterNs = 50;
// Reference manual, I2C master clock generation: each SCL edge is synchronised
// with the kernel clock in 2 to 3 kernel cycles (3 taken here), after the digital
// filter's DNF cycles.
constexpr std::uint32_t kSyncCycles = 3;

struct BusInfo {
    I2C_TypeDef *regs;
    const char *name;
    std::uint32_t clock;  // RCC peripheral clock selector
};
const BusInfo kBuses[] = {
    {&I2C1_regs, "I2C1", RCC_PERIPHCLK_I2C1},
    {&I2C2_regs, "I2C2", RCC_PERIPHCLK_I2C2},
    {&I2C3_regs, "I2C3", RCC_PERIPHCLK_I2C3},
};
constexpr int kBusCount = 3;

int bus_index(const I2C_TypeDef *r) {
    for (int i = 0; i < kBusCount; ++i)
        if (kBuses[i].regs == r)
            return i;
    return -1;
}

std::string hex(std::uint8_t b) {
    static const char d[] = "0123456789abcdef";
    return std::string{d[b >> 4], d[b & 15]};
}

class I2cModel final : public Board::Model, public EventSink {
  public:
    explicit I2cModel(Board &b) : b_(b) {
        for (const BusInfo &i : kBuses) i.regs->ISR = I2C_ISR_TXE;  // reset value
        b_.add_finisher([this] { summarise(); });
    }

    struct Bus {
        std::array<I2cDevice *, 128> devices{};
        std::vector<std::pair<Time, Time>> stuck;  // data line held low, sorted
        bool transferring = false;  // a transfer runs (for a caller that interrupts it)
        bool wedged = false;        // a transfer waits for data the HAL will never give
        Time pe_reset_at = 0;       // the peripheral was last disabled here
        std::uint64_t transfers = 0, nacks = 0, timeouts = 0;
    };
    Bus bus_[kBusCount];

    // The interval of stuck data line that contains `t`, if any.
    const std::pair<Time, Time> *stuck_at(int i, Time t) const {
        for (const auto &s : bus_[i].stuck)
            if (s.first <= t && t < s.second)
                return &s;
        return nullptr;
    }

    // Instant at which a bus that runs `dur` from `from` gets there, standing still
    // while the data line is held; kNever when it never comes free again.
    Time after(int i, Time from, Time dur) const {
        if (from == kNever)
            return kNever;
        Time t = from;
        Time left = dur;
        for (const auto &[on, off] : bus_[i].stuck) {
            if (off <= t)
                continue;
            if (on >= t + left && !(left == 0 && on == t))
                break;
            if (on > t) {
                left -= on - t;
                t = on;
            }
            if (off == kNever)
                return kNever;
            t = off;
        }
        return t + left;
    }

    // BUSY as the peripheral shows it: set by a START it saw (a held data line that
    // fell while it was enabled counts) until a STOP or until it is disabled.
    bool busy(int i, Time t) const {
        const Bus &bus = bus_[i];
        if (bus.wedged || bus.transferring)
            return true;
        const auto *s = stuck_at(i, t);
        return s && s->first >= bus.pe_reset_at;
    }
    // When BUSY will clear by itself (kNever: only a reset of the peripheral clears it).
    Time busy_ends(int i, Time t) const {
        const Bus &bus = bus_[i];
        if (bus.wedged || bus.transferring)
            return kNever;
        const auto *s = stuck_at(i, t);
        return s && s->first >= bus.pe_reset_at ? s->second : t;
    }

    void show_busy(int i) {
        I2C_TypeDef *r = kBuses[i].regs;
        r->ISR = busy(i, b_.now()) ? (r->ISR | I2C_ISR_BUSY) : (r->ISR & ~I2C_ISR_BUSY);
    }

    // Disabling the peripheral (PE = 0) abandons whatever it was doing.
    void peripheral_reset(int i) {
        Bus &bus = bus_[i];
        bus.wedged = false;
        bus.transferring = false;
        bus.pe_reset_at = b_.now();
        kBuses[i].regs->ISR = I2C_ISR_TXE;
        show_busy(i);
    }

    void add_stuck(int i, Time on, Time off) {
        auto &v = bus_[i].stuck;
        v.emplace_back(on, off);
        std::sort(v.begin(), v.end());
        b_.sched().schedule(on, this, static_cast<std::uint64_t>(i) * 2);
        if (off != kNever)
            b_.sched().schedule(off, this, static_cast<std::uint64_t>(i) * 2 + 1);
    }

    void on_event(Time, std::uint64_t tag) override {
        const int i = static_cast<int>(tag / 2);
        show_busy(i);
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "i2c_stuck")
                .field("bus", kBuses[i].name)
                .field_bool("on", (tag & 1) == 0)
                .end();
    }

    void summarise() {
        for (int i = 0; i < kBusCount; ++i) {
            const Bus &bus = bus_[i];
            if (bus.transfers == 0)
                continue;
            b_.summary().note(kBuses[i].name, std::to_string(bus.transfers) + " transfers, " +
                                                  std::to_string(bus.nacks) +
                                                  " not acknowledged, " +
                                                  std::to_string(bus.timeouts) + " timed out");
        }
    }

    Board &b_;
};

I2cModel &model() {
    return board().model<I2cModel>();
}

// Bit period of the bus as the timing register and the filters make it.
struct BitTime {
    std::uint64_t cycles;  // kernel clock cycles per bit
    std::uint64_t hz;
    Time filter_ns;  // analog filter delay per bit
    Time of(std::uint64_t bits) const {
        return scaled_ceil(bits * cycles, 1000000000u, hz) + bits * filter_ns;
    }
};

BitTime bit_time(int i) {
    const I2C_TypeDef *r = kBuses[i].regs;
    const std::uint32_t t = r->TIMINGR;
    const std::uint64_t presc = ((t >> 28) & 0xFu) + 1u;
    const std::uint64_t scll = (t & 0xFFu) + 1u;
    const std::uint64_t sclh = ((t >> 8) & 0xFFu) + 1u;
    const std::uint64_t dnf = (r->CR1 & I2C_CR1_DNF) >> I2C_CR1_DNF_Pos;
    const std::uint32_t hz = HAL_RCCEx_GetPeriphCLKFreq(kBuses[i].clock);
    if (hz == 0)
        board().halt(std::string(kBuses[i].name) +
                     " has no kernel clock: a transfer would never start");
    const bool analog = (r->CR1 & I2C_CR1_ANFOFF) == 0;
    return BitTime{presc * (scll + sclh) + 2u * (kSyncCycles + dnf), hz,
                   analog ? 2 * kAnalogFilterNs : 0};
}

// Why a transfer ended, for the trace.
enum class Outcome { Ok, Nack, Timeout, Busy };

// One blocking transfer of the HAL: the bus position in bit periods since the
// START, the HAL's waits on it, the device's answers, the trace record. The
// peripheral buffers a byte each way, so an interrupt that holds the core for
// less than a byte's time does not stretch the bus; the firmware is taken to
// serve every flag within that time.
class Session {
  public:
    Session(I2C_HandleTypeDef *h, int i, std::uint32_t tickstart, std::uint32_t timeout,
            const char *op)
        : b_(board()),
          m_(model()),
          h_(h),
          i_(i),
          tickstart_(tickstart),
          timeout_(tickstart, timeout),
          op_(op),
          start_(b_.now()),
          tracing_(b_.trace().enabled()),
          rxne_keeps_mode_(std::strcmp(op, "read") == 0) {}

    // The bus is free (the vendor's 25 ms wait before every transfer).
    bool free_bus() {
        if (!m_.busy(i_, b_.now()))
            return true;
        m_.show_busy(i_);
        const HalTimeout busy(tickstart_, kBusyTimeoutMs);
        if (busy.until(m_.busy_ends(i_, b_.now()), kBuses[i_].name)) {
            m_.show_busy(i_);
            return true;
        }
        h_->ErrorCode |= HAL_I2C_ERROR_TIMEOUT;
        h_->State = HAL_I2C_STATE_READY;
        h_->Mode = HAL_I2C_MODE_NONE;
        __HAL_UNLOCK(h_);
        outcome_ = Outcome::Busy;
        record();
        return false;
    }

    // The start every blocking transfer shares: the bus-free wait, then the handle
    // set for the transfer.
    bool start(HAL_I2C_StateTypeDef state, HAL_I2C_ModeTypeDef mode) {
        if (!free_bus())
            return false;
        h_->State = state;
        h_->Mode = mode;
        h_->ErrorCode = HAL_I2C_ERROR_NONE;
        h_->XferISR = nullptr;
        return true;
    }

    // A memory transfer's device address and register address (one or two bytes).
    bool register_address(std::uint16_t dev, std::uint16_t mem, std::uint16_t size) {
        if (!address(dev, false))
            return false;
        if (size == I2C_MEMADD_SIZE_16BIT && !write(static_cast<std::uint8_t>(mem >> 8)))
            return false;
        return write(static_cast<std::uint8_t>(mem & 0xFFu));
    }

    // START (or repeated START) and the address; false when the call ends here.
    bool address(std::uint16_t dev_address, bool read) {
        I2C_TypeDef *r = kBuses[i_].regs;
        r->CR2 = (r->CR2 & ~(I2C_CR2_SADD | I2C_CR2_RD_WRN)) | (dev_address & I2C_CR2_SADD) |
                 (read ? I2C_CR2_RD_WRN : 0u);
        if (bits_ == 0) {
            // A disabled peripheral never starts; a held data line delays the START.
            tm_ = bit_time(i_);
            anchor_ = (r->CR1 & I2C_CR1_PE) ? m_.after(i_, b_.now(), 0) : kNever;
            m_.bus_[i_].transferring = true;
            ++m_.bus_[i_].transfers;
        }
        addr7_ = static_cast<std::uint8_t>((dev_address >> 1) & 0x7Fu);
        dev_ = m_.bus_[i_].devices[addr7_];
        bits_ += 10;  // START or repeated START, then the address and its acknowledge
        const Time at = pos(bits_);
        if (!reach(at))
            return false;
        const bool ack = dev_ != nullptr && dev_->address(at, read);
        return ack || nack();
    }

    bool write(std::uint8_t byte) {
        bits_ += 9;
        const Time at = pos(bits_);
        if (!reach(at))
            return false;
        if (tracing_)
            wrote_ += hex(byte);
        return dev_->write(at, byte) || nack();
    }

    bool read(std::uint8_t &byte) {
        bits_ += 9;
        const Time at = pos(bits_);
        if (!reach(at, !rxne_keeps_mode_))
            return false;
        byte = dev_->read(at);
        if (tracing_)
            got_ += hex(byte);
        return true;
    }

    // The STOP after the last byte; the handle is left ready.
    bool stop() {
        bits_ += 1;
        const Time at = pos(bits_);
        if (!reach_stop(at, false))
            return false;
        dev_->stop(at);
        finish_clock();
        I2C_TypeDef *r = kBuses[i_].regs;
        r->CR2 &=
            ~(I2C_CR2_SADD | I2C_CR2_HEAD10R | I2C_CR2_NBYTES | I2C_CR2_RELOAD | I2C_CR2_RD_WRN);
        h_->State = HAL_I2C_STATE_READY;
        h_->Mode = HAL_I2C_MODE_NONE;
        __HAL_UNLOCK(h_);
        m_.bus_[i_].transferring = false;
        record();
        return true;
    }

  private:
    Time pos(std::uint64_t bits) const { return m_.after(i_, anchor_, tm_.of(bits)); }

    // The vendor's wait for a flag that comes at `t`: true when it came first; false
    // when the time-out ran out first, the handle then left as the vendor leaves it.
    // While nothing else can happen before `t`, the clock is moved there only at
    // the end of the transfer (the same instants, fewer steps).
    bool reach(Time t, bool reset_mode = true) {
        const Time now = std::max(b_.now(), deferred_);
        if (t <= now)
            return true;
        if (t != kNever && t < b_.sched().next_time() && !timeout_.expired()) {
            deferred_ = t;
            return true;
        }
        if (b_.now() < deferred_)
            b_.advance_to(deferred_);
        return timeout_.until(t, op_) || timed_out(reset_mode);
    }

    // The STOP flag under the call's time-out. After a missing acknowledge the
    // vendor, once that time-out has run out, asks for a STOP itself and waits 25 ms
    // more.
    bool reach_stop(Time t, bool after_nack) {
        const Time now = std::max(b_.now(), deferred_);
        if (t <= now)
            return true;
        if (b_.now() < deferred_)
            b_.advance_to(deferred_);
        if (timeout_.until(t, op_) ||
            (after_nack && HalTimeout(HAL_GetTick(), kBusyTimeoutMs).until(t, op_)))
            return true;
        return timed_out(true);
    }

    // A wait ran out of time: the handle as the vendor leaves it, and the peripheral
    // left in its transfer, waiting for data or holding the clock line, until it is
    // disabled.
    bool timed_out(bool reset_mode) {
        h_->ErrorCode |= HAL_I2C_ERROR_TIMEOUT;
        h_->State = HAL_I2C_STATE_READY;
        if (reset_mode)
            h_->Mode = HAL_I2C_MODE_NONE;
        __HAL_UNLOCK(h_);
        I2cModel::Bus &bus = m_.bus_[i_];
        bus.wedged = true;
        bus.transferring = false;
        ++bus.timeouts;
        outcome_ = Outcome::Timeout;
        if (dev_)
            dev_->stop(b_.now());
        record();
        return false;
    }

    // No acknowledge at the present position: the hardware sends a STOP one bit
    // period later; the HAL waits for it, clears the flags and reports AF.
    bool nack() {
        ++m_.bus_[i_].nacks;
        bits_ += 1;
        const bool stopped = reach_stop(pos(bits_), true);
        if (!stopped) {
            h_->ErrorCode |= HAL_I2C_ERROR_AF;
            return false;
        }
        if (dev_)
            dev_->stop(pos(bits_));
        finish_clock();
        kBuses[i_].regs->CR2 &=
            ~(I2C_CR2_SADD | I2C_CR2_HEAD10R | I2C_CR2_NBYTES | I2C_CR2_RELOAD | I2C_CR2_RD_WRN);
        h_->ErrorCode |= HAL_I2C_ERROR_AF;
        h_->State = HAL_I2C_STATE_READY;
        h_->Mode = HAL_I2C_MODE_NONE;
        __HAL_UNLOCK(h_);
        m_.bus_[i_].transferring = false;
        outcome_ = Outcome::Nack;
        record();
        return false;
    }

    void finish_clock() {
        if (b_.now() < deferred_)
            b_.advance_to(deferred_);
    }

    void record() {
        m_.show_busy(i_);
        if (!tracing_)
            return;
        static const char *const names[] = {"ok", "nack", "timeout", "busy"};
        b_.trace()
            .begin(b_.now(), "i2c")
            .field("bus", kBuses[i_].name)
            .field("addr", addr7_)
            .field("op", op_)
            .field("wrote", wrote_)
            .field("read", got_)
            .field("result", names[static_cast<int>(outcome_)])
            .field("dur_ns", b_.now() - start_)
            .end();
    }

    Board &b_;
    I2cModel &m_;
    I2C_HandleTypeDef *h_;
    int i_;
    std::uint32_t tickstart_;
    HalTimeout timeout_;
    const char *op_;
    Time start_;
    bool tracing_;
    bool rxne_keeps_mode_;  // Master_Receive's RXNE wait leaves the mode on a time-out
    BitTime tm_{1, 1, 0};
    Time anchor_ = 0;
    std::uint64_t bits_ = 0;
    Time deferred_ = 0;
    I2cDevice *dev_ = nullptr;
    std::uint8_t addr7_ = 0;
    std::string wrote_, got_;
    Outcome outcome_ = Outcome::Ok;
};

// The part every blocking transfer shares before its bytes: state, lock, the
// handle, the free bus. Null when the call has already ended with `status`.
struct Prologue {
    int bus = -1;
    std::uint32_t tickstart = 0;
    HAL_StatusTypeDef status = HAL_OK;
};

Prologue begin(I2C_HandleTypeDef *h, const char *function) {
    Prologue p;
    if (h->State != HAL_I2C_STATE_READY) {
        p.status = HAL_BUSY;
        return p;
    }
    if (h->Lock == HAL_LOCKED) {
        p.status = HAL_BUSY;
        return p;
    }
    h->Lock = HAL_LOCKED;
    require_instance(h, function);
    p.bus = bus_index(h->Instance);
    if (p.bus < 0)
        board().halt(std::string(function) +
                     " on a handle whose Instance is not an I2C peripheral");
    p.tickstart = HAL_GetTick();
    return p;
}

[[noreturn]] void not_modelled(const char *what) {
    board().halt(std::string(what) + " is not modelled by the simulated board");
}

}  // namespace

void i2c_attach(int bus, std::uint8_t address7, I2cDevice *device) {
    model().bus_[bus - 1].devices[address7 & 0x7Fu] = device;
}

void i2c_stuck_interval(int bus, Time on, Time off) {
    model().add_stuck(bus - 1, on, off);
}

}  // namespace sim

using sim::Prologue;
using sim::Session;

extern "C" {

HAL_StatusTypeDef HAL_I2C_Init(I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    if (hi2c == nullptr)
        return HAL_ERROR;
    if (hi2c->State == HAL_I2C_STATE_RESET) {
        hi2c->Lock = HAL_UNLOCKED;
        const sim::FirmwareCode firmware;
        HAL_I2C_MspInit(hi2c);
    }
    sim::require_instance(hi2c, "HAL_I2C_Init");
    const int i = sim::bus_index(hi2c->Instance);
    if (i < 0)
        sim::board().halt("HAL_I2C_Init on a handle whose Instance is not an I2C peripheral");
    hi2c->State = HAL_I2C_STATE_BUSY;
    I2C_TypeDef *r = hi2c->Instance;
    __HAL_I2C_DISABLE(hi2c);
    sim::model().peripheral_reset(i);
    if (hi2c->Init.AddressingMode != I2C_ADDRESSINGMODE_7BIT)
        sim::board().halt("10-bit I2C addressing is not modelled by the simulated board");
    r->TIMINGR = hi2c->Init.Timing & 0xF0FFFFFFu;
    r->OAR1 = I2C_OAR1_OA1EN | hi2c->Init.OwnAddress1;
    r->CR2 = (r->CR2 & ~I2C_CR2_ADD10) | I2C_CR2_AUTOEND | I2C_CR2_NACK;
    r->OAR2 =
        hi2c->Init.DualAddressMode | hi2c->Init.OwnAddress2 | (hi2c->Init.OwnAddress2Masks << 8);
    r->CR1 = hi2c->Init.GeneralCallMode | hi2c->Init.NoStretchMode;
    __HAL_I2C_ENABLE(hi2c);
    hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
    hi2c->State = HAL_I2C_STATE_READY;
    hi2c->PreviousState = 0;
    hi2c->Mode = HAL_I2C_MODE_NONE;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_I2C_DeInit(I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    if (hi2c == nullptr)
        return HAL_ERROR;
    sim::require_instance(hi2c, "HAL_I2C_DeInit");
    hi2c->State = HAL_I2C_STATE_BUSY;
    __HAL_I2C_DISABLE(hi2c);
    const int i = sim::bus_index(hi2c->Instance);
    if (i >= 0)
        sim::model().peripheral_reset(i);
    {
        const sim::FirmwareCode firmware;
        HAL_I2C_MspDeInit(hi2c);
    }
    hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
    hi2c->State = HAL_I2C_STATE_RESET;
    hi2c->PreviousState = 0;
    hi2c->Mode = HAL_I2C_MODE_NONE;
    __HAL_UNLOCK(hi2c);
    return HAL_OK;
}

__weak void HAL_I2C_MspInit(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_MspDeInit(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}

HAL_StatusTypeDef HAL_I2C_Master_Transmit(I2C_HandleTypeDef *hi2c, uint16_t DevAddress,
                                          uint8_t *pData, uint16_t Size, uint32_t Timeout) {
    const sim::HalCall hal_call;
    const Prologue p = sim::begin(hi2c, "HAL_I2C_Master_Transmit");
    if (p.bus < 0)
        return p.status;
    Session s(hi2c, p.bus, p.tickstart, Timeout, "write");
    if (!s.start(HAL_I2C_STATE_BUSY_TX, HAL_I2C_MODE_MASTER))
        return HAL_ERROR;
    if (!s.address(DevAddress, false))
        return HAL_ERROR;
    for (uint16_t k = 0; k < Size; ++k) {
        if (!s.write(pData[k]))
            return HAL_ERROR;
    }
    hi2c->XferCount = 0;
    return s.stop() ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef HAL_I2C_Master_Receive(I2C_HandleTypeDef *hi2c, uint16_t DevAddress,
                                         uint8_t *pData, uint16_t Size, uint32_t Timeout) {
    const sim::HalCall hal_call;
    const Prologue p = sim::begin(hi2c, "HAL_I2C_Master_Receive");
    if (p.bus < 0)
        return p.status;
    Session s(hi2c, p.bus, p.tickstart, Timeout, "read");
    if (!s.start(HAL_I2C_STATE_BUSY_RX, HAL_I2C_MODE_MASTER))
        return HAL_ERROR;
    if (!s.address(DevAddress, true))
        return HAL_ERROR;
    for (uint16_t k = 0; k < Size; ++k) {
        if (!s.read(pData[k]))
            return HAL_ERROR;
    }
    hi2c->XferCount = 0;
    return s.stop() ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef HAL_I2C_Mem_Write(I2C_HandleTypeDef *hi2c, uint16_t DevAddress,
                                    uint16_t MemAddress, uint16_t MemAddSize, uint8_t *pData,
                                    uint16_t Size, uint32_t Timeout) {
    const sim::HalCall hal_call;
    if (hi2c->State == HAL_I2C_STATE_READY && (pData == nullptr || Size == 0u)) {
        hi2c->ErrorCode = HAL_I2C_ERROR_INVALID_PARAM;
        return HAL_ERROR;
    }
    const Prologue p = sim::begin(hi2c, "HAL_I2C_Mem_Write");
    if (p.bus < 0)
        return p.status;
    Session s(hi2c, p.bus, p.tickstart, Timeout, "mem_write");
    if (!s.start(HAL_I2C_STATE_BUSY_TX, HAL_I2C_MODE_MEM))
        return HAL_ERROR;
    if (!s.register_address(DevAddress, MemAddress, MemAddSize))
        return HAL_ERROR;
    for (uint16_t k = 0; k < Size; ++k) {
        if (!s.write(pData[k]))
            return HAL_ERROR;
    }
    hi2c->XferCount = 0;
    return s.stop() ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef HAL_I2C_Mem_Read(I2C_HandleTypeDef *hi2c, uint16_t DevAddress,
                                   uint16_t MemAddress, uint16_t MemAddSize, uint8_t *pData,
                                   uint16_t Size, uint32_t Timeout) {
    const sim::HalCall hal_call;
    if (hi2c->State == HAL_I2C_STATE_READY && (pData == nullptr || Size == 0u)) {
        hi2c->ErrorCode = HAL_I2C_ERROR_INVALID_PARAM;
        return HAL_ERROR;
    }
    const Prologue p = sim::begin(hi2c, "HAL_I2C_Mem_Read");
    if (p.bus < 0)
        return p.status;
    Session s(hi2c, p.bus, p.tickstart, Timeout, "mem_read");
    if (!s.start(HAL_I2C_STATE_BUSY_RX, HAL_I2C_MODE_MEM))
        return HAL_ERROR;
    if (!s.register_address(DevAddress, MemAddress, MemAddSize))
        return HAL_ERROR;
    // Software end: the register address, then a repeated START for reading.
    if (!s.address(DevAddress, true))
        return HAL_ERROR;
    for (uint16_t k = 0; k < Size; ++k) {
        if (!s.read(pData[k]))
            return HAL_ERROR;
    }
    hi2c->XferCount = 0;
    return s.stop() ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef HAL_I2C_IsDeviceReady(I2C_HandleTypeDef *hi2c, uint16_t DevAddress,
                                        uint32_t Trials, uint32_t Timeout) {
    const sim::HalCall hal_call;
    if (hi2c->State != HAL_I2C_STATE_READY)
        return HAL_BUSY;
    sim::require_instance(hi2c, "HAL_I2C_IsDeviceReady");
    const int i = sim::bus_index(hi2c->Instance);
    if (i < 0)
        sim::board().halt(
            "HAL_I2C_IsDeviceReady on a handle whose Instance is not an I2C peripheral");
    if (sim::model().busy(i, sim::board().now()))
        return HAL_BUSY;
    __HAL_LOCK(hi2c);
    hi2c->State = HAL_I2C_STATE_BUSY;
    hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
    uint32_t trials = 0;
    do {
        // Address only: a START, the address and, acknowledged or not, a STOP.
        Session s(hi2c, i, HAL_GetTick(), Timeout, "probe");
        if (s.address(DevAddress, false)) {
            if (!s.stop())
                return HAL_ERROR;
            hi2c->State = HAL_I2C_STATE_READY;
            return HAL_OK;
        }
        if (hi2c->ErrorCode & HAL_I2C_ERROR_TIMEOUT)
            return HAL_ERROR;
        // The failed probe left the handle ready and unlocked; the vendor's loop
        // keeps it busy and locked until the trials are over.
        hi2c->ErrorCode &= ~HAL_I2C_ERROR_AF;
        hi2c->State = HAL_I2C_STATE_BUSY;
        hi2c->Lock = HAL_LOCKED;
        ++trials;
    } while (trials < Trials);
    hi2c->State = HAL_I2C_STATE_READY;
    hi2c->ErrorCode |= HAL_I2C_ERROR_TIMEOUT;
    __HAL_UNLOCK(hi2c);
    return HAL_ERROR;
}

HAL_StatusTypeDef HAL_I2C_Slave_Transmit(I2C_HandleTypeDef *, uint8_t *, uint16_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Slave_Transmit (slave mode)");
}
HAL_StatusTypeDef HAL_I2C_Slave_Receive(I2C_HandleTypeDef *, uint8_t *, uint16_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Slave_Receive (slave mode)");
}
HAL_StatusTypeDef HAL_I2C_Master_Transmit_IT(I2C_HandleTypeDef *, uint16_t, uint8_t *, uint16_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Master_Transmit_IT (interrupt-driven I2C)");
}
HAL_StatusTypeDef HAL_I2C_Master_Receive_IT(I2C_HandleTypeDef *, uint16_t, uint8_t *, uint16_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Master_Receive_IT (interrupt-driven I2C)");
}
HAL_StatusTypeDef HAL_I2C_Mem_Write_IT(I2C_HandleTypeDef *, uint16_t, uint16_t, uint16_t, uint8_t *,
                                       uint16_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Mem_Write_IT (interrupt-driven I2C)");
}
HAL_StatusTypeDef HAL_I2C_Mem_Read_IT(I2C_HandleTypeDef *, uint16_t, uint16_t, uint16_t, uint8_t *,
                                      uint16_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2C_Mem_Read_IT (interrupt-driven I2C)");
}

// The blocking transfers raise no I2C interrupt (their enables stay off), so the
// handlers find nothing to serve.
void HAL_I2C_EV_IRQHandler(I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    sim::require_instance(hi2c, "HAL_I2C_EV_IRQHandler");
}
void HAL_I2C_ER_IRQHandler(I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    sim::require_instance(hi2c, "HAL_I2C_ER_IRQHandler");
}

__weak void HAL_I2C_MasterTxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_MasterRxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_SlaveTxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_SlaveRxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_MemTxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_MemRxCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_ErrorCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}
__weak void HAL_I2C_AbortCpltCallback(I2C_HandleTypeDef *hi2c) {
    (void)hi2c;
}

HAL_I2C_StateTypeDef HAL_I2C_GetState(const I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    return hi2c->State;
}
HAL_I2C_ModeTypeDef HAL_I2C_GetMode(const I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    return hi2c->Mode;
}
uint32_t HAL_I2C_GetError(const I2C_HandleTypeDef *hi2c) {
    const sim::HalCall hal_call;
    return hi2c->ErrorCode;
}

// The filter settings disable the peripheral while they change it, which also
// abandons a transfer it was stuck in.
HAL_StatusTypeDef HAL_I2CEx_ConfigAnalogFilter(I2C_HandleTypeDef *hi2c, uint32_t AnalogFilter) {
    const sim::HalCall hal_call;
    if (hi2c->State != HAL_I2C_STATE_READY)
        return HAL_BUSY;
    __HAL_LOCK(hi2c);
    sim::require_instance(hi2c, "HAL_I2CEx_ConfigAnalogFilter");
    hi2c->State = HAL_I2C_STATE_BUSY;
    __HAL_I2C_DISABLE(hi2c);
    const int i = sim::bus_index(hi2c->Instance);
    if (i >= 0)
        sim::model().peripheral_reset(i);
    hi2c->Instance->CR1 = (hi2c->Instance->CR1 & ~I2C_CR1_ANFOFF) | AnalogFilter;
    __HAL_I2C_ENABLE(hi2c);
    hi2c->State = HAL_I2C_STATE_READY;
    __HAL_UNLOCK(hi2c);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_I2CEx_ConfigDigitalFilter(I2C_HandleTypeDef *hi2c, uint32_t DigitalFilter) {
    const sim::HalCall hal_call;
    if (hi2c->State != HAL_I2C_STATE_READY)
        return HAL_BUSY;
    __HAL_LOCK(hi2c);
    sim::require_instance(hi2c, "HAL_I2CEx_ConfigDigitalFilter");
    hi2c->State = HAL_I2C_STATE_BUSY;
    __HAL_I2C_DISABLE(hi2c);
    const int i = sim::bus_index(hi2c->Instance);
    if (i >= 0)
        sim::model().peripheral_reset(i);
    hi2c->Instance->CR1 = (hi2c->Instance->CR1 & ~I2C_CR1_DNF) | (DigitalFilter << 8u);
    __HAL_I2C_ENABLE(hi2c);
    hi2c->State = HAL_I2C_STATE_READY;
    __HAL_UNLOCK(hi2c);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_I2CEx_EnableWakeUp(I2C_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2CEx_EnableWakeUp (wake-up from stop mode)");
}
HAL_StatusTypeDef HAL_I2CEx_DisableWakeUp(I2C_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2CEx_DisableWakeUp (wake-up from stop mode)");
}
void HAL_I2CEx_EnableFastModePlus(uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_I2CEx_EnableFastModePlus");
}
void HAL_I2CEx_DisableFastModePlus(uint32_t) {
    const sim::HalCall hal_call;
}

}  // extern "C"
