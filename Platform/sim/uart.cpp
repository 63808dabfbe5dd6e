#include "sim/uart.h"

#include <deque>
#include <string>

#include "sim/console.h"
#include "sim/devices.h"
#include "sim/dma.h"
#include "sim/handle.h"
#include "sim/hal_timeout.h"
#include "sim/peripherals.h"
#include "sim/rcc.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint32_t kDefaultBaud = 115200;  // line rate of a port that was never set up
constexpr std::uint32_t kUartDmaRequest = 2;    // CSELR selection of the USART streams
// TDR reads this (a frame has 9 data bits at most), so that a write of the
// firmware itself is seen.
constexpr std::uint16_t kTdrIdle = 0xFFFF;

struct PortInfo {
    USART_TypeDef *regs;
    const char *name;
    int rx_channel;  // DMA1 channel wired to the receive request
};

const PortInfo kPorts[] = {
    {&USART1_regs, "USART1", 5},
    {&USART2_regs, "USART2", 6},
    {&USART3_regs, "USART3", 3},
};
const RccEnable kPortClocks[] = {{RccBus::Apb2, RCC_APB2ENR_USART1EN},
                                 {RccBus::Apb1, RCC_APB1ENR1_USART2EN},
                                 {RccBus::Apb1, RCC_APB1ENR1_USART3EN}};
constexpr int kPortCount = 3;

int port_index(const USART_TypeDef *r) {
    for (int i = 0; i < kPortCount; ++i)
        if (kPorts[i].regs == r)
            return i;
    return -1;
}

class UartModel final : public Board::Model, public EventSink {
  public:
    explicit UartModel(Board &b) : b_(b) {}

    struct Port {
        std::uint32_t baud = 0;  // nominal rate from the last HAL_UART_Init; 0 = never set up
        std::uint32_t frame_halfbits = 20;  // start + data + parity + stop, in half bits
        std::uint16_t data_mask = 0xFF;     // data bits of a frame (without the parity bit)
        // Receive line: bytes still on their way, one frame apart from an anchor.
        std::deque<std::uint8_t> rx_queue;
        bool rx_busy = false;
        Time rx_anchor = 0;
        std::uint64_t rx_count = 0;  // bytes completed since the anchor
        // Transmitter: the data register (TDR) in front of the shift register. A
        // byte written while the shift register is idle moves into it at once; the
        // next one waits in TDR (TXE clear) until the shift register is free.
        bool shifting = false;
        bool tdr_full = false;
        std::uint16_t tdr = 0;
        std::uint16_t shift_value = 0;
        Time tx_anchor = 0;
        std::uint64_t tx_count = 0;  // frames completed since the anchor
        std::uint64_t tx_gen = 0;    // stale shift-end events carry an older generation
        std::uint32_t seen_cr1 = 0;
        PortStats *stats = nullptr;
    };
    Port ports_[kPortCount];

    // Time for `k` frames from an anchor, rounded up to the nanosecond.
    static Time frames(const Port &p, std::uint64_t k) {
        const std::uint64_t baud = p.baud ? p.baud : kDefaultBaud;
        return scaled_ceil(k * p.frame_halfbits, 1000000000u, 2u * baud);
    }

    static bool tx_enabled(int i) {
        const std::uint32_t cr1 = kPorts[i].regs->CR1;
        return (cr1 & (USART_CR1_UE | USART_CR1_TE)) == (USART_CR1_UE | USART_CR1_TE);
    }

    // Event tags: port in the low 2 bits, 0 = receive line, 1 = shift end (with the
    // transmitter's generation above).
    void on_event(Time, std::uint64_t tag) override {
        const int i = static_cast<int>(tag & 3u);
        if ((tag >> 2) & 1u) {
            if ((tag >> 3) == ports_[i].tx_gen)
                shift_done(i);
            return;
        }
        Port &p = ports_[i];
        const std::uint8_t byte = p.rx_queue.front();
        p.rx_queue.pop_front();
        ++p.rx_count;
        if (p.rx_queue.empty()) {
            p.rx_busy = false;
        } else {
            b_.sched().schedule(p.rx_anchor + frames(p, p.rx_count + 1), this, tag);
        }
        deliver(i, byte);
    }

