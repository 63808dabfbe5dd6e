#include "sim/gpio.h"

#include <cstddef>
#include <cstring>

#include "sim/devices.h"
#include "sim/peripherals.h"
#include "sim/rcc.h"
#include "sim/register_look.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr int kPorts = 6;
constexpr char kLetters[kPorts] = {'A', 'B', 'C', 'D', 'E', 'H'};
const RccEnable kPortClocks[kPorts] = {
    {RccBus::Ahb2, RCC_AHB2ENR_GPIOAEN}, {RccBus::Ahb2, RCC_AHB2ENR_GPIOBEN},
    {RccBus::Ahb2, RCC_AHB2ENR_GPIOCEN}, {RccBus::Ahb2, RCC_AHB2ENR_GPIODEN},
    {RccBus::Ahb2, RCC_AHB2ENR_GPIOEEN}, {RccBus::Ahb2, RCC_AHB2ENR_GPIOHEN}};

struct PortState {
    std::uint16_t driven = 0;  // pins an external signal drives
    std::uint16_t drive = 0;   // the driven levels
    std::uint16_t held = 0;    // pins held at a level against everything
    std::uint16_t hold = 0;    // the held levels
    std::uint16_t level = 0;   // last resolved levels (what was traced)
};

class GpioModel final : public Board::Model {
  public:
    explicit GpioModel(Board &b) : b_(b) {
        for (int i = 0; i < kPorts; ++i) {
            GPIO_TypeDef *r = regs(i);
            const std::uint32_t idr = resolve(i);
            r->IDR = idr;
            state_[i].level = static_cast<std::uint16_t>(idr);
            seen_[i] = Seen{r->MODER, r->OTYPER, r->PUPDR, r->ODR};
        }
    }

    static int index(const GPIO_TypeDef *p) {
        if (p == &GPIOA_regs)
            return 0;
        if (p == &GPIOB_regs)
            return 1;
        if (p == &GPIOC_regs)
            return 2;
        if (p == &GPIOD_regs)
            return 3;
        if (p == &GPIOE_regs)
            return 4;
        if (p == &GPIOH_regs)
            return 5;
        return -1;
    }
    static GPIO_TypeDef *regs(int i) {
        static GPIO_TypeDef *const all[kPorts] = {&GPIOA_regs, &GPIOB_regs, &GPIOC_regs,
                                                  &GPIOD_regs, &GPIOE_regs, &GPIOH_regs};
        return all[i];
    }

    // Bit p of the result: bit 2p of `pairs` (one bit of each pin's two-bit field).
    static std::uint32_t even_bits(std::uint32_t pairs) {
        std::uint32_t x = pairs & 0x55555555u;
        x = (x | (x >> 1)) & 0x33333333u;
        x = (x | (x >> 2)) & 0x0F0F0F0Fu;
        x = (x | (x >> 4)) & 0x00FF00FFu;
        return (x | (x >> 8)) & 0x0000FFFFu;
    }

    // The level of every pin, all sixteen at once: analog pins read 0; a held pin
    // reads its held level; a push-pull output reads ODR, an open-drain output
    // what is outside when it lets go (ODR 1) and 0 otherwise; inputs and alternate
    // functions read what is outside: the external drive, else the pull-up.
    std::uint32_t resolve(int i) const {
        const GPIO_TypeDef *r = regs(i);
        const PortState &s = state_[i];
        const std::uint32_t moder = r->MODER, pupdr = r->PUPDR, odr = r->ODR, otyper = r->OTYPER;
        const std::uint32_t mode0 = even_bits(moder), mode1 = even_bits(moder >> 1);
        const std::uint32_t analog = mode0 & mode1, output = mode0 & ~mode1;
        const std::uint32_t pull_up = even_bits(pupdr) & ~even_bits(pupdr >> 1);
        const std::uint32_t outside = (s.driven & s.drive) | (~s.driven & pull_up);
        const std::uint32_t out_level = (odr & ~otyper) | (odr & otyper & outside);
        const std::uint32_t free_level = (output & out_level) | (~output & outside);
        const std::uint32_t held = s.held;
        return ~analog & ((held & s.hold) | (~held & free_level)) & 0xFFFFu;
    }

