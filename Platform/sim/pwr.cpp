// Power control of the simulated chip. Register set-up is kept as written; the
// low-power modes act on the run: sleep waits for an interrupt, standby and
// shutdown end the power cycle (the next run on the board directory is the wake-up
// reset). Stop modes, which keep the chip waiting for a wake-up line or the RTC,
// are not modelled.
#include <string>

#include "sim/board.h"
#include "stm32l4xx_hal.h"

namespace {

volatile uint32_t *pull_register(uint32_t gpio, bool up) {
    switch (gpio) {
        case PWR_GPIO_A:
            return up ? &PWR_regs.PUCRA : &PWR_regs.PDCRA;
        case PWR_GPIO_B:
            return up ? &PWR_regs.PUCRB : &PWR_regs.PDCRB;
        case PWR_GPIO_C:
            return up ? &PWR_regs.PUCRC : &PWR_regs.PDCRC;
        case PWR_GPIO_D:
            return up ? &PWR_regs.PUCRD : &PWR_regs.PDCRD;
        case PWR_GPIO_E:
            return up ? &PWR_regs.PUCRE : &PWR_regs.PDCRE;
        case PWR_GPIO_H:
            return up ? &PWR_regs.PUCRH : &PWR_regs.PDCRH;
        default:
            return nullptr;
    }
}

// The pins of a port that can have a standby pull-up (or pull-down): PA14 has no
// pull-up, PA13, PA15 and PB4 no pull-down, and port H only PH0, PH1 and PH3. The
// calls leave the other pins' bits alone.
uint32_t pull_pins(uint32_t gpio, bool up) {
    switch (gpio) {
        case PWR_GPIO_A:
            return up ? 0xFFFFu & ~PWR_GPIO_BIT_14 : 0xFFFFu & ~(PWR_GPIO_BIT_13 | PWR_GPIO_BIT_15);
        case PWR_GPIO_B:
            return up ? 0xFFFFu : 0xFFFFu & ~PWR_GPIO_BIT_4;
        case PWR_GPIO_H:
            return PWR_GPIO_BIT_0 | PWR_GPIO_BIT_1 | PWR_GPIO_BIT_3;
        default:
            return 0xFFFFu;
    }
}

// Enabling one pull clears the other on the same pins, so a pin never has both.
HAL_StatusTypeDef set_pull(uint32_t gpio, uint32_t bits, bool up, bool on) {
    volatile uint32_t *r = pull_register(gpio, up);
    if (r == nullptr)
        return HAL_ERROR;
    if (on) {
        *r |= bits & pull_pins(gpio, up);
        *pull_register(gpio, !up) &= ~(bits & pull_pins(gpio, !up));
    } else {
        *r &= ~(bits & pull_pins(gpio, up));
    }
    return HAL_OK;
}

[[noreturn]] void power_cycle_ends(const char *mode) {
    sim::Board &b = sim::board();
    b.trace().begin(b.now(), "low_power").field("mode", mode).end();
    b.end_run(sim::Ending::Standby, std::string("the firmware entered ") + mode + " mode");
}

}  // namespace

namespace sim {

// WFI or WFE with SLEEPDEEP set: the low-power mode that PWR_CR1 selects.
void enter_deep_sleep() {
    const uint32_t lpms = PWR_regs.CR1 & PWR_CR1_LPMS;
    if (lpms == PWR_CR1_LPMS_STANDBY)
        power_cycle_ends("standby");
    if (lpms >= PWR_CR1_LPMS_SHUTDOWN)
        power_cycle_ends("shutdown");
    sim::board().halt("stop mode is not modelled by the simulated board");
}

}  // namespace sim