    void inject(int i, const std::uint8_t *bytes, std::size_t n) {
        Port &p = ports_[i];
        for (std::size_t k = 0; k < n; ++k) p.rx_queue.push_back(bytes[k]);
        if (!p.rx_busy && !p.rx_queue.empty()) {
            p.rx_busy = true;
            p.rx_anchor = b_.now();
            p.rx_count = 0;
            b_.sched().schedule(p.rx_anchor + frames(p, 1), this, static_cast<std::uint64_t>(i));
        }
    }

    // A frame has arrived: the receive DMA takes it, or it waits in the receive
    // data register (RXNE) until read; one arriving while RXNE is still set is lost
    // (ORE), as is everything arriving with the receiver off.
    void deliver(int i, std::uint8_t byte) {
        const PortInfo &info = kPorts[i];
        USART_TypeDef *r = info.regs;
        const std::uint16_t value = static_cast<std::uint16_t>(byte & ports_[i].data_mask);
        const char *why = nullptr;
        if ((r->CR1 & (USART_CR1_UE | USART_CR1_RE)) != (USART_CR1_UE | USART_CR1_RE)) {
            why = "receiver off";
        } else if ((r->CR3 & USART_CR3_DMAR) &&
                   dma_request_rx(info.rx_channel, kUartDmaRequest,
                                  static_cast<std::uint8_t>(value))) {
        } else if (r->ISR & USART_ISR_RXNE) {
            r->ISR |= USART_ISR_ORE;
            why = "overrun";
        } else {
            r->RDR = value;
            r->ISR |= USART_ISR_RXNE;
        }
        PortStats &s = stats(i);
        if (why) {
            ++s.lost;
            if (b_.trace().enabled())
                b_.trace()
                    .begin(b_.now(), "uart_rx_lost")
                    .field("port", info.name)
                    .field("byte", value)
                    .field("why", why)
                    .end();
            return;
        }
        ++s.rx;
        if (b_.trace().enabled())
            b_.trace().begin(b_.now(), "uart_rx").field("port", info.name).field("byte", value).end();
    }

    // The receive DMA request is a level: a byte already waiting in the receive
    // register goes to the channel as soon as the firmware enables the request.
    void dma_take_pending(int i) {
        USART_TypeDef *r = kPorts[i].regs;
        if ((r->ISR & USART_ISR_RXNE) && (r->CR3 & USART_CR3_DMAR) &&
            dma_request_rx(kPorts[i].rx_channel, kUartDmaRequest,
                           static_cast<std::uint8_t>(r->RDR)))
            r->ISR &= ~USART_ISR_RXNE;
    }

    void write_tdr(int i, std::uint16_t value) {
        Port &p = ports_[i];
        USART_TypeDef *r = kPorts[i].regs;
        r->ISR &= ~USART_ISR_TC;
        if (p.shifting || !tx_enabled(i)) {
            p.tdr = value;
            p.tdr_full = true;
            r->ISR &= ~USART_ISR_TXE;
            return;
        }
        p.shifting = true;
        p.shift_value = value;
        p.tx_anchor = b_.now();
        p.tx_count = 0;
        schedule_shift_end(i);
    }

    void schedule_shift_end(int i) {
        Port &p = ports_[i];
        b_.sched().schedule(p.tx_anchor + frames(p, p.tx_count + 1), this,
                            (p.tx_gen << 3) | 4u | static_cast<std::uint64_t>(i));
    }

    // The stop bit of the byte in the shift register has left the line.
    void shift_done(int i) {
        Port &p = ports_[i];
        USART_TypeDef *r = kPorts[i].regs;
        ++p.tx_count;
        transmitted(i, p.shift_value);
        if (p.tdr_full) {
            p.tdr_full = false;
            p.shift_value = p.tdr;
            r->ISR |= USART_ISR_TXE;
            schedule_shift_end(i);
        } else {
            p.shifting = false;
            r->ISR |= USART_ISR_TC;
        }
    }

    void use(int i) { in_use_.add(i); }

