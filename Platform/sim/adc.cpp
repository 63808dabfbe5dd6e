// ADC1 of the simulated chip with the battery sense input on channel 6 (PA1), and
// the vendor HAL's calls for single software-started regular conversions, polled or
// with the conversion-complete interrupt.
//
// A conversion samples the input for the channel's sampling time, converts for 12.5
// ADC clock cycles (10.5, 8.5, 6.5 at 10, 8, 6 bits) and then sets EOC and EOS; a
// result arriving while the previous one was not read sets OVR and, with the
// overrun mode "data preserved", is dropped. The ADC clock is the asynchronous
// kernel clock (RCC ADCSEL) through the common prescaler, or HCLK / 1, 2, 4. The
// input is the scenario's battery counts at the end of sampling. Continuous,
// scanned, triggered, injected, DMA and oversampled conversions halt the board.
#include <string>

#include "sim/devices.h"
#include "sim/handle.h"
#include "sim/hal_timeout.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint32_t kBatteryChannel = 6;  // PA1
// STM32L431 datasheet, ADC characteristics: the voltage regulator's start-up time,
// the power-up time (one conversion), and the calibration time.
constexpr Time kRegulatorStartNs = 20000;
constexpr std::uint32_t kCalibrationCycles = 116;
// The vendor HAL's ADC enable time-out (ADC_ENABLE_TIMEOUT).
constexpr std::uint32_t kEnableTimeoutMs = 2;

// Sampling times in half ADC clock cycles (2.5 .. 640.5 cycles).
constexpr std::uint32_t kSampleHalfCycles[8] = {5, 13, 25, 49, 95, 185, 495, 1281};

class AdcModel final : public Board::Model, public EventSink {
  public:
    explicit AdcModel(Board &b) : b_(b) {
        ADC1_regs.CR = ADC_CR_DEEPPWD;  // reset value: deep power-down
        isr_ = 0;
        b_.set_level_source(ADC1_IRQn, [this] { return line(); });
        b_.add_wake_source(
            WakeSource{[this] { return converting_ && (ADC1_regs.IER & kIrqFlags); }, ADC1_IRQn});
    }

    static constexpr std::uint32_t kIrqFlags = ADC_ISR_EOC | ADC_ISR_EOS | ADC_ISR_OVR;

    // ISR flags clear by writing 1 (__HAL_ADC_CLEAR_FLAG stores the mask): a value
    // the firmware stored over the flags the hardware holds clears those bits. (A
    // mask equal to the flags held cannot be told from no write; the HAL's own
    // calls clear through the model.)
    void sync() {
        const std::uint32_t r = ADC1_regs.ISR;
        if (r != isr_) {
            isr_ &= ~r;
            ADC1_regs.ISR = isr_;
        }
    }
    void set_isr(std::uint32_t v) {
        isr_ = v;
        ADC1_regs.ISR = v;
    }
    std::uint32_t isr() {
        sync();
        return isr_;
    }
    bool line() { return (isr() & ADC1_regs.IER & kIrqFlags) != 0; }