extern "C" {

void HAL_PWR_DeInit(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 = 0x00000200u;  // voltage range 1
    PWR_regs.CR2 = 0;
    PWR_regs.CR3 = 0x00008000u;
    PWR_regs.CR4 = 0;
}

void HAL_PWR_EnableBkUpAccess(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 |= PWR_CR1_DBP;
}
void HAL_PWR_DisableBkUpAccess(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 &= ~PWR_CR1_DBP;
}

HAL_StatusTypeDef HAL_PWR_ConfigPVD(PWR_PVDTypeDef *sConfigPVD) {
    const sim::HalCall hal_call;
    PWR_regs.CR2 = (PWR_regs.CR2 & ~PWR_CR2_PLS) | (sConfigPVD->PVDLevel & PWR_CR2_PLS);
    return HAL_OK;
}
// The supply never drops on this board: the detector never fires.
void HAL_PWR_EnablePVD(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR2 |= PWR_CR2_PVDE;
}
void HAL_PWR_DisablePVD(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR2 &= ~PWR_CR2_PVDE;
}
__weak void HAL_PWR_PVDCallback(void) {}

void HAL_PWR_EnableWakeUpPin(uint32_t WakeUpPinPolarity) {
    const sim::HalCall hal_call;
    // Low bits: the pins to enable; the same bits shifted up: those active low.
    const uint32_t pins = WakeUpPinPolarity & PWR_CR3_EWUP;
    PWR_regs.CR4 =
        (PWR_regs.CR4 & ~pins) | ((WakeUpPinPolarity >> PWR_WUP_POLARITY_SHIFT) & PWR_CR3_EWUP);
    PWR_regs.CR3 |= WakeUpPinPolarity & PWR_CR3_EWUP;
}
void HAL_PWR_DisableWakeUpPin(uint32_t WakeUpPinx) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 &= ~(WakeUpPinx & PWR_CR3_EWUP);
}

void HAL_PWR_EnterSLEEPMode(uint32_t Regulator, uint8_t SLEEPEntry) {
    const sim::HalCall hal_call;
    (void)Regulator;
    SCB_regs.SCR &= ~SCB_SCR_SLEEPDEEP_Msk;  // sleep, not deep sleep
    if (SLEEPEntry == PWR_SLEEPENTRY_WFI) {
        __WFI();
    } else {
        __SEV();
        __WFE();
        __WFE();
    }
}

void HAL_PWR_EnterSTOPMode(uint32_t Regulator, uint8_t STOPEntry) {
    const sim::HalCall hal_call;
    (void)Regulator;
    (void)STOPEntry;
    sim::board().halt("stop mode is not modelled by the simulated board");
}

void HAL_PWR_EnterSTANDBYMode(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 = (PWR_regs.CR1 & ~PWR_CR1_LPMS) | PWR_CR1_LPMS_STANDBY;
    power_cycle_ends("standby");
}

void HAL_PWR_EnableSleepOnExit(void) {
    const sim::HalCall hal_call;
    SCB_regs.SCR |= SCB_SCR_SLEEPONEXIT_Msk;
}
void HAL_PWR_DisableSleepOnExit(void) {
    const sim::HalCall hal_call;
    SCB_regs.SCR &= ~SCB_SCR_SLEEPONEXIT_Msk;
}
void HAL_PWR_EnableSEVOnPend(void) {
    const sim::HalCall hal_call;
    SCB_regs.SCR |= SCB_SCR_SEVONPEND_Msk;
}
void HAL_PWR_DisableSEVOnPend(void) {
    const sim::HalCall hal_call;
    SCB_regs.SCR &= ~SCB_SCR_SEVONPEND_Msk;
}

uint32_t HAL_PWREx_GetVoltageRange(void) {
    const sim::HalCall hal_call;
    return PWR_regs.CR1 & PWR_CR1_VOS;
}