    // Register writes of the firmware: the flag clear register, the request
    // register, and the enable bits (disabling the port discards what it was doing
    // and resets its flags).
    void watch() override {
        // Only ports the firmware can have written (sim/rcc.h).
        for (std::uint32_t which = in_use_.mask(); which; which &= which - 1) {
            const int i = __builtin_ctz(which);
            const USART_TypeDef *r = kPorts[i].regs;
            if ((r->ICR | r->RQR | (r->CR1 ^ ports_[i].seen_cr1) | (r->TDR ^ kTdrIdle)) != 0)
                look(i);
        }
    }

    // A port with something written since the last look.
    __attribute__((noinline)) void look(int i) {
        USART_TypeDef *r = kPorts[i].regs;
        Port &p = ports_[i];
        if (r->ICR) {
            r->ISR &= ~(r->ICR & (USART_ICR_PECF | USART_ICR_FECF | USART_ICR_NCF |
                                  USART_ICR_ORECF | USART_ICR_IDLECF | USART_ICR_TCCF |
                                  USART_ICR_LBDCF | USART_ICR_CTSCF | USART_ICR_RTOCF |
                                  USART_ICR_EOBCF | USART_ICR_CMCF | USART_ICR_WUCF));
            r->ICR = 0;
        }
        if (r->RQR) {
            if (r->RQR & USART_RQR_RXFRQ)
                r->ISR &= ~USART_ISR_RXNE;
            r->RQR = 0;
        }
        const std::uint32_t cr1 = r->CR1;
        if (cr1 != p.seen_cr1) {
            check_not_modelled(i, cr1);
            if ((p.seen_cr1 & USART_CR1_UE) && !(cr1 & USART_CR1_UE))
                reset_port(i);
            p.seen_cr1 = cr1;
            const bool ue = (cr1 & USART_CR1_UE) != 0;
            r->ISR = (r->ISR & ~(USART_ISR_TEACK | USART_ISR_REACK)) |
                     ((ue && (cr1 & USART_CR1_TE)) ? USART_ISR_TEACK : 0u) |
                     ((ue && (cr1 & USART_CR1_RE)) ? USART_ISR_REACK : 0u);
            if (p.tdr_full && !p.shifting && tx_enabled(i)) {
                // A byte left waiting in TDR goes out once the transmitter is on.
                p.tdr_full = false;
                r->ISR |= USART_ISR_TXE;
                write_tdr(i, p.tdr);
            }
        }
        // Bytes written into TDR by the firmware itself: a loop that writes one and
        // then polls TXE without a call in between would see the flag before this
        // look, and overwrite the byte, so such transmission cannot be modelled.
        if (r->TDR != kTdrIdle)
            b_.halt(std::string(kPorts[i].name) +
                    " TDR written directly (transmission through the data register) is not "
                    "modelled by the simulated board: HAL_UART_Transmit is");
    }

    // Interrupt-driven transfers and the USART's own interrupt line are not
    // modelled: enabling their interrupts would wait for something that never comes.
    void check_not_modelled(int i, std::uint32_t cr1) {
        static const struct {
            std::uint32_t bit;
            const char *name;
        } kBits[] = {{USART_CR1_TXEIE, "TXEIE"}, {USART_CR1_TCIE, "TCIE"},
                     {USART_CR1_RXNEIE, "RXNEIE"}, {USART_CR1_IDLEIE, "IDLEIE"},
                     {USART_CR1_CMIE, "CMIE"},   {USART_CR1_RTOIE, "RTOIE"}};
        for (const auto &k : kBits) {
            if ((cr1 & k.bit) && !(ports_[i].seen_cr1 & k.bit))
                b_.halt(std::string(kPorts[i].name) + " CR1 " + k.name +
                        " (a USART interrupt) is not modelled by the simulated board");
        }
    }

    // Port disabled (UE cleared) or set up again: the transfers in progress are
    // dropped and the status flags return to their reset values.
    void reset_port(int i) {
        Port &p = ports_[i];
        ++p.tx_gen;
        p.shifting = false;
        p.tdr_full = false;
        kPorts[i].regs->ISR = USART_ISR_TXE | USART_ISR_TC;
    }

