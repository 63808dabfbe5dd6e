#include "sim/rcc.h"

#include "sim/board.h"
#include "sim/storage.h"
#include "sim/hal_timeout.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint32_t kHsiHz = HSI_VALUE;
// The vendor HAL's time-out for the PLL to lock (2 ms, "minimum tick + 1").
constexpr std::uint32_t kPllTimeoutMs = 2;
constexpr std::uint32_t kHseHz = HSE_VALUE;

std::uint32_t msi_hz() {
    const std::uint32_t range = (RCC_regs.CR & RCC_CR_MSIRGSEL)
                                    ? (RCC_regs.CR & RCC_CR_MSIRANGE) >> 4
                                    : (RCC_regs.CSR & RCC_CSR_MSISRANGE) >> 8;
    return range < 12u ? MSIRangeTable[range] : 0u;
}

std::uint32_t pll_input_hz(std::uint32_t pllcfgr) {
    switch (pllcfgr & RCC_PLLCFGR_PLLSRC) {
        case RCC_PLLCFGR_PLLSRC_MSI:
            return msi_hz();
        case RCC_PLLCFGR_PLLSRC_HSI:
            return kHsiHz;
        case RCC_PLLCFGR_PLLSRC_HSE:
            return kHseHz;
        default:
            return 0u;
    }
}

std::uint32_t pll_m(std::uint32_t pllcfgr) {
    return ((pllcfgr & RCC_PLLCFGR_PLLM) >> 4) + 1u;
}
std::uint32_t pll_n(std::uint32_t pllcfgr) {
    return (pllcfgr & RCC_PLLCFGR_PLLN) >> 8;
}
std::uint32_t pll_r(std::uint32_t pllcfgr) {
    return (((pllcfgr & RCC_PLLCFGR_PLLR) >> 25) + 1u) * 2u;
}

std::uint32_t pll_r_hz() {
    const std::uint32_t c = RCC_regs.PLLCFGR;
    const std::uint64_t vco = static_cast<std::uint64_t>(pll_input_hz(c)) / pll_m(c) * pll_n(c);
    return static_cast<std::uint32_t>(vco / pll_r(c));
}

bool source_ready(std::uint32_t sw) {
    switch (sw) {
        case RCC_CFGR_SW_MSI:
            return (RCC_regs.CR & RCC_CR_MSIRDY) != 0;
        case RCC_CFGR_SW_HSI:
            return (RCC_regs.CR & RCC_CR_HSIRDY) != 0;
        case RCC_CFGR_SW_HSE:
            return (RCC_regs.CR & RCC_CR_HSERDY) != 0;
        default:
            return (RCC_regs.CR & RCC_CR_PLLRDY) != 0;
    }
}

std::uint32_t sysclk_source() {
    return (RCC_regs.CFGR & RCC_CFGR_SWS) >> 2;
}

bool pll_uses(std::uint32_t src) {
    return sysclk_source() == RCC_CFGR_SW_PLL && (RCC_regs.PLLCFGR & RCC_PLLCFGR_PLLSRC) == src;
}

void set_bits(volatile std::uint32_t &reg, std::uint32_t bits, bool on) {
    if (on) {
        reg |= bits;
    } else {
        reg &= ~bits;
    }
}

}  // namespace

std::uint32_t rcc_sysclk_hz() {
    switch (sysclk_source()) {
        case RCC_CFGR_SW_MSI:
            return msi_hz();
        case RCC_CFGR_SW_HSI:
            return kHsiHz;
        case RCC_CFGR_SW_HSE:
            return kHseHz;
        default:
            return pll_r_hz();
    }
}

std::uint32_t rcc_hclk_hz() {
    return rcc_sysclk_hz() >> AHBPrescTable[(RCC_regs.CFGR & RCC_CFGR_HPRE) >> 4];
}
std::uint32_t rcc_pclk1_hz() {
    return rcc_hclk_hz() >> APBPrescTable[(RCC_regs.CFGR & RCC_CFGR_PPRE1) >> 8];
}
std::uint32_t rcc_pclk2_hz() {
    return rcc_hclk_hz() >> APBPrescTable[(RCC_regs.CFGR & RCC_CFGR_PPRE2) >> 11];
}