HAL_StatusTypeDef HAL_PWREx_ControlVoltageScaling(uint32_t VoltageScaling) {
    const sim::HalCall hal_call;
    if (VoltageScaling != PWR_REGULATOR_VOLTAGE_SCALE1 &&
        VoltageScaling != PWR_REGULATOR_VOLTAGE_SCALE2)
        return HAL_ERROR;
    // Range 2 allows at most 26 MHz.
    if (VoltageScaling == PWR_REGULATOR_VOLTAGE_SCALE2 && SystemCoreClock > 26000000u)
        return HAL_ERROR;
    PWR_regs.CR1 = (PWR_regs.CR1 & ~PWR_CR1_VOS) | VoltageScaling;
    return HAL_OK;
}

void HAL_PWREx_EnableBatteryCharging(uint32_t ResistorSelection) {
    const sim::HalCall hal_call;
    PWR_regs.CR4 =
        (PWR_regs.CR4 & ~PWR_CR4_VBRS) | (ResistorSelection & PWR_CR4_VBRS) | PWR_CR4_VBE;
}
void HAL_PWREx_DisableBatteryCharging(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR4 &= ~PWR_CR4_VBE;
}
void HAL_PWREx_EnableInternalWakeUpLine(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 |= PWR_CR3_EIWUL;
}
void HAL_PWREx_DisableInternalWakeUpLine(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 &= ~PWR_CR3_EIWUL;
}

HAL_StatusTypeDef HAL_PWREx_EnableGPIOPullUp(uint32_t GPIO, uint32_t GPIONumber) {
    const sim::HalCall hal_call;
    return set_pull(GPIO, GPIONumber, true, true);
}
HAL_StatusTypeDef HAL_PWREx_DisableGPIOPullUp(uint32_t GPIO, uint32_t GPIONumber) {
    const sim::HalCall hal_call;
    return set_pull(GPIO, GPIONumber, true, false);
}
HAL_StatusTypeDef HAL_PWREx_EnableGPIOPullDown(uint32_t GPIO, uint32_t GPIONumber) {
    const sim::HalCall hal_call;
    return set_pull(GPIO, GPIONumber, false, true);
}
HAL_StatusTypeDef HAL_PWREx_DisableGPIOPullDown(uint32_t GPIO, uint32_t GPIONumber) {
    const sim::HalCall hal_call;
    return set_pull(GPIO, GPIONumber, false, false);
}
void HAL_PWREx_EnablePullUpPullDownConfig(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 |= PWR_CR3_APC;
}
void HAL_PWREx_DisablePullUpPullDownConfig(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 &= ~PWR_CR3_APC;
}
void HAL_PWREx_EnableSRAM2ContentRetention(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 |= PWR_CR3_RRS;
}
void HAL_PWREx_DisableSRAM2ContentRetention(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR3 &= ~PWR_CR3_RRS;
}

// Low-power run only lowers the regulator's capability; the board's timing does not
// depend on it.
void HAL_PWREx_EnableLowPowerRunMode(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 |= PWR_CR1_LPR;
}
HAL_StatusTypeDef HAL_PWREx_DisableLowPowerRunMode(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 &= ~PWR_CR1_LPR;
    return HAL_OK;
}

void HAL_PWREx_EnterSTOP0Mode(uint8_t STOPEntry) {
    const sim::HalCall hal_call;
    HAL_PWR_EnterSTOPMode(0u, STOPEntry);
}
void HAL_PWREx_EnterSTOP1Mode(uint8_t STOPEntry) {
    const sim::HalCall hal_call;
    HAL_PWR_EnterSTOPMode(0u, STOPEntry);
}
void HAL_PWREx_EnterSTOP2Mode(uint8_t STOPEntry) {
    const sim::HalCall hal_call;
    HAL_PWR_EnterSTOPMode(0u, STOPEntry);
}

void HAL_PWREx_EnterSHUTDOWNMode(void) {
    const sim::HalCall hal_call;
    PWR_regs.CR1 = (PWR_regs.CR1 & ~PWR_CR1_LPMS) | PWR_CR1_LPMS_SHUTDOWN;
    power_cycle_ends("shutdown");
}

}  // extern "C"