    // The ADC clock in Hz (0: none).
    std::uint64_t clock_hz() const {
        const std::uint32_t ccr = ADC1_COMMON_regs.CCR;
        const std::uint32_t ckmode = (ccr & ADC_CCR_CKMODE) >> ADC_CCR_CKMODE_Pos;
        if (ckmode != 0) {
            static const std::uint32_t div[4] = {1, 1, 2, 4};
            return HAL_RCC_GetHCLKFreq() / div[ckmode];
        }
        static const std::uint32_t presc[12] = {1, 2, 4, 6, 8, 10, 12, 16, 32, 64, 128, 256};
        const std::uint32_t p = (ccr & ADC_CCR_PRESC) >> ADC_CCR_PRESC_Pos;
        return HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_ADC) / presc[p < 12 ? p : 11];
    }
    Time cycles_ns(std::uint64_t half_cycles) const {
        const std::uint64_t hz = clock_hz();
        return hz == 0 ? kNever : scaled_ceil(half_cycles, 1000000000u, 2 * hz);
    }

    std::uint32_t channel() const { return (ADC1_regs.SQR1 & ADC_SQR1_SQ1) >> ADC_SQR1_SQ1_Pos; }
    std::uint32_t sample_half_cycles() const {
        const std::uint32_t ch = channel();
        const std::uint32_t smpr = ch < 10 ? ADC1_regs.SMPR1 : ADC1_regs.SMPR2;
        return kSampleHalfCycles[(smpr >> (3 * (ch % 10))) & 7u];
    }
    std::uint32_t convert_half_cycles() const {
        const std::uint32_t res = (ADC1_regs.CFGR & ADC_CFGR_RES) >> 3;
        return 25 - 4 * res;  // 12.5, 10.5, 8.5, 6.5 cycles
    }
    Time conversion_ns() const { return cycles_ns(sample_half_cycles() + convert_half_cycles()); }

    void check_supported(const char *function) const {
        const std::uint32_t cfgr = ADC1_regs.CFGR;
        const char *what = nullptr;
        if (cfgr & ADC_CFGR_CONT)
            what = "continuous conversions";
        else if (cfgr & ADC_CFGR_EXTEN)
            what = "triggered conversions";
        else if (cfgr & ADC_CFGR_DMAEN)
            what = "DMA transfers";
        else if (ADC1_regs.SQR1 & ADC_SQR1_L)
            what = "a sequence of more than one conversion";
        else if (ADC1_regs.CFGR2 & ADC_CFGR2_ROVSE)
            what = "oversampling";
        else if (channel() != kBatteryChannel)
            what = "a channel other than 6 (the battery input, PA1)";
        if (what)
            b_.halt(std::string(function) + ": ADC1 " + what +
                    " are not modelled by the simulated board");
    }

    // ADSTART: one conversion of the sequence's channel.
    void start() {
        ADC1_regs.CR |= ADC_CR_ADSTART;
        converting_ = true;
        started_ = b_.now();
        sample_end_ = started_ + cycles_ns(sample_half_cycles());
        const Time end = started_ + conversion_ns();
        b_.sched().schedule(end, this, ++gen_);
    }

    void on_event(Time, std::uint64_t tag) override {
        if (tag != gen_ || !converting_)
            return;
        converting_ = false;
        ADC1_regs.CR &= ~ADC_CR_ADSTART;
        sync();
        std::uint32_t v = battery(sample_end_);
        v >>= 2 * ((ADC1_regs.CFGR & ADC_CFGR_RES) >> 3);
        if (ADC1_regs.CFGR & ADC_CFGR_ALIGN)
            v <<= 4 + 2 * ((ADC1_regs.CFGR & ADC_CFGR_RES) >> 3);
        std::uint32_t flags = isr_ | ADC_ISR_EOSMP | ADC_ISR_EOS;
        if (isr_ & ADC_ISR_EOC) {
            flags |= ADC_ISR_OVR;
            if (ADC1_regs.CFGR & ADC_CFGR_OVRMOD)
                ADC1_regs.DR = v;
        } else {
            ADC1_regs.DR = v;
        }
        set_isr(flags | ADC_ISR_EOC);
        ++conversions_;
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "adc")
                .field("channel", channel())
                .field("counts", v)
                .field_bool("overrun", (flags & ADC_ISR_OVR) != 0)
                .end();
        if (line())
            b_.nvic().set_pending(ADC1_IRQn);
    }

    // ADSTP: the conversion in progress is dropped.
    void stop() {
        converting_ = false;
        ++gen_;
        ADC1_regs.CR &= ~(ADC_CR_ADSTART | ADC_CR_ADSTP);
    }

    // The battery input: the scenario's steps and ramps, each ramp starting from the
    // value the input had at its start.
    void set_battery(const std::vector<BatteryPoint> &points) {
        points_ = points;
        from_.clear();
        std::uint16_t v = kBatteryDefaultCounts;
        for (const BatteryPoint &p : points_) {
            from_.push_back(v);
            v = p.counts;  // where the ramp (or step) ends
        }
        // A ramp cut short by the next point starts that one from where it got to.
        for (std::size_t k = 1; k < points_.size(); ++k) from_[k] = value(k - 1, points_[k].at_ns);
    }
    std::uint16_t battery(Time t) const {
        std::size_t k = points_.size();
        while (k > 0 && points_[k - 1].at_ns > t) --k;
        return k == 0 ? kBatteryDefaultCounts : value(k - 1, t);
    }

    bool converting_ = false;
    Time started_ = 0, sample_end_ = 0;
    std::uint64_t gen_ = 0;
    std::uint64_t conversions_ = 0;
    std::uint32_t calibration_ = 0;

  private:
    std::uint16_t value(std::size_t k, Time t) const {
        const BatteryPoint &p = points_[k];
        if (p.ramp_ns == 0 || t >= p.at_ns + p.ramp_ns)
            return p.counts;
        const std::int64_t span = static_cast<std::int64_t>(p.counts) - from_[k];
        const std::int64_t d = span * static_cast<std::int64_t>(t - p.at_ns);
        const std::int64_t den = static_cast<std::int64_t>(p.ramp_ns);
        return static_cast<std::uint16_t>(
            from_[k] + (d >= 0 ? (2 * d + den) / (2 * den) : -((-2 * d + den) / (2 * den))));
    }

    Board &b_;
    std::uint32_t isr_ = 0;
    std::vector<BatteryPoint> points_;
    std::vector<std::uint16_t> from_;
};