std::uint32_t rcc_timer_hz(int apb) {
    const std::uint32_t presc =
        apb == 1 ? (RCC_regs.CFGR & RCC_CFGR_PPRE1) >> 8 : (RCC_regs.CFGR & RCC_CFGR_PPRE2) >> 11;
    const std::uint32_t pclk = apb == 1 ? rcc_pclk1_hz() : rcc_pclk2_hz();
    return APBPrescTable[presc] == 0u ? pclk : 2u * pclk;
}

void rcc_reset_registers() {
    RCC_regs.CR = RCC_CR_MSION | RCC_CR_MSIRDY | RCC_CR_MSIRGSEL | (11u << 4);
    RCC_regs.CFGR = 0;
    RCC_regs.PLLCFGR = 0x00001000u;
    RCC_regs.PLLSAI1CFGR = 0x00001000u;
    RCC_regs.CSR = (6u << 8) | RCC_CSR_PINRSTF | RCC_CSR_BORRSTF;
    FLASH_regs.ACR = 0x00000600u;
}

std::uint32_t rcc_enable_changes = 0;

void InstancesInUse::rescan() {
    seen_changes_ = rcc_enable_changes;
    const std::uint32_t now[3] = {RCC_regs.AHB2ENR, RCC_regs.APB1ENR1, RCC_regs.APB2ENR};
    for (int i = 0; i < count_; ++i)
        if (now[static_cast<int>(enables_[i].bus)] & enables_[i].bit)
            mask_ |= 1u << i;
}

namespace {

// The ready flags follow their oscillator's enable bit at once, also when the
// firmware switches an oscillator by writing RCC->CR, BDCR or CSR itself; the PLLs
// lock when their input is ready. Changes of the clock enable registers are
// counted for the other watchers (InstancesInUse).
class RccRegisters final : public Board::Model {
  public:
    explicit RccRegisters(Board &) {}
    void watch() override {
        if (((RCC_regs.AHB2ENR ^ enables_[0]) | (RCC_regs.APB1ENR1 ^ enables_[1]) |
             (RCC_regs.APB2ENR ^ enables_[2]) | (RCC_regs.CR ^ cr_) | (RCC_regs.BDCR ^ bdcr_) |
             (RCC_regs.CSR ^ csr_)) != 0)
            look();
    }

  private:
    // Something written since the last look.
    __attribute__((noinline)) void look() {
        const std::uint32_t enables[3] = {RCC_regs.AHB2ENR, RCC_regs.APB1ENR1, RCC_regs.APB2ENR};
        if (((enables[0] ^ enables_[0]) | (enables[1] ^ enables_[1]) |
             (enables[2] ^ enables_[2])) != 0) {
            for (int k = 0; k < 3; ++k) enables_[k] = enables[k];
            ++rcc_enable_changes;
        }
        if (((RCC_regs.CR ^ cr_) | (RCC_regs.BDCR ^ bdcr_) | (RCC_regs.CSR ^ csr_)) == 0)
            return;
        std::uint32_t cr = RCC_regs.CR;
        cr = follow(cr, RCC_CR_MSION, RCC_CR_MSIRDY, true);
        cr = follow(cr, RCC_CR_HSION, RCC_CR_HSIRDY, true);
        cr = follow(cr, RCC_CR_HSEON, RCC_CR_HSERDY, true);
        const std::uint32_t src = RCC_regs.PLLCFGR & RCC_PLLCFGR_PLLSRC;
        const bool input = (src == RCC_PLLCFGR_PLLSRC_HSE && (cr & RCC_CR_HSERDY)) ||
                           (src == RCC_PLLCFGR_PLLSRC_HSI && (cr & RCC_CR_HSIRDY)) ||
                           (src == RCC_PLLCFGR_PLLSRC_MSI && (cr & RCC_CR_MSIRDY));
        cr = follow(cr, RCC_CR_PLLON, RCC_CR_PLLRDY, input);
        cr = follow(cr, RCC_CR_PLLSAI1ON, RCC_CR_PLLSAI1RDY, input);
        RCC_regs.CR = cr_ = cr;
        RCC_regs.BDCR = bdcr_ = follow(RCC_regs.BDCR, RCC_BDCR_LSEON, RCC_BDCR_LSERDY, true);
        RCC_regs.CSR = csr_ = follow(RCC_regs.CSR, RCC_CSR_LSION, RCC_CSR_LSIRDY, true);
    }

