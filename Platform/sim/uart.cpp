#include "sim/uart.h"

#include <deque>

#include "sim/console.h"
#include "sim/dma.h"
#include "sim/peripherals.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint32_t kDefaultBaud = 115200;  // line rate of a port that was never set up
constexpr std::uint32_t kUartDmaRequest = 2;    // CSELR selection of the USART streams

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
        std::deque<std::uint8_t> rx_queue;  // bytes still on their way
        bool rx_busy = false;
        Time rx_anchor = 0;
        std::uint64_t rx_count = 0;  // bytes completed since the anchor
        PortStats *stats = nullptr;
    };
    Port ports_[kPortCount];

    // Time for `k` frames from an anchor, rounded up to the nanosecond.
    static Time frames(const Port &p, std::uint64_t k) {
        const std::uint64_t baud = p.baud ? p.baud : kDefaultBaud;
        return scaled_ceil(k * p.frame_halfbits, 1000000000u, 2u * baud);
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

    void on_event(Time, std::uint64_t tag) override {
        const int i = static_cast<int>(tag);
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

    void deliver(int i, std::uint8_t byte) {
        const PortInfo &info = kPorts[i];
        const std::uint32_t cr1 = info.regs->CR1;
        const char *why = nullptr;
        if ((cr1 & (USART_CR1_UE | USART_CR1_RE)) != (USART_CR1_UE | USART_CR1_RE)) {
            why = "receiver off";
        } else if (!(info.regs->CR3 & USART_CR3_DMAR) ||
                   !dma_request_rx(info.rx_channel, kUartDmaRequest, byte)) {
            why = "no reception running";
        }
        PortStats &s = stats(i);
        if (why) {
            ++s.lost;
            if (b_.trace().enabled())
                b_.trace()
                    .begin(b_.now(), "uart_rx_lost")
                    .field("port", info.name)
                    .field("byte", byte)
                    .field("why", why)
                    .end();
            return;
        }
        ++s.rx;
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "uart_rx")
                .field("port", info.name)
                .field("byte", byte)
                .end();
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

    void transmitted(int i, std::uint8_t byte) {
        ++stats(i).tx;
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "uart_tx")
                .field("port", kPorts[i].name)
                .field("byte", byte)
                .end();
        if (b_.console) {
            if (i == 2)
                b_.console->console_out(byte);
            if (i == 0)
                b_.console->phone_out(byte);
        }
    }

    Board &b_;
};

UartModel &model() {
    return board().model<UartModel>();
}

}  // namespace