    void refresh(int i, const char *cause) {
        in_use_.add(i);
        GPIO_TypeDef *r = regs(i);
        const std::uint32_t idr = resolve(i);
        r->IDR = idr;
        seen_[i] = Seen{r->MODER, r->OTYPER, r->PUPDR, r->ODR};
        PortState &s = state_[i];
        const std::uint32_t changed = (idr ^ s.level) & 0xFFFFu;
        s.level = static_cast<std::uint16_t>(idr);
        if (changed)
            firing_pins_changed(i, changed, idr);
        if (!changed || !b_.trace().enabled())
            return;
        for (unsigned pin = 0; pin < 16; ++pin) {
            if (!(changed & (1u << pin)))
                continue;
            char name[5] = {'P', kLetters[i], static_cast<char>(pin >= 10 ? '1' : '0' + pin), 0, 0};
            if (pin >= 10)
                name[3] = static_cast<char>('0' + pin - 10);
            b_.trace()
                .begin(b_.now(), "pin")
                .field("pin", name)
                .field("level", (idr >> pin) & 1u)
                .field("by", cause)
                .end();
        }
    }

    // Register writes made by the firmware itself (ODR, BSRR, BRR, mode, pull and
    // output type written without the HAL) change the pins as they do on the chip.
    // Only ports the firmware can have written are looked at (sim/rcc.h).
    void watch() override {
        for (std::uint32_t which = in_use_.mask(); which; which &= which - 1) {
            const int i = __builtin_ctz(which);
            // MODER with OTYPER, and ODR with BSRR (which must read 0), as 64-bit
            // words; PUPDR and BRR (0) on their own.
            const GPIO_TypeDef *r = regs(i);
            const Seen &s = seen_[i];
            const std::uint64_t diff =
                byte_diff<8>(&r->MODER, &s.moder) | byte_diff<4>(&r->PUPDR, &s.pupdr) |
                (word64(&r->ODR) ^ s.odr) | r->BRR;
            if (diff != 0)
                look(i);
        }
    }

    PortState state_[kPorts];

  private:
    static std::uint64_t word64(const volatile std::uint32_t *at) {
        std::uint64_t w;
        std::memcpy(&w, const_cast<const std::uint32_t *>(at), 8);
        return w;
    }

    // A port with something written since the last look.
    __attribute__((noinline)) void look(int i) {
        GPIO_TypeDef *r = regs(i);
        if (r->BSRR) {
            const std::uint32_t bsrr = r->BSRR;
            r->ODR = (r->ODR | (bsrr & 0xFFFFu)) & ~(bsrr >> 16);
            r->BSRR = 0;
        }
        if (r->BRR) {
            r->ODR &= ~(r->BRR & 0xFFFFu);
            r->BRR = 0;
        }
        Seen &s = seen_[i];
        if (((r->ODR ^ s.odr) | (r->MODER ^ s.moder) | (r->PUPDR ^ s.pupdr) |
             (r->OTYPER ^ s.otyper)) != 0)
            refresh(i, "firmware");
    }

    // MODER and OTYPER side by side as in the port's registers, so that the quiet
    // look compares them as one 64-bit word.
    struct Seen {
        std::uint32_t moder = 0, otyper = 0, pupdr = 0, odr = 0;
    };
    Seen seen_[kPorts];
    InstancesInUse in_use_{kPortClocks, kPorts};

    Board &b_;
};

static_assert(offsetof(GPIO_TypeDef, OTYPER) == offsetof(GPIO_TypeDef, MODER) + 4 &&
                  offsetof(GPIO_TypeDef, BSRR) == offsetof(GPIO_TypeDef, ODR) + 4 &&
                  __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the quiet look's 64-bit words: MODER then OTYPER, ODR then BSRR");

GpioModel &model() {
    return board().model<GpioModel>();
}

int letter_index(char letter) {
    for (int i = 0; i < kPorts; ++i)
        if (kLetters[i] == letter)
            return i;
    return -1;
}

}  // namespace