    PortStats &stats(int i) {
        Port &p = ports_[i];
        if (!p.stats)
            p.stats = &b_.summary().port(kPorts[i].name);
        return *p.stats;
    }

    bool rx_may_raise(int i) const {
        const bool more =
            !ports_[i].rx_queue.empty() || (i == 0 && b_.scenario_serial_pending[0] != 0) ||
            (i == 2 &&
             (b_.scenario_serial_pending[1] != 0 || (b_.console && b_.console->interactive())));
        return more && dma_rx_ready(kPorts[i].rx_channel, kUartDmaRequest);
    }

    void transmitted(int i, std::uint16_t value) {
        const auto byte = static_cast<std::uint16_t>(value & ports_[i].data_mask);
        ++stats(i).tx;
        if (b_.trace().enabled())
            b_.trace().begin(b_.now(), "uart_tx").field("port", kPorts[i].name).field("byte", byte).end();
        if (i == 2 && b_.console)
            b_.console->console_out(static_cast<std::uint8_t>(byte));
        if (i == 2)
            firing_console_byte(static_cast<std::uint8_t>(byte));
        if (i == 0) {
            firing_phone_byte(static_cast<std::uint8_t>(byte));
            radio_from_device(static_cast<std::uint8_t>(byte));  // the module passes it on
        }
    }

    Board &b_;
    InstancesInUse in_use_{kPortClocks, kPortCount};
};

UartModel &model() {
    return board().model<UartModel>();
}

}  // namespace

void install_uarts(Board &b) {
    UartModel &m = b.model<UartModel>();
    b.add_watcher(m);
    for (const PortInfo &port : kPorts) port.regs->TDR = kTdrIdle;
    for (int i = 0; i < kPortCount; ++i) {
        const IRQn_Type irq = static_cast<IRQn_Type>(DMA1_Channel1_IRQn + kPorts[i].rx_channel - 1);
        b.add_wake_source(WakeSource{[&m, i] { return m.rx_may_raise(i); }, irq});
    }
    // Make the summary list both board ports even when they stay silent.
    m.stats(0);
    m.stats(2);
}

void serial_inject(SerialPort port, const std::uint8_t *bytes, std::size_t n) {
    model().inject(port == SerialPort::Phone ? 0 : 2, bytes, n);
}

}  // namespace sim

using sim::model;