void install_uarts(Board &b) {
    UartModel &m = b.model<UartModel>();
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
    if (huart == nullptr)
        return HAL_ERROR;
    const int i = sim::port_index(huart->Instance);
    if (i < 0)
        return HAL_ERROR;
    if (huart->gState == HAL_UART_STATE_RESET) {
        huart->Lock = HAL_UNLOCKED;
        HAL_UART_MspInit(huart);
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
    r->CR1 |= USART_CR1_UE;
    r->ISR |= USART_ISR_TXE | USART_ISR_TC;
    sim::UartModel::Port &p = model().ports_[i];
    p.baud = init.BaudRate;
    p.frame_halfbits = frame_halfbits(init);
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->gState = HAL_UART_STATE_READY;
    huart->RxState = HAL_UART_STATE_READY;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    huart->RxEventType = HAL_UART_RXEVENT_TC;
    __HAL_UNLOCK(huart);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_HalfDuplex_Init(UART_HandleTypeDef *) {
    not_modelled("HAL_HalfDuplex_Init");
}

HAL_StatusTypeDef HAL_UART_DeInit(UART_HandleTypeDef *huart) {
    if (huart == nullptr || sim::port_index(huart->Instance) < 0)
        return HAL_ERROR;
    huart->gState = HAL_UART_STATE_BUSY;
    huart->Instance->CR1 = 0;
    huart->Instance->CR2 = 0;
    huart->Instance->CR3 = 0;
    HAL_UART_MspDeInit(huart);
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

// Blocking transmit. Each byte leaves the line one frame time after the previous
// one; interrupts of higher priority run while the bytes go out. A second transmit
// on the same port from another context finds the port busy and is refused, as the
// HAL does. The line always accepts bytes at its rate, so the time-out expires only
// when the transmitter is disabled.
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef *huart, const uint8_t *pData, uint16_t Size,
                                    uint32_t Timeout) {
    if (huart->gState != HAL_UART_STATE_READY)
        return HAL_BUSY;
    if (pData == nullptr || Size == 0u)
        return HAL_ERROR;
    const int i = sim::port_index(huart->Instance);
    if (i < 0)
        return HAL_ERROR;
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    huart->gState = HAL_UART_STATE_BUSY_TX;
    huart->TxXferSize = Size;
    huart->TxXferCount = Size;
    sim::Board &b = sim::board();
    sim::UartModel &m = model();
    if (!(huart->Instance->CR1 & USART_CR1_UE) || !(huart->Instance->CR1 & USART_CR1_TE)) {
        // A disabled transmitter never raises TXE: the HAL waits out its time-out.
        if (Timeout == HAL_MAX_DELAY)
            b.halt("HAL_UART_Transmit waits for ever on a disabled transmitter");
        sim::wait_for_ticks(HAL_GetTick(), Timeout + 1u, "HAL_UART_Transmit");
        huart->gState = HAL_UART_STATE_READY;
        return HAL_TIMEOUT;
    }
    huart->Instance->ISR &= ~USART_ISR_TC;
    sim::Time anchor = b.now();
    std::uint64_t k = 0;
    for (uint16_t n = 0; n < Size; ++n) {
        const sim::Time end = anchor + sim::UartModel::frames(m.ports_[i], k + 1);
        b.advance_to(end);
        if (b.now() > end) {
            // Held up by an interrupt: the next byte starts when this context resumes.
            anchor = b.now();
            k = 0;
        } else {
            ++k;
        }
        huart->Instance->TDR = pData[n];
        m.transmitted(i, pData[n]);
        huart->TxXferCount = static_cast<uint16_t>(Size - n - 1u);
    }
    huart->Instance->ISR |= USART_ISR_TC;
    huart->gState = HAL_UART_STATE_READY;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_Receive(UART_HandleTypeDef *, uint8_t *, uint16_t, uint32_t) {
    not_modelled("HAL_UART_Receive (polled reception)");
}
HAL_StatusTypeDef HAL_UART_Transmit_IT(UART_HandleTypeDef *, const uint8_t *, uint16_t) {
    not_modelled("HAL_UART_Transmit_IT");
}
HAL_StatusTypeDef HAL_UART_Receive_IT(UART_HandleTypeDef *, uint8_t *, uint16_t) {
    not_modelled("HAL_UART_Receive_IT");
}
HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef *, const uint8_t *, uint16_t) {
    not_modelled("HAL_UART_Transmit_DMA");
}

HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef *huart, uint8_t *pData, uint16_t Size) {
    if (huart->RxState != HAL_UART_STATE_READY)
        return HAL_BUSY;
    if (pData == nullptr || Size == 0u)
        return HAL_ERROR;
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
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_DMAPause(UART_HandleTypeDef *) {
    not_modelled("HAL_UART_DMAPause");
}
HAL_StatusTypeDef HAL_UART_DMAResume(UART_HandleTypeDef *) {
    not_modelled("HAL_UART_DMAResume");
}

HAL_StatusTypeDef HAL_UART_DMAStop(UART_HandleTypeDef *huart) {
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
    huart->Instance->ISR &= ~(USART_ISR_ORE | USART_ISR_NE | USART_ISR_PE | USART_ISR_FE);
    huart->RxState = HAL_UART_STATE_READY;
    huart->ReceptionType = HAL_UART_RECEPTION_STANDARD;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef *huart) {
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
    (void)HAL_UART_AbortTransmit(huart);
    (void)HAL_UART_AbortReceive(huart);
    huart->ErrorCode = HAL_UART_ERROR_NONE;
    return HAL_OK;
}

// The board never raises USART interrupt flags (reception goes through DMA and
// errors are not modelled), so there is nothing for the handler to serve.
void HAL_UART_IRQHandler(UART_HandleTypeDef *huart) {
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
    return huart->gState | huart->RxState;
}
uint32_t HAL_UART_GetError(const UART_HandleTypeDef *huart) {
    return huart->ErrorCode;
}

}  // extern "C"