AdcModel &model() {
    return board().model<AdcModel>();
}

bool is_adc1(const ADC_HandleTypeDef *h, const char *function) {
    require_instance(h, function);
    if (h->Instance != ADC1)
        board().halt(std::string(function) + " on a handle whose Instance is not ADC1");
    return true;
}

void state_clr_set(ADC_HandleTypeDef *h, std::uint32_t clr, std::uint32_t set) {
    h->State = (h->State & ~clr) | set;
}

// ADEN and the wait for ADRDY (one conversion time, the power-up time).
HAL_StatusTypeDef enable(ADC_HandleTypeDef *h) {
    ADC_TypeDef *r = h->Instance;
    if (r->CR & ADC_CR_ADEN)
        return HAL_OK;
    if (r->CR & (ADC_CR_ADCAL | ADC_CR_JADSTP | ADC_CR_ADSTP | ADC_CR_JADSTART | ADC_CR_ADSTART |
                 ADC_CR_ADDIS)) {
        h->State |= HAL_ADC_STATE_ERROR_INTERNAL;
        h->ErrorCode |= HAL_ADC_ERROR_INTERNAL;
        return HAL_ERROR;
    }
    AdcModel &m = model();
    r->CR |= ADC_CR_ADEN;
    const bool powered = !(r->CR & ADC_CR_DEEPPWD) && (r->CR & ADC_CR_ADVREGEN);
    const Time up = m.conversion_ns();
    const Time ready = powered && up != kNever ? board().now() + up : kNever;
    if (!hal_wait_until(ready, HAL_GetTick(), kEnableTimeoutMs, "ADC_Enable")) {
        h->State |= HAL_ADC_STATE_ERROR_INTERNAL;
        h->ErrorCode |= HAL_ADC_ERROR_INTERNAL;
        return HAL_ERROR;
    }
    m.set_isr(m.isr() | ADC_ISR_ADRDY);
    return HAL_OK;
}

HAL_StatusTypeDef disable(ADC_HandleTypeDef *h) {
    ADC_TypeDef *r = h->Instance;
    if (!(r->CR & ADC_CR_ADEN))
        return HAL_OK;
    if (r->CR & (ADC_CR_JADSTART | ADC_CR_ADSTART)) {
        h->State |= HAL_ADC_STATE_ERROR_INTERNAL;
        h->ErrorCode |= HAL_ADC_ERROR_INTERNAL;
        return HAL_ERROR;
    }
    r->CR &= ~(ADC_CR_ADEN | ADC_CR_ADDIS);
    AdcModel &m = model();
    m.set_isr(m.isr() & ~(ADC_ISR_EOSMP | ADC_ISR_ADRDY));
    return HAL_OK;
}

HAL_StatusTypeDef start(ADC_HandleTypeDef *h, bool with_interrupt, const char *function) {
    is_adc1(h, function);
    AdcModel &m = model();
    if (h->Instance->CR & ADC_CR_ADSTART)
        return HAL_BUSY;
    __HAL_LOCK(h);
    m.check_supported(function);
    const HAL_StatusTypeDef st = enable(h);
    if (st != HAL_OK) {
        __HAL_UNLOCK(h);
        return st;
    }
    state_clr_set(h,
                  HAL_ADC_STATE_READY | HAL_ADC_STATE_REG_EOC | HAL_ADC_STATE_REG_OVR |
                      HAL_ADC_STATE_REG_EOSMP,
                  HAL_ADC_STATE_REG_BUSY);
    if (h->State & HAL_ADC_STATE_INJ_BUSY)
        h->ErrorCode &= ~(HAL_ADC_ERROR_OVR | HAL_ADC_ERROR_DMA);
    else
        h->ErrorCode = HAL_ADC_ERROR_NONE;
    m.set_isr(m.isr() & ~(ADC_ISR_EOC | ADC_ISR_EOS | ADC_ISR_OVR));
    __HAL_UNLOCK(h);
    if (with_interrupt) {
        h->Instance->IER &= ~(ADC_IER_EOCIE | ADC_IER_EOSIE | ADC_IER_OVRIE);
        h->Instance->IER |=
            h->Init.EOCSelection == ADC_EOC_SEQ_CONV ? ADC_IER_EOSIE : ADC_IER_EOCIE;
        if (h->Init.Overrun == ADC_OVR_DATA_PRESERVED)
            h->Instance->IER |= ADC_IER_OVRIE;
    }
    m.start();
    return HAL_OK;
}