extern "C" {

namespace {

// Frame length in half bits: start, data (with parity), stop.
uint32_t frame_halfbits(const UART_InitTypeDef &init) {
    uint32_t data = 8;
    if (init.WordLength == UART_WORDLENGTH_9B)
        data = 9;
    if (init.WordLength == UART_WORDLENGTH_7B)
        data = 7;
    uint32_t stop2 = 2;  // one stop bit
    if (init.StopBits == UART_STOPBITS_0_5)
        stop2 = 1;
    if (init.StopBits == UART_STOPBITS_1_5)
        stop2 = 3;
    if (init.StopBits == UART_STOPBITS_2)
        stop2 = 4;
    return 2u + 2u * data + stop2;
}

// Data bits of a frame as the HAL's mask computation has them: the parity bit
// takes the place of the top data bit.
uint16_t data_mask(const UART_InitTypeDef &init) {
    const bool parity = init.Parity != UART_PARITY_NONE;
    if (init.WordLength == UART_WORDLENGTH_9B)
        return parity ? 0x00FFu : 0x01FFu;
    if (init.WordLength == UART_WORDLENGTH_7B)
        return parity ? 0x003Fu : 0x007Fu;
    return parity ? 0x007Fu : 0x00FFu;
}

// Nine data bits without parity: the HAL moves 16-bit items.
bool nine_bit_items(const UART_HandleTypeDef *huart) {
    return huart->Init.WordLength == UART_WORDLENGTH_9B && huart->Init.Parity == UART_PARITY_NONE;
}

void end_rx_transfer(UART_HandleTypeDef *huart) {
    huart->Instance->CR1 &= ~(USART_CR1_RXNEIE | USART_CR1_PEIE);
    huart->Instance->CR3 &= ~USART_CR3_EIE;
    if (huart->ReceptionType == HAL_UART_RECEPTION_TOIDLE)
        huart->Instance->CR1 &= ~USART_CR1_IDLEIE;
    huart->RxState = HAL_UART_STATE_READY;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    huart->RxISR = nullptr;
}

void dma_receive_cplt(DMA_HandleTypeDef *hdma) {
    auto *huart = static_cast<UART_HandleTypeDef *>(hdma->Parent);
    if (!(hdma->Instance->CCR & DMA_CCR_CIRC)) {
        huart->RxXferCount = 0;
        huart->Instance->CR1 &= ~USART_CR1_PEIE;
        huart->Instance->CR3 &= ~USART_CR3_EIE;
        huart->Instance->CR3 &= ~USART_CR3_DMAR;
        huart->RxState = HAL_UART_STATE_READY;
        if (huart->ReceptionType == HAL_UART_RECEPTION_TOIDLE)
            huart->Instance->CR1 &= ~USART_CR1_IDLEIE;
    }
    huart->RxEventType = HAL_UART_RXEVENT_TC;
    HAL_UART_RxCpltCallback(huart);
}

void dma_rx_half_cplt(DMA_HandleTypeDef *hdma) {
    auto *huart = static_cast<UART_HandleTypeDef *>(hdma->Parent);
    huart->RxEventType = HAL_UART_RXEVENT_HT;
    HAL_UART_RxHalfCpltCallback(huart);
}

void dma_error(DMA_HandleTypeDef *hdma) {
    auto *huart = static_cast<UART_HandleTypeDef *>(hdma->Parent);
    huart->ErrorCode |= HAL_UART_ERROR_DMA;
    HAL_UART_ErrorCallback(huart);
}

[[noreturn]] void not_modelled(const char *what) {
    sim::board().halt(std::string(what) + " is not modelled by the simulated board");
}

}  // namespace

HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    if (huart == nullptr)
        return HAL_ERROR;
    sim::require_instance(huart, "HAL_UART_Init");
    const int i = sim::port_index(huart->Instance);
    if (i < 0)
        return HAL_ERROR;
    if (huart->gState == HAL_UART_STATE_RESET) {
        huart->Lock = HAL_UNLOCKED;
        {
            const sim::FirmwareCode firmware;
            HAL_UART_MspInit(huart);
        }
    }
    huart->gState = HAL_UART_STATE_BUSY;
    USART_TypeDef *r = huart->Instance;
    r->CR1 &= ~USART_CR1_UE;
    const UART_InitTypeDef &init = huart->Init;
    if (init.BaudRate == 0u)
        return HAL_ERROR;
    // Baud rate register as the HAL computes it from the port's kernel clock.
    const uint32_t pclk =
        HAL_RCCEx_GetPeriphCLKFreq(huart->Instance == USART1   ? RCC_PERIPHCLK_USART1
                                   : huart->Instance == USART2 ? RCC_PERIPHCLK_USART2
                                                               : RCC_PERIPHCLK_USART3);
    if (pclk == 0u)
        return HAL_ERROR;
    uint32_t brr;
    if (init.OverSampling == UART_OVERSAMPLING_8) {
        const uint32_t div = (2u * pclk + init.BaudRate / 2u) / init.BaudRate;
        if (div < 16u || div > 0xFFFFu)
            return HAL_ERROR;
        brr = (div & 0xFFF0u) | ((div & 0x000Fu) >> 1u);
    } else {
        const uint32_t div = (pclk + init.BaudRate / 2u) / init.BaudRate;
        if (div < 16u || div > 0xFFFFu)
            return HAL_ERROR;
        brr = div;
    }
    r->CR1 = (r->CR1 & ~(USART_CR1_M | USART_CR1_PCE | USART_CR1_PS | USART_CR1_TE | USART_CR1_RE |
                         USART_CR1_OVER8)) |
             init.WordLength | init.Parity | init.Mode | init.OverSampling;
    r->CR2 = (r->CR2 & ~USART_CR2_STOP) | init.StopBits;
    r->CR3 = (r->CR3 & ~(USART_CR3_RTSE | USART_CR3_CTSE | USART_CR3_ONEBIT)) | init.HwFlowCtl |
             init.OneBitSampling;
    r->BRR = static_cast<uint16_t>(brr);
    r->CR2 &= ~(USART_CR2_LINEN | USART_CR2_CLKEN);
    r->CR3 &= ~(USART_CR3_SCEN | USART_CR3_HDSEL | USART_CR3_IREN);
    sim::UartModel &m = model();
    m.reset_port(i);
    sim::UartModel::Port &p = m.ports_[i];
    p.baud = init.BaudRate;
    p.frame_halfbits = frame_halfbits(init);
    p.data_mask = data_mask(init);
    r->CR1 |= USART_CR1_UE;
    m.use(i);
    m.watch();  // the port comes up: TEACK and REACK as the HAL's idle check waits for them
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->gState = HAL_UART_STATE_READY;
    huart->RxState = HAL_UART_STATE_READY;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    huart->RxEventType = HAL_UART_RXEVENT_TC;
    __HAL_UNLOCK(huart);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_HalfDuplex_Init(UART_HandleTypeDef *) {
    const sim::HalCall hal_call;
    not_modelled("HAL_HalfDuplex_Init");
}

HAL_StatusTypeDef HAL_UART_DeInit(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    if (huart == nullptr)
        return HAL_ERROR;
    sim::require_instance(huart, "HAL_UART_DeInit");
    if (sim::port_index(huart->Instance) < 0)
        return HAL_ERROR;
    huart->gState = HAL_UART_STATE_BUSY;
    huart->Instance->CR1 = 0;
    huart->Instance->CR2 = 0;
    huart->Instance->CR3 = 0;
    model().watch();
    {
        const sim::FirmwareCode firmware;
        HAL_UART_MspDeInit(huart);
    }
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->gState = HAL_UART_STATE_RESET;
    huart->RxState = HAL_UART_STATE_RESET;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    __HAL_UNLOCK(huart);
    return HAL_OK;
}

__weak void HAL_UART_MspInit(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_MspDeInit(UART_HandleTypeDef *huart) {
    (void)huart;
}

// Blocking transmit and receive, as the vendor's: the tick is noted at the start,
// each data item waits for its flag (TXE, RXNE; TC at the end of a transmit) under
// the vendor's time-out rule. The line takes one frame per item at the configured
// rate; interrupts of higher priority run while the call waits. A second transmit
// on the same port from another context finds the port busy and is refused.
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef *huart, const uint8_t *pData, uint16_t Size,
                                    uint32_t Timeout) {
    const sim::HalCall hal_call;
    if (huart->gState != HAL_UART_STATE_READY)
        return HAL_BUSY;
    if (pData == nullptr || Size == 0u)
        return HAL_ERROR;
    sim::require_instance(huart, "HAL_UART_Transmit");
    const int i = sim::port_index(huart->Instance);
    if (i < 0)
        return HAL_ERROR;
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->gState = HAL_UART_STATE_BUSY_TX;
    const sim::HalTimeout timeout(Timeout);
    huart->TxXferSize = Size;
    huart->TxXferCount = Size;
    sim::UartModel &m = model();
    USART_TypeDef *r = huart->Instance;
    const bool words = nine_bit_items(huart);
    const uint8_t *next = pData;
    while (huart->TxXferCount > 0u) {
        if (timeout.wait([r] { return (r->ISR & USART_ISR_TXE) != 0u; }, "HAL_UART_Transmit") !=
            HAL_OK) {
            huart->gState = HAL_UART_STATE_READY;
            return HAL_TIMEOUT;
        }
        uint16_t value = *next++;
        if (words)
            value = static_cast<uint16_t>((value | (*next++ << 8)) & 0x01FFu);
        m.write_tdr(i, value);
        huart->TxXferCount--;
    }
    if (timeout.wait([r] { return (r->ISR & USART_ISR_TC) != 0u; }, "HAL_UART_Transmit") !=
        HAL_OK) {
        huart->gState = HAL_UART_STATE_READY;
        return HAL_TIMEOUT;
    }
    huart->gState = HAL_UART_STATE_READY;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Receive(UART_HandleTypeDef *huart, uint8_t *pData, uint16_t Size,
                                   uint32_t Timeout) {
    const sim::HalCall hal_call;
    if (huart->RxState != HAL_UART_STATE_READY)
        return HAL_BUSY;
    if (pData == nullptr || Size == 0u)
        return HAL_ERROR;
    sim::require_instance(huart, "HAL_UART_Receive");
    if (sim::port_index(huart->Instance) < 0)
        return HAL_ERROR;
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->RxState = HAL_UART_STATE_BUSY_RX;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    const sim::HalTimeout timeout(Timeout);
    huart->RxXferSize = Size;
    huart->RxXferCount = Size;
    huart->Mask = data_mask(huart->Init);
    USART_TypeDef *r = huart->Instance;
    const bool words = nine_bit_items(huart);
    // Overrun ends a blocking reception, as the vendor's wait loop does: the error
    // code says ORE, and the call answers HAL_TIMEOUT like any failed wait.
    auto overrun = [huart, r]() {
        if (!(r->CR1 & USART_CR1_RE) || !(r->ISR & USART_ISR_ORE))
            return HAL_OK;
        r->ISR &= ~USART_ISR_ORE;
        end_rx_transfer(huart);
        huart->ErrorCode = HAL_UART_ERROR_ORE;
        __HAL_UNLOCK(huart);
        return HAL_ERROR;
    };
    uint8_t *next = pData;
    while (huart->RxXferCount > 0u) {
        const HAL_StatusTypeDef st = timeout.wait(
            [r] { return (r->ISR & USART_ISR_RXNE) != 0u; }, "HAL_UART_Receive", overrun);
        if (st != HAL_OK) {
            huart->RxState = HAL_UART_STATE_READY;
            return HAL_TIMEOUT;
        }
        // Reading the data register clears RXNE.
        const uint16_t value = static_cast<uint16_t>(r->RDR & huart->Mask);
        r->ISR &= ~USART_ISR_RXNE;
        *next++ = static_cast<uint8_t>(value);
        if (words)
            *next++ = static_cast<uint8_t>(value >> 8);
        huart->RxXferCount--;
    }
    huart->RxState = HAL_UART_STATE_READY;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Transmit_IT(UART_HandleTypeDef *, const uint8_t *, uint16_t) {
    const sim::HalCall hal_call;
    not_modelled("HAL_UART_Transmit_IT");
}
HAL_StatusTypeDef HAL_UART_Receive_IT(UART_HandleTypeDef *, uint8_t *, uint16_t) {
    const sim::HalCall hal_call;
    not_modelled("HAL_UART_Receive_IT");
}
HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef *, const uint8_t *, uint16_t) {
    const sim::HalCall hal_call;
    not_modelled("HAL_UART_Transmit_DMA");
}

HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef *huart, uint8_t *pData, uint16_t Size) {
    const sim::HalCall hal_call;
    if (huart->RxState != HAL_UART_STATE_READY)
        return HAL_BUSY;
    if (pData == nullptr || Size == 0u)
        return HAL_ERROR;
    sim::require_instance(huart, "HAL_UART_Receive_DMA");
    __HAL_LOCK(huart);
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    huart->pRxBuffPtr = pData;
    huart->RxXferSize = Size;
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->RxState = HAL_UART_STATE_BUSY_RX;
    if (huart->hdmarx != nullptr) {
        huart->hdmarx->XferCpltCallback = dma_receive_cplt;
        huart->hdmarx->XferHalfCpltCallback = dma_rx_half_cplt;
        huart->hdmarx->XferErrorCallback = dma_error;
        huart->hdmarx->XferAbortCallback = nullptr;
        if (sim::dma_start_it(huart->hdmarx, &huart->Instance->RDR, pData, Size) != HAL_OK) {
            huart->ErrorCode = HAL_UART_ERROR_DMA;
            __HAL_UNLOCK(huart);
            huart->RxState = HAL_UART_STATE_READY;
            return HAL_ERROR;
        }
    }
    __HAL_UNLOCK(huart);
    if (huart->Init.Parity != UART_PARITY_NONE)
        huart->Instance->CR1 |= USART_CR1_PEIE;
    huart->Instance->CR3 |= USART_CR3_EIE;
    huart->Instance->CR3 |= USART_CR3_DMAR;
    model().dma_take_pending(sim::port_index(huart->Instance));
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_DMAPause(UART_HandleTypeDef *) {
    const sim::HalCall hal_call;
    not_modelled("HAL_UART_DMAPause");
}
HAL_StatusTypeDef HAL_UART_DMAResume(UART_HandleTypeDef *) {
    const sim::HalCall hal_call;
    not_modelled("HAL_UART_DMAResume");
}

HAL_StatusTypeDef HAL_UART_DMAStop(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    sim::require_instance(huart, "HAL_UART_DMAStop");
    if ((huart->Instance->CR3 & USART_CR3_DMAT) && huart->gState == HAL_UART_STATE_BUSY_TX) {
        huart->Instance->CR3 &= ~USART_CR3_DMAT;
        if (huart->hdmatx != nullptr)
            (void)HAL_DMA_Abort(huart->hdmatx);
        huart->Instance->CR1 &= ~(USART_CR1_TXEIE | USART_CR1_TCIE);
        huart->gState = HAL_UART_STATE_READY;
    }
    if ((huart->Instance->CR3 & USART_CR3_DMAR) && huart->RxState == HAL_UART_STATE_BUSY_RX) {
        huart->Instance->CR3 &= ~USART_CR3_DMAR;
        if (huart->hdmarx != nullptr)
            (void)HAL_DMA_Abort(huart->hdmarx);
        end_rx_transfer(huart);
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_AbortReceive(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    sim::require_instance(huart, "HAL_UART_AbortReceive");
    huart->Instance->CR1 &= ~(USART_CR1_RXNEIE | USART_CR1_PEIE);
    huart->Instance->CR3 &= ~USART_CR3_EIE;
    if (huart->ReceptionType == HAL_UART_RECEPTION_TOIDLE)
        huart->Instance->CR1 &= ~USART_CR1_IDLEIE;
    if (huart->Instance->CR3 & USART_CR3_DMAR) {
        huart->Instance->CR3 &= ~USART_CR3_DMAR;
        if (huart->hdmarx != nullptr) {
            huart->hdmarx->XferAbortCallback = nullptr;
            (void)HAL_DMA_Abort(huart->hdmarx);
        }
    }
    huart->RxXferCount = 0;
    // Error flags cleared and the received data discarded.
    huart->Instance->ISR &=
        ~(USART_ISR_ORE | USART_ISR_NE | USART_ISR_PE | USART_ISR_FE | USART_ISR_RXNE);
    huart->RxState = HAL_UART_STATE_READY;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    sim::require_instance(huart, "HAL_UART_AbortTransmit");
    huart->Instance->CR1 &= ~(USART_CR1_TXEIE | USART_CR1_TCIE);
    if (huart->Instance->CR3 & USART_CR3_DMAT) {
        huart->Instance->CR3 &= ~USART_CR3_DMAT;
        if (huart->hdmatx != nullptr) {
            huart->hdmatx->XferAbortCallback = nullptr;
            (void)HAL_DMA_Abort(huart->hdmatx);
        }
    }
    huart->TxXferCount = 0;
    huart->gState = HAL_UART_STATE_READY;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Abort(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    sim::require_instance(huart, "HAL_UART_Abort");
    (void)HAL_UART_AbortTransmit(huart);
    (void)HAL_UART_AbortReceive(huart);
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    return HAL_OK;
}

// The board never raises USART interrupt flags (reception goes through DMA and
// errors are not modelled), so there is nothing for the handler to serve.
void HAL_UART_IRQHandler(UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    sim::require_instance(huart, "HAL_UART_IRQHandler");
    (void)huart;
}

__weak void HAL_UART_TxHalfCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_TxCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_RxHalfCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_RxCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_ErrorCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_AbortCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_AbortTransmitCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}
__weak void HAL_UART_AbortReceiveCpltCallback(UART_HandleTypeDef *huart) {
    (void)huart;
}

HAL_UART_StateTypeDef HAL_UART_GetState(const UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    return huart->gState | huart->RxState;
}
uint32_t HAL_UART_GetError(const UART_HandleTypeDef *huart) {
    const sim::HalCall hal_call;
    return huart->ErrorCode;
}

}  // extern "C"