void install_gpio(Board &b) {
    GpioModel &m = b.model<GpioModel>();
    b.add_watcher(m);
}

char gpio_port_letter(const GPIO_TypeDef *port) {
    const int i = GpioModel::index(port);
    return i < 0 ? 0 : kLetters[i];
}

GPIO_TypeDef *gpio_port(char letter) {
    const int i = letter_index(letter);
    return i < 0 ? nullptr : GpioModel::regs(i);
}

void gpio_refresh(GPIO_TypeDef *port, const char *cause) {
    const int i = GpioModel::index(port);
    if (i >= 0)
        model().refresh(i, cause);
}

void gpio_drive(char letter, unsigned pin, unsigned level) {
    const int i = letter_index(letter);
    if (i < 0 || pin > 15)
        return;
    PortState &s = model().state_[i];
    s.driven = static_cast<std::uint16_t>(s.driven | (1u << pin));
    if (level) {
        s.drive = static_cast<std::uint16_t>(s.drive | (1u << pin));
    } else {
        s.drive = static_cast<std::uint16_t>(s.drive & ~(1u << pin));
    }
    model().refresh(i, "scenario");
}

void pin_hold(char letter, unsigned pin, unsigned level) {
    const int i = letter_index(letter);
    if (i < 0 || pin > 15)
        return;
    PortState &s = model().state_[i];
    const auto bit = static_cast<std::uint16_t>(1u << pin);
    s.held = static_cast<std::uint16_t>(level > 1 ? s.held & ~bit : s.held | bit);
    s.hold = static_cast<std::uint16_t>(level == 1 ? s.hold | bit : s.hold & ~bit);
    model().refresh(i, "scenario");
}

unsigned gpio_level(char letter, unsigned pin) {
    const int i = letter_index(letter);
    if (i < 0 || pin > 15)
        return 0;
    return (GpioModel::regs(i)->IDR >> pin) & 1u;
}

void pin_drive(char port, unsigned pin, unsigned level) {
    gpio_drive(port, pin, level);
}

}  // namespace sim

using sim::gpio_refresh;