HAL_StatusTypeDef stop(ADC_HandleTypeDef *h, bool with_interrupt, const char *function) {
    is_adc1(h, function);
    __HAL_LOCK(h);
    model().stop();
    if (with_interrupt)
        h->Instance->IER &= ~(ADC_IER_EOCIE | ADC_IER_EOSIE | ADC_IER_OVRIE);
    const HAL_StatusTypeDef st = disable(h);
    if (st == HAL_OK)
        state_clr_set(h, HAL_ADC_STATE_REG_BUSY | HAL_ADC_STATE_INJ_BUSY, HAL_ADC_STATE_READY);
    __HAL_UNLOCK(h);
    return st;
}

[[noreturn]] void not_modelled(const char *what) {
    board().halt(std::string(what) + " is not modelled by the simulated board");
}

}  // namespace

void install_battery(Board &b, const std::vector<BatteryPoint> &battery) {
    b.model<AdcModel>().set_battery(battery);
}

}  // namespace sim

extern "C" {

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    if (hadc == nullptr)
        return HAL_ERROR;
    if (hadc->State == HAL_ADC_STATE_RESET) {
        {
            const sim::FirmwareCode firmware;
            HAL_ADC_MspInit(hadc);
        }
        hadc->ErrorCode = HAL_ADC_ERROR_NONE;
        hadc->Lock = HAL_UNLOCKED;
    }
    sim::is_adc1(hadc, "HAL_ADC_Init");
    ADC_TypeDef *r = hadc->Instance;
    r->CR &= ~ADC_CR_DEEPPWD;
    if (!(r->CR & ADC_CR_ADVREGEN)) {
        // The vendor counts a software loop sized for the regulator's start-up.
        r->CR |= ADC_CR_ADVREGEN;
        sim::board().advance_by(sim::kRegulatorStartNs);
    }
    if (r->CR & ADC_CR_ADSTART) {
        hadc->State |= HAL_ADC_STATE_ERROR_INTERNAL;
        return HAL_ERROR;
    }
    sim::state_clr_set(hadc, HAL_ADC_STATE_REG_BUSY, HAL_ADC_STATE_BUSY_INTERNAL);
    const ADC_InitTypeDef &in = hadc->Init;
    if (!(r->CR & ADC_CR_ADEN))
        ADC1_COMMON->CCR =
            (ADC1_COMMON->CCR & ~(ADC_CCR_CKMODE | ADC_CCR_PRESC)) | in.ClockPrescaler;
    uint32_t cfgr = (in.ContinuousConvMode == ENABLE ? ADC_CFGR_CONT : 0u) | in.Overrun |
                    in.DataAlign | in.Resolution;
    if (in.ExternalTrigConv != ADC_SOFTWARE_START)
        cfgr |= (in.ExternalTrigConv & (0xFu << 6)) | in.ExternalTrigConvEdge;
    if (in.DMAContinuousRequests == ENABLE)
        cfgr |= 0x2u;  // DMACFG
    r->CFGR = (r->CFGR & ~(ADC_CFGR_CONT | ADC_CFGR_OVRMOD | ADC_CFGR_ALIGN | ADC_CFGR_RES |
                           ADC_CFGR_EXTEN | (0xFu << 6) | 0x2u)) |
              cfgr;
    if (in.OversamplingMode == ENABLE)
        r->CFGR2 |= ADC_CFGR2_ROVSE;
    else
        r->CFGR2 &= ~ADC_CFGR2_ROVSE;
    if (in.ScanConvMode == ADC_SCAN_ENABLE)
        r->SQR1 = (r->SQR1 & ~ADC_SQR1_L) | ((in.NbrOfConversion - 1u) & 0xFu);
    else
        r->SQR1 &= ~ADC_SQR1_L;
    sim::state_clr_set(hadc, HAL_ADC_STATE_BUSY_INTERNAL, HAL_ADC_STATE_READY);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_DeInit(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    if (hadc == nullptr)
        return HAL_ERROR;
    sim::is_adc1(hadc, "HAL_ADC_DeInit");
    sim::model().stop();
    (void)sim::disable(hadc);
    ADC_TypeDef *r = hadc->Instance;
    r->IER = 0;
    r->CFGR = 0x80000000u;  // JQDIS, the reset value
    r->CFGR2 = 0;
    r->SMPR1 = r->SMPR2 = 0;
    r->SQR1 = 0;
    r->CR = ADC_CR_DEEPPWD;
    sim::model().set_isr(0);
    {
        const sim::FirmwareCode firmware;
        HAL_ADC_MspDeInit(hadc);
    }
    hadc->ErrorCode = HAL_ADC_ERROR_NONE;
    hadc->State = HAL_ADC_STATE_RESET;
    __HAL_UNLOCK(hadc);
    return HAL_OK;
}

__weak void HAL_ADC_MspInit(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADC_MspDeInit(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}

HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef *hadc,
                                        const ADC_ChannelConfTypeDef *sConfig) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADC_ConfigChannel");
    __HAL_LOCK(hadc);
    ADC_TypeDef *r = hadc->Instance;
    if (r->CR & ADC_CR_ADSTART) {
        hadc->State |= HAL_ADC_STATE_ERROR_CONFIG;
        __HAL_UNLOCK(hadc);
        return HAL_ERROR;
    }
    const uint32_t ch = __HAL_ADC_CHANNEL_TO_DECIMAL_NB(sConfig->Channel);
    uint32_t rank = sConfig->Rank;
    if (rank >= 1u && rank <= 5u) {
        static const uint32_t ranks[5] = {ADC_REGULAR_RANK_1, ADC_REGULAR_RANK_2,
                                          ADC_REGULAR_RANK_3, ADC_REGULAR_RANK_4,
                                          ADC_REGULAR_RANK_5};
        rank = ranks[rank - 1u];
    }
    if (rank != ADC_REGULAR_RANK_1)
        sim::board().halt(
            "HAL_ADC_ConfigChannel: ADC1 ranks other than the first are not "
            "modelled by the simulated board");
    r->SQR1 = (r->SQR1 & ~ADC_SQR1_SQ1) | (ch << ADC_SQR1_SQ1_Pos);
    volatile uint32_t &smpr = ch < 10 ? r->SMPR1 : r->SMPR2;
    const uint32_t shift = 3u * (ch % 10u);
    smpr = (smpr & ~(7u << shift)) | ((sConfig->SamplingTime & 7u) << shift);
    if (sConfig->OffsetNumber != ADC_OFFSET_NONE && sConfig->Offset != 0u)
        sim::board().halt(
            "HAL_ADC_ConfigChannel: ADC1 offsets are not modelled by the simulated board");
    if (sConfig->SingleDiff == ADC_DIFFERENTIAL_ENDED)
        sim::board().halt(
            "HAL_ADC_ConfigChannel: differential ADC inputs are not modelled by the "
            "simulated board");
    __HAL_UNLOCK(hadc);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return sim::start(hadc, false, "HAL_ADC_Start");
}