    static std::uint32_t follow(std::uint32_t reg, std::uint32_t on, std::uint32_t ready,
                                bool can_be_ready) {
        return (reg & on) && can_be_ready ? reg | ready : reg & ~ready;
    }
    std::uint32_t cr_ = 0, bdcr_ = 0, csr_ = 0;
    std::uint32_t enables_[3] = {0, 0, 0};
};

}  // namespace

void install_rcc(Board &b) {
    b.add_watcher(b.model<RccRegisters>());
}

}  // namespace sim

using sim::set_bits;

extern "C" {

namespace {

// Clock change: the core clock follows HCLK and the tick is set up again, as the HAL
// does at the end of every clock change.
HAL_StatusTypeDef core_clock_changed() {
    SystemCoreClock = sim::rcc_hclk_hz();
    return HAL_InitTick(uwTickPrio);
}

}  // namespace

HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef *o) {
    const sim::HalCall hal_call;
    if (o == nullptr)
        return HAL_ERROR;
    const uint32_t type = o->OscillatorType;
    if (type & RCC_OSCILLATORTYPE_MSI) {
        const bool in_use =
            sim::sysclk_source() == RCC_CFGR_SW_MSI || sim::pll_uses(RCC_PLLCFGR_PLLSRC_MSI);
        if (o->MSIState == RCC_MSI_OFF) {
            if (in_use)
                return HAL_ERROR;
            RCC_regs.CR &= ~(RCC_CR_MSION | RCC_CR_MSIRDY);
        } else {
            RCC_regs.CR = (RCC_regs.CR & ~RCC_CR_MSIRANGE) | (o->MSIClockRange & RCC_CR_MSIRANGE) |
                          RCC_CR_MSIRGSEL | RCC_CR_MSION | RCC_CR_MSIRDY;
            RCC_regs.ICSCR = (RCC_regs.ICSCR & ~0xFF00u) | ((o->MSICalibrationValue & 0xFFu) << 8);
            if (sim::sysclk_source() == RCC_CFGR_SW_MSI && core_clock_changed() != HAL_OK)
                return HAL_ERROR;
        }
    }
    if (type & RCC_OSCILLATORTYPE_HSE) {
        const bool in_use =
            sim::sysclk_source() == RCC_CFGR_SW_HSE || sim::pll_uses(RCC_PLLCFGR_PLLSRC_HSE);
        if (o->HSEState == RCC_HSE_OFF) {
            if (in_use)
                return HAL_ERROR;
            RCC_regs.CR &= ~(RCC_CR_HSEON | RCC_CR_HSEBYP | RCC_CR_HSERDY);
        } else {
            RCC_regs.CR = (RCC_regs.CR & ~RCC_CR_HSEBYP) | o->HSEState | RCC_CR_HSERDY;
        }
    }
    if (type & RCC_OSCILLATORTYPE_HSI) {
        const bool in_use =
            sim::sysclk_source() == RCC_CFGR_SW_HSI || sim::pll_uses(RCC_PLLCFGR_PLLSRC_HSI);
        if (o->HSIState == RCC_HSI_OFF) {
            if (in_use)
                return HAL_ERROR;
            RCC_regs.CR &= ~(RCC_CR_HSION | RCC_CR_HSIRDY);
        } else {
            RCC_regs.CR |= RCC_CR_HSION | RCC_CR_HSIRDY;
            RCC_regs.ICSCR =
                (RCC_regs.ICSCR & ~0x1F000000u) | ((o->HSICalibrationValue & 0x1Fu) << 24);
        }
    }
    if (type & RCC_OSCILLATORTYPE_LSI) {
        set_bits(RCC_regs.CSR, RCC_CSR_LSION | RCC_CSR_LSIRDY, o->LSIState != RCC_LSI_OFF);
    }
    if (type & RCC_OSCILLATORTYPE_LSE) {
        // The backup domain is write-protected: the HAL enables access itself.
        RCC_regs.APB1ENR1 |= RCC_APB1ENR1_PWREN;
        PWR_regs.CR1 |= PWR_CR1_DBP;
        if (o->LSEState == RCC_LSE_OFF) {
            RCC_regs.BDCR &= ~(RCC_BDCR_LSEON | RCC_BDCR_LSEBYP | RCC_BDCR_LSERDY);
        } else {
            RCC_regs.BDCR = (RCC_regs.BDCR & ~RCC_BDCR_LSEBYP) | o->LSEState | RCC_BDCR_LSERDY;
        }
    }
    if (type & RCC_OSCILLATORTYPE_HSI48) {
        set_bits(RCC_regs.CRRCR, RCC_CRRCR_HSI48ON | RCC_CRRCR_HSI48RDY,
                 o->HSI48State != RCC_HSI48_OFF);
    }
    const RCC_PLLInitTypeDef &p = o->PLL;
    if (p.PLLState != RCC_PLL_NONE) {
        const uint32_t wanted = p.PLLSource | ((p.PLLM - 1u) << 4) | (p.PLLN << 8) |
                                (p.PLLP == RCC_PLLP_DIV17 ? RCC_PLLCFGR_PLLP : 0u) |
                                (((p.PLLQ >> 1) - 1u) << 21) | (((p.PLLR >> 1) - 1u) << 25);
        const uint32_t fields = RCC_PLLCFGR_PLLSRC | RCC_PLLCFGR_PLLM | RCC_PLLCFGR_PLLN |
                                RCC_PLLCFGR_PLLP | RCC_PLLCFGR_PLLQ | RCC_PLLCFGR_PLLR;
        if (sim::sysclk_source() == RCC_CFGR_SW_PLL) {
            // The PLL running the core cannot be switched off or reconfigured.
            if (p.PLLState == RCC_PLL_OFF || (RCC_regs.PLLCFGR & fields) != (wanted & fields))
                return HAL_ERROR;
        } else if (p.PLLState == RCC_PLL_ON) {
            if (p.PLLM < 1u || p.PLLM > 8u || p.PLLN < 8u || p.PLLN > 86u)
                return HAL_ERROR;
            RCC_regs.CR &= ~(RCC_CR_PLLON | RCC_CR_PLLRDY);
            RCC_regs.PLLCFGR = (RCC_regs.PLLCFGR & ~fields) | (wanted & fields);
            RCC_regs.CR |= RCC_CR_PLLON;
            RCC_regs.PLLCFGR |= RCC_PLLCFGR_PLLREN;
            // Without its input the PLL never locks: the HAL's wait times out.
            const uint32_t src = p.PLLSource;
            const bool input = (src == RCC_PLLCFGR_PLLSRC_HSE && (RCC_regs.CR & RCC_CR_HSERDY)) ||
                               (src == RCC_PLLCFGR_PLLSRC_HSI && (RCC_regs.CR & RCC_CR_HSIRDY)) ||
                               (src == RCC_PLLCFGR_PLLSRC_MSI && (RCC_regs.CR & RCC_CR_MSIRDY));
            if (!input) {
                // The HAL waits for the lock under its time-out; the flag never comes.
                const sim::HalTimeout lock(sim::kPllTimeoutMs);
                return lock.wait([] { return false; }, "HAL_RCC_OscConfig (PLL lock)");
            }
            RCC_regs.CR |= RCC_CR_PLLRDY;
        } else {
            RCC_regs.CR &= ~(RCC_CR_PLLON | RCC_CR_PLLRDY);
            RCC_regs.PLLCFGR &= ~(RCC_PLLCFGR_PLLPEN | RCC_PLLCFGR_PLLQEN | RCC_PLLCFGR_PLLREN);
        }
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef *c, uint32_t FLatency) {
    const sim::HalCall hal_call;
    if (c == nullptr || FLatency > FLASH_ACR_LATENCY_4WS)
        return HAL_ERROR;
    FLASH_regs.ACR = (FLASH_regs.ACR & ~FLASH_ACR_LATENCY) | FLatency;
    if (c->ClockType & RCC_CLOCKTYPE_SYSCLK) {
        const uint32_t sw = c->SYSCLKSource & RCC_CFGR_SW;
        if (!sim::source_ready(sw))
            return HAL_ERROR;
        RCC_regs.CFGR = (RCC_regs.CFGR & ~(RCC_CFGR_SW | RCC_CFGR_SWS)) | sw | (sw << 2);
    }
    if (c->ClockType & RCC_CLOCKTYPE_HCLK)
        RCC_regs.CFGR = (RCC_regs.CFGR & ~RCC_CFGR_HPRE) | (c->AHBCLKDivider & RCC_CFGR_HPRE);
    if (c->ClockType & RCC_CLOCKTYPE_PCLK1)
        RCC_regs.CFGR = (RCC_regs.CFGR & ~RCC_CFGR_PPRE1) | (c->APB1CLKDivider & RCC_CFGR_PPRE1);
    if (c->ClockType & RCC_CLOCKTYPE_PCLK2)
        RCC_regs.CFGR =
            (RCC_regs.CFGR & ~RCC_CFGR_PPRE2) | ((c->APB2CLKDivider << 3) & RCC_CFGR_PPRE2);
    return core_clock_changed();
}

HAL_StatusTypeDef HAL_RCC_DeInit(void) {
    const sim::HalCall hal_call;
    sim::rcc_reset_registers();
    RCC_regs.CR =
        (RCC_regs.CR & ~RCC_CR_MSIRANGE) | (6u << 4);  // back to 4 MHz, as the HAL leaves it
    return core_clock_changed();
}

void HAL_RCC_MCOConfig(uint32_t RCC_MCOx, uint32_t RCC_MCOSource, uint32_t RCC_MCODiv) {
    const sim::HalCall hal_call;
    (void)RCC_MCOx;
    RCC_regs.CFGR =
        (RCC_regs.CFGR & ~(RCC_CFGR_MCOSEL | RCC_CFGR_MCOPRE)) | RCC_MCOSource | RCC_MCODiv;
}

void HAL_RCC_EnableCSS(void) {
    const sim::HalCall hal_call;
    RCC_regs.CR |= RCC_CR_CSSON;
}

uint32_t HAL_RCC_GetSysClockFreq(void) {
    const sim::HalCall hal_call;
    return sim::rcc_sysclk_hz();
}
uint32_t HAL_RCC_GetHCLKFreq(void) {
    const sim::HalCall hal_call;
    return SystemCoreClock;
}
uint32_t HAL_RCC_GetPCLK1Freq(void) {
    const sim::HalCall hal_call;
    return sim::rcc_pclk1_hz();
}
uint32_t HAL_RCC_GetPCLK2Freq(void) {
    const sim::HalCall hal_call;
    return sim::rcc_pclk2_hz();
}

void HAL_RCC_GetOscConfig(RCC_OscInitTypeDef *o) {
    const sim::HalCall hal_call;
    o->OscillatorType = RCC_OSCILLATORTYPE_HSE | RCC_OSCILLATORTYPE_HSI | RCC_OSCILLATORTYPE_MSI |
                        RCC_OSCILLATORTYPE_LSE | RCC_OSCILLATORTYPE_LSI | RCC_OSCILLATORTYPE_HSI48;
    o->HSEState = RCC_regs.CR & (RCC_CR_HSEON | RCC_CR_HSEBYP);
    o->HSIState = RCC_regs.CR & RCC_CR_HSION;
    o->HSICalibrationValue = (RCC_regs.ICSCR >> 24) & 0x1Fu;
    o->MSIState = RCC_regs.CR & RCC_CR_MSION;
    o->MSICalibrationValue = (RCC_regs.ICSCR >> 8) & 0xFFu;
    o->MSIClockRange = RCC_regs.CR & RCC_CR_MSIRANGE;
    o->LSEState = RCC_regs.BDCR & (RCC_BDCR_LSEON | RCC_BDCR_LSEBYP);
    o->LSIState = RCC_regs.CSR & RCC_CSR_LSION;
    o->HSI48State = RCC_regs.CRRCR & RCC_CRRCR_HSI48ON;
    const uint32_t c = RCC_regs.PLLCFGR;
    o->PLL.PLLState = (RCC_regs.CR & RCC_CR_PLLON) ? RCC_PLL_ON : RCC_PLL_OFF;
    o->PLL.PLLSource = c & RCC_PLLCFGR_PLLSRC;
    o->PLL.PLLM = sim::pll_m(c);
    o->PLL.PLLN = sim::pll_n(c);
    o->PLL.PLLP = (c & RCC_PLLCFGR_PLLP) ? RCC_PLLP_DIV17 : RCC_PLLP_DIV7;
    o->PLL.PLLQ = (((c & RCC_PLLCFGR_PLLQ) >> 21) + 1u) * 2u;
    o->PLL.PLLR = sim::pll_r(c);
}

void HAL_RCC_GetClockConfig(RCC_ClkInitTypeDef *c, uint32_t *pFLatency) {
    const sim::HalCall hal_call;
    c->ClockType =
        RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
    c->SYSCLKSource = RCC_regs.CFGR & RCC_CFGR_SW;
    c->AHBCLKDivider = RCC_regs.CFGR & RCC_CFGR_HPRE;
    c->APB1CLKDivider = RCC_regs.CFGR & RCC_CFGR_PPRE1;
    c->APB2CLKDivider = (RCC_regs.CFGR & RCC_CFGR_PPRE2) >> 3;
    *pFLatency = FLASH_regs.ACR & FLASH_ACR_LATENCY;
}

// The clock security system never detects a failure on this board.
void HAL_RCC_NMI_IRQHandler(void) {}
__weak void HAL_RCC_CSSCallback(void) {}

HAL_StatusTypeDef HAL_RCCEx_EnablePLLSAI1(RCC_PLLSAI1InitTypeDef *s) {
    const sim::HalCall hal_call;
    if (s->PLLSAI1N < 8u || s->PLLSAI1N > 86u)
        return HAL_ERROR;
    RCC_regs.CR &= ~(RCC_CR_PLLSAI1ON | RCC_CR_PLLSAI1RDY);
    RCC_regs.PLLSAI1CFGR =
        (s->PLLSAI1N << 8) | (s->PLLSAI1P == RCC_PLLP_DIV17 ? RCC_PLLSAI1CFGR_PLLSAI1P : 0u) |
        (((s->PLLSAI1Q >> 1) - 1u) << 21) | (((s->PLLSAI1R >> 1) - 1u) << 25) | s->PLLSAI1ClockOut;
    RCC_regs.CR |= RCC_CR_PLLSAI1ON | RCC_CR_PLLSAI1RDY;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RCCEx_DisablePLLSAI1(void) {
    const sim::HalCall hal_call;
    RCC_regs.CR &= ~(RCC_CR_PLLSAI1ON | RCC_CR_PLLSAI1RDY);
    RCC_regs.PLLSAI1CFGR &=
        ~(RCC_PLLSAI1CFGR_PLLSAI1PEN | RCC_PLLSAI1CFGR_PLLSAI1QEN | RCC_PLLSAI1CFGR_PLLSAI1REN);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RCCEx_PeriphCLKConfig(RCC_PeriphCLKInitTypeDef *p) {
    const sim::HalCall hal_call;
    const uint32_t sel = p->PeriphClockSelection;
    auto field = [](uint32_t mask, uint32_t value) {
        RCC_regs.CCIPR = (RCC_regs.CCIPR & ~mask) | (value & mask);
    };
    if (sel & RCC_PERIPHCLK_RTC) {
        RCC_regs.APB1ENR1 |= RCC_APB1ENR1_PWREN;
        PWR_regs.CR1 |= PWR_CR1_DBP;
        const uint32_t current = RCC_regs.BDCR & RCC_BDCR_RTCSEL;
        if (current != 0u && current != (p->RTCClockSelection & RCC_BDCR_RTCSEL)) {
            // Changing the RTC clock needs a backup domain reset, as the HAL does it:
            // the HAL restores RCC_BDCR but the RTC and its backup registers are lost.
            const uint32_t keep = RCC_regs.BDCR & ~RCC_BDCR_RTCSEL;
            RCC_regs.BDCR = keep;
            sim::rtc_backup_domain_reset();
        }
        RCC_regs.BDCR =
            (RCC_regs.BDCR & ~RCC_BDCR_RTCSEL) | (p->RTCClockSelection & RCC_BDCR_RTCSEL);
    }
    if (sel & RCC_PERIPHCLK_USART1)
        field(RCC_CCIPR_USART1SEL, p->Usart1ClockSelection);
    if (sel & RCC_PERIPHCLK_USART2)
        field(RCC_CCIPR_USART2SEL, p->Usart2ClockSelection);
    if (sel & RCC_PERIPHCLK_USART3)
        field(RCC_CCIPR_USART3SEL, p->Usart3ClockSelection);
    if (sel & RCC_PERIPHCLK_LPUART1)
        field(RCC_CCIPR_LPUART1SEL, p->Lpuart1ClockSelection);
    if (sel & RCC_PERIPHCLK_I2C1)
        field(RCC_CCIPR_I2C1SEL, p->I2c1ClockSelection);
    if (sel & RCC_PERIPHCLK_I2C2)
        field(RCC_CCIPR_I2C2SEL, p->I2c2ClockSelection);
    if (sel & RCC_PERIPHCLK_I2C3)
        field(RCC_CCIPR_I2C3SEL, p->I2c3ClockSelection);
    if (sel & RCC_PERIPHCLK_ADC) {
        field(RCC_CCIPR_ADCSEL, p->AdcClockSelection);
        if (p->AdcClockSelection == RCC_ADCCLKSOURCE_PLLSAI1) {
            // The SAI1 PLL shares its input and M divider with the main PLL.
            RCC_regs.PLLCFGR = (RCC_regs.PLLCFGR & ~(RCC_PLLCFGR_PLLSRC | RCC_PLLCFGR_PLLM)) |
                               (p->PLLSAI1.PLLSAI1Source & RCC_PLLCFGR_PLLSRC) |
                               (((p->PLLSAI1.PLLSAI1M - 1u) << 4) & RCC_PLLCFGR_PLLM);
            if (HAL_RCCEx_EnablePLLSAI1(&p->PLLSAI1) != HAL_OK)
                return HAL_ERROR;
        }
    }
    return HAL_OK;
}

void HAL_RCCEx_GetPeriphCLKConfig(RCC_PeriphCLKInitTypeDef *p) {
    const sim::HalCall hal_call;
    p->PeriphClockSelection = RCC_PERIPHCLK_USART1 | RCC_PERIPHCLK_USART2 | RCC_PERIPHCLK_USART3 |
                              RCC_PERIPHCLK_I2C1 | RCC_PERIPHCLK_I2C2 | RCC_PERIPHCLK_I2C3 |
                              RCC_PERIPHCLK_ADC | RCC_PERIPHCLK_RTC;
    p->Usart1ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_USART1SEL;
    p->Usart2ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_USART2SEL;
    p->Usart3ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_USART3SEL;
    p->I2c1ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_I2C1SEL;
    p->I2c2ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_I2C2SEL;
    p->I2c3ClockSelection = RCC_regs.CCIPR & RCC_CCIPR_I2C3SEL;
    p->AdcClockSelection = RCC_regs.CCIPR & RCC_CCIPR_ADCSEL;
    p->RTCClockSelection = RCC_regs.BDCR & RCC_BDCR_RTCSEL;
}

uint32_t HAL_RCCEx_GetPeriphCLKFreq(uint32_t PeriphClk) {
    const sim::HalCall hal_call;
    auto pick = [](uint32_t sel, uint32_t bus) -> uint32_t {
        switch (sel) {
            case 0u:
                return bus;
            case 1u:
                return sim::rcc_sysclk_hz();
            case 2u:
                return (RCC_regs.CR & RCC_CR_HSIRDY) ? HSI_VALUE : 0u;
            default:
                return (RCC_regs.BDCR & RCC_BDCR_LSERDY) ? LSE_VALUE : 0u;
        }
    };
    const uint32_t ccipr = RCC_regs.CCIPR;
    switch (PeriphClk) {
        case RCC_PERIPHCLK_USART1:
            return pick((ccipr & RCC_CCIPR_USART1SEL) >> RCC_CCIPR_USART1SEL_Pos,
                        sim::rcc_pclk2_hz());
        case RCC_PERIPHCLK_USART2:
            return pick((ccipr & RCC_CCIPR_USART2SEL) >> RCC_CCIPR_USART2SEL_Pos,
                        sim::rcc_pclk1_hz());
        case RCC_PERIPHCLK_USART3:
            return pick((ccipr & RCC_CCIPR_USART3SEL) >> RCC_CCIPR_USART3SEL_Pos,
                        sim::rcc_pclk1_hz());
        case RCC_PERIPHCLK_I2C1:
            return pick((ccipr & RCC_CCIPR_I2C1SEL) >> RCC_CCIPR_I2C1SEL_Pos, sim::rcc_pclk1_hz());
        case RCC_PERIPHCLK_I2C2:
            return pick((ccipr & RCC_CCIPR_I2C2SEL) >> RCC_CCIPR_I2C2SEL_Pos, sim::rcc_pclk1_hz());
        case RCC_PERIPHCLK_I2C3:
            return pick((ccipr & RCC_CCIPR_I2C3SEL) >> RCC_CCIPR_I2C3SEL_Pos, sim::rcc_pclk1_hz());
        case RCC_PERIPHCLK_ADC: {
            const uint32_t sel = (ccipr & RCC_CCIPR_ADCSEL) >> RCC_CCIPR_ADCSEL_Pos;
            if (sel == 3u)
                return sim::rcc_sysclk_hz();
            if (sel != 1u || !(RCC_regs.CR & RCC_CR_PLLSAI1RDY))
                return 0u;
            const uint32_t c = RCC_regs.PLLCFGR, s = RCC_regs.PLLSAI1CFGR;
            const uint64_t vco =
                static_cast<uint64_t>(sim::pll_input_hz(c)) / sim::pll_m(c) * ((s >> 8) & 0x7Fu);
            return static_cast<uint32_t>(vco / ((((s >> 25) & 3u) + 1u) * 2u));
        }
        case RCC_PERIPHCLK_RTC:
            switch (RCC_regs.BDCR & RCC_BDCR_RTCSEL) {
                case RCC_BDCR_RTCSEL_0:
                    return (RCC_regs.BDCR & RCC_BDCR_LSERDY) ? LSE_VALUE : 0u;
                case RCC_BDCR_RTCSEL_1:
                    return (RCC_regs.CSR & RCC_CSR_LSIRDY) ? LSI_VALUE : 0u;
                case RCC_BDCR_RTCSEL:
                    return (RCC_regs.CR & RCC_CR_HSERDY) ? HSE_VALUE / 32u : 0u;
                default:
                    return 0u;
            }
        default:
            return 0u;
    }
}

void HAL_RCCEx_EnableLSECSS(void) {
    const sim::HalCall hal_call;
    RCC_regs.BDCR |= RCC_BDCR_LSECSSON;
}
void HAL_RCCEx_DisableLSECSS(void) {
    const sim::HalCall hal_call;
    RCC_regs.BDCR &= ~RCC_BDCR_LSECSSON;
}
void HAL_RCCEx_EnableMSIPLLMode(void) {
    const sim::HalCall hal_call;
    RCC_regs.CR |= RCC_CR_MSIPLLEN;
}
void HAL_RCCEx_DisableMSIPLLMode(void) {
    const sim::HalCall hal_call;
    RCC_regs.CR &= ~RCC_CR_MSIPLLEN;
}

}  // extern "C"