extern "C" {

namespace {
constexpr uint32_t kModeMask = 0x3u;
constexpr uint32_t kOutputTypeBit = 0x10u;
constexpr uint32_t kAnalogAdcControl = 0x8u;
constexpr uint32_t kExtiModeBits = 0x00030000u;  // interrupt and event line selection
}  // namespace

void HAL_GPIO_Init(GPIO_TypeDef *GPIOx, GPIO_InitTypeDef *GPIO_Init) {
    const sim::HalCall hal_call;
    if (GPIO_Init->Mode & kExtiModeBits)
        sim::board().halt("HAL_GPIO_Init with an external interrupt or event mode: EXTI lines are "
                          "not modelled by the simulated board");
    const uint32_t mode = GPIO_Init->Mode & kModeMask;
    for (uint32_t pin = 0; pin < 16; ++pin) {
        if (!(GPIO_Init->Pin & (1u << pin)))
            continue;
        if (mode == 1u || mode == 2u) {
            GPIOx->OSPEEDR =
                (GPIOx->OSPEEDR & ~(3u << (2 * pin))) | ((GPIO_Init->Speed & 3u) << (2 * pin));
            GPIOx->OTYPER =
                (GPIOx->OTYPER & ~(1u << pin)) | (((GPIO_Init->Mode & kOutputTypeBit) >> 4) << pin);
        }
        if (mode != 3u) {
            GPIOx->PUPDR =
                (GPIOx->PUPDR & ~(3u << (2 * pin))) | ((GPIO_Init->Pull & 3u) << (2 * pin));
        }
        if (mode == 2u) {
            volatile uint32_t &afr = GPIOx->AFR[pin >> 3];
            afr = (afr & ~(0xFu << (4 * (pin & 7u)))) |
                  ((GPIO_Init->Alternate & 0xFu) << (4 * (pin & 7u)));
        }
        GPIOx->MODER = (GPIOx->MODER & ~(3u << (2 * pin))) | (mode << (2 * pin));
        (void)kAnalogAdcControl;  // the analog switch to the ADC has no effect on the level
    }
    sim::Board &b = sim::board();
    if (b.trace().enabled()) {
        static const char *const names[4] = {"input", "output", "alternate", "analog"};
        static const char *const pulls[4] = {"none", "up", "down", "reserved"};
        for (uint32_t pin = 0; pin < 16; ++pin) {
            if (!(GPIO_Init->Pin & (1u << pin)))
                continue;
            char name[5] = {'P', sim::gpio_port_letter(GPIOx),
                            static_cast<char>(pin >= 10 ? '1' : '0' + pin), 0, 0};
            if (pin >= 10)
                name[3] = static_cast<char>('0' + pin - 10);
            b.trace()
                .begin(b.now(), "pin_mode")
                .field("pin", name)
                .field("mode", names[mode])
                .field("open_drain", static_cast<uint64_t>((GPIOx->OTYPER >> pin) & 1u))
                .field("pull", pulls[(GPIOx->PUPDR >> (2 * pin)) & 3u])
                .end();
        }
    }
    gpio_refresh(GPIOx, "firmware");
}

void HAL_GPIO_DeInit(GPIO_TypeDef *GPIOx, uint32_t GPIO_Pin) {
    const sim::HalCall hal_call;
    for (uint32_t pin = 0; pin < 16; ++pin) {
        if (!(GPIO_Pin & (1u << pin)))
            continue;
        GPIOx->MODER |= 3u << (2 * pin);  // analog, the reset state
        GPIOx->AFR[pin >> 3] &= ~(0xFu << (4 * (pin & 7u)));
        GPIOx->OSPEEDR &= ~(3u << (2 * pin));
        GPIOx->OTYPER &= ~(1u << pin);
        GPIOx->PUPDR &= ~(3u << (2 * pin));
    }
    gpio_refresh(GPIOx, "firmware");
}

GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef *GPIOx, uint16_t GPIO_Pin) {
    const sim::HalCall hal_call;
    return (GPIOx->IDR & GPIO_Pin) != 0u ? GPIO_PIN_SET : GPIO_PIN_RESET;
}

void HAL_GPIO_WritePin(GPIO_TypeDef *GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState) {
    const sim::HalCall hal_call;
    if (PinState != GPIO_PIN_RESET) {
        GPIOx->ODR |= GPIO_Pin;
    } else {
        GPIOx->ODR &= ~static_cast<uint32_t>(GPIO_Pin);
    }
    gpio_refresh(GPIOx, "firmware");
}

void HAL_GPIO_TogglePin(GPIO_TypeDef *GPIOx, uint16_t GPIO_Pin) {
    const sim::HalCall hal_call;
    GPIOx->ODR ^= GPIO_Pin;
    gpio_refresh(GPIOx, "firmware");
}

HAL_StatusTypeDef HAL_GPIO_LockPin(GPIO_TypeDef *GPIOx, uint16_t GPIO_Pin) {
    const sim::HalCall hal_call;
    GPIOx->LCKR |= GPIO_Pin;  // the lock is recorded, not enforced
    return HAL_OK;
}

// External interrupt lines are not modelled yet: nothing sets their pending bits.
void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin) {
    const sim::HalCall hal_call;
    if (EXTI_regs.PR1 & GPIO_Pin) {
        EXTI_regs.PR1 = EXTI_regs.PR1 & ~static_cast<uint32_t>(GPIO_Pin);
        {
            const sim::FirmwareCode firmware;
            HAL_GPIO_EXTI_Callback(GPIO_Pin);
        }
    }
}

__weak void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin) {
    (void)GPIO_Pin;
}

}  // extern "C"