HAL_StatusTypeDef HAL_ADC_Start_IT(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return sim::start(hadc, true, "HAL_ADC_Start_IT");
}

HAL_StatusTypeDef HAL_ADC_Stop(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return sim::stop(hadc, false, "HAL_ADC_Stop");
}

HAL_StatusTypeDef HAL_ADC_Stop_IT(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return sim::stop(hadc, true, "HAL_ADC_Stop_IT");
}

// Waits for EOS (or EOC) under the vendor's time-out rule; with the end of sequence
// selected, EOS is cleared and EOC stays until the result is read.
HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef *hadc, uint32_t Timeout) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADC_PollForConversion");
    sim::AdcModel &m = sim::model();
    const uint32_t flag = hadc->Init.EOCSelection == ADC_EOC_SEQ_CONV ? ADC_ISR_EOS : ADC_ISR_EOC;
    if (hadc->Init.EOCSelection != ADC_EOC_SEQ_CONV && (hadc->Instance->CFGR & ADC_CFGR_DMAEN)) {
        hadc->State |= HAL_ADC_STATE_ERROR_CONFIG;
        return HAL_ERROR;
    }
    const sim::HalTimeout timeout(Timeout);
    const bool done = timeout.wait([&m, flag] { return (m.isr() & flag) != 0; },
                                   "HAL_ADC_PollForConversion") == HAL_OK;
    if (!done) {
        hadc->State |= HAL_ADC_STATE_TIMEOUT;
        __HAL_UNLOCK(hadc);
        return HAL_TIMEOUT;
    }
    hadc->State |= HAL_ADC_STATE_REG_EOC;
    if (!(hadc->Instance->CFGR & (ADC_CFGR_EXTEN | ADC_CFGR_CONT)) && (m.isr() & ADC_ISR_EOS)) {
        hadc->State &= ~HAL_ADC_STATE_REG_BUSY;
        if (!(hadc->State & HAL_ADC_STATE_INJ_BUSY))
            hadc->State |= HAL_ADC_STATE_READY;
    }
    m.set_isr(m.isr() & ~(flag == ADC_ISR_EOS ? ADC_ISR_EOS : (ADC_ISR_EOC | ADC_ISR_EOS)));
    return HAL_OK;
}

HAL_StatusTypeDef HAL_ADC_PollForEvent(ADC_HandleTypeDef *, uint32_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADC_PollForEvent (ADC analog watchdogs and sampling events)");
}
HAL_StatusTypeDef HAL_ADC_Start_DMA(ADC_HandleTypeDef *, uint32_t *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADC_Start_DMA (ADC conversions by DMA)");
}
HAL_StatusTypeDef HAL_ADC_Stop_DMA(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADC_Stop_DMA (ADC conversions by DMA)");
}

// Reading the data register clears EOC.
uint32_t HAL_ADC_GetValue(const ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADC_GetValue");
    sim::AdcModel &m = sim::model();
    m.set_isr(m.isr() & ~ADC_ISR_EOC);
    return hadc->Instance->DR;
}

// As the vendor's for the regular group: the end of a conversion (EOC or EOS,
// whichever is enabled) updates the state, calls HAL_ADC_ConvCpltCallback and
// clears both flags; an overrun with its interrupt enabled calls the error callback.
void HAL_ADC_IRQHandler(ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADC_IRQHandler");
    sim::AdcModel &m = sim::model();
    const uint32_t isr = m.isr(), ier = hadc->Instance->IER;
    if (((isr & ADC_ISR_EOC) && (ier & ADC_IER_EOCIE)) ||
        ((isr & ADC_ISR_EOS) && (ier & ADC_IER_EOSIE))) {
        if (!(hadc->State & HAL_ADC_STATE_ERROR_INTERNAL))
            hadc->State |= HAL_ADC_STATE_REG_EOC;
        if (!(hadc->Instance->CFGR & (ADC_CFGR_EXTEN | ADC_CFGR_CONT)) && (isr & ADC_ISR_EOS)) {
            hadc->Instance->IER &= ~(ADC_IER_EOCIE | ADC_IER_EOSIE);
            hadc->State &= ~HAL_ADC_STATE_REG_BUSY;
            if (!(hadc->State & HAL_ADC_STATE_INJ_BUSY))
                hadc->State |= HAL_ADC_STATE_READY;
        }
        {
            const sim::FirmwareCode firmware;
            HAL_ADC_ConvCpltCallback(hadc);
        }
        m.set_isr(m.isr() & ~(ADC_ISR_EOC | ADC_ISR_EOS));
    }
    if ((m.isr() & ADC_ISR_OVR) && (ier & ADC_IER_OVRIE)) {
        // With "data overwritten" an overrun is not an error.
        if (hadc->Init.Overrun == ADC_OVR_DATA_PRESERVED) {
            hadc->State |= HAL_ADC_STATE_REG_OVR;
            hadc->ErrorCode |= HAL_ADC_ERROR_OVR;
            const sim::FirmwareCode firmware;
            HAL_ADC_ErrorCallback(hadc);
        }
        m.set_isr(m.isr() & ~ADC_ISR_OVR);
    }
}

__weak void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADC_ConvHalfCpltCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADC_LevelOutOfWindowCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADC_ErrorCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}

uint32_t HAL_ADC_GetState(const ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return hadc->State;
}
uint32_t HAL_ADC_GetError(const ADC_HandleTypeDef *hadc) {
    const sim::HalCall hal_call;
    return hadc->ErrorCode;
}

// Calibration with the ADC disabled: 116 ADC clock cycles, the factor kept.
HAL_StatusTypeDef HAL_ADCEx_Calibration_Start(ADC_HandleTypeDef *hadc, uint32_t SingleDiff) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADCEx_Calibration_Start");
    __HAL_LOCK(hadc);
    const HAL_StatusTypeDef st = sim::disable(hadc);
    if (st != HAL_OK) {
        hadc->State |= HAL_ADC_STATE_ERROR_INTERNAL;
        __HAL_UNLOCK(hadc);
        return st;
    }
    sim::state_clr_set(hadc, HAL_ADC_STATE_REG_BUSY | HAL_ADC_STATE_INJ_BUSY,
                       HAL_ADC_STATE_BUSY_INTERNAL);
    sim::AdcModel &m = sim::model();
    const sim::Time cal = m.cycles_ns(2u * sim::kCalibrationCycles);
    if (cal == sim::kNever || !(hadc->Instance->CR & ADC_CR_ADVREGEN)) {
        // No clock or no regulator: the vendor's counted loop gives up.
        sim::state_clr_set(hadc, HAL_ADC_STATE_BUSY_INTERNAL, HAL_ADC_STATE_ERROR_INTERNAL);
        __HAL_UNLOCK(hadc);
        return HAL_ERROR;
    }
    hadc->Instance->CR |= ADC_CR_ADCAL | (SingleDiff & ADC_CR_ADCALDIF);
    sim::board().advance_by(cal);
    hadc->Instance->CR &= ~(ADC_CR_ADCAL | ADC_CR_ADCALDIF);
    m.calibration_ = 0x40u;  // a factor in the chip's usual range
    sim::state_clr_set(hadc, HAL_ADC_STATE_BUSY_INTERNAL, HAL_ADC_STATE_READY);
    __HAL_UNLOCK(hadc);
    return HAL_OK;
}

uint32_t HAL_ADCEx_Calibration_GetValue(const ADC_HandleTypeDef *hadc, uint32_t SingleDiff) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADCEx_Calibration_GetValue");
    (void)SingleDiff;
    return sim::model().calibration_;
}

HAL_StatusTypeDef HAL_ADCEx_Calibration_SetValue(ADC_HandleTypeDef *hadc, uint32_t SingleDiff,
                                                 uint32_t CalibrationFactor) {
    const sim::HalCall hal_call;
    sim::is_adc1(hadc, "HAL_ADCEx_Calibration_SetValue");
    (void)SingleDiff;
    __HAL_LOCK(hadc);
    if (!(hadc->Instance->CR & ADC_CR_ADEN) || (hadc->Instance->CR & ADC_CR_ADSTART)) {
        hadc->State |= HAL_ADC_STATE_ERROR_CONFIG;
        hadc->ErrorCode |= HAL_ADC_ERROR_INTERNAL;
        __HAL_UNLOCK(hadc);
        return HAL_ERROR;
    }
    sim::model().calibration_ = CalibrationFactor & 0x7Fu;
    __HAL_UNLOCK(hadc);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_ADCEx_InjectedStart(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_InjectedStart (injected ADC conversions)");
}
HAL_StatusTypeDef HAL_ADCEx_InjectedStop(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_InjectedStop (injected ADC conversions)");
}
HAL_StatusTypeDef HAL_ADCEx_InjectedStart_IT(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_InjectedStart_IT (injected ADC conversions)");
}
HAL_StatusTypeDef HAL_ADCEx_InjectedStop_IT(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_InjectedStop_IT (injected ADC conversions)");
}
uint32_t HAL_ADCEx_InjectedGetValue(const ADC_HandleTypeDef *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_InjectedGetValue (injected ADC conversions)");
}
HAL_StatusTypeDef HAL_ADCEx_RegularStop(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_RegularStop (ADC multimode)");
}
HAL_StatusTypeDef HAL_ADCEx_RegularStop_IT(ADC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_ADCEx_RegularStop_IT (ADC multimode)");
}

__weak void HAL_ADCEx_InjectedConvCpltCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADCEx_InjectedQueueOverflowCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADCEx_LevelOutOfWindow2Callback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADCEx_LevelOutOfWindow3Callback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}
__weak void HAL_ADCEx_EndOfSamplingCallback(ADC_HandleTypeDef *hadc) {
    (void)hadc;
}

}  // extern "C"
