// QUADSPI of the simulated chip in indirect mode, with the vendor HAL's handle
// states, lock, flag waits and time-outs, and the firmware's two 16-bit data-phase
// additions.
//
// Bus time: the serial clock is HCLK / (prescaler + 1); a frame takes 8 / lines
// cycles for the instruction, address bits / lines, alternate bits / lines, the
// dummy cycles, and 8 / lines cycles per data byte. A frame without data starts
// when HAL_QSPI_Command configures it; a write frame when its first byte reaches
// the 16-byte FIFO; a read frame when HAL_QSPI_Receive starts it. The bus runs as
// long as the FIFO has data (write) or room (read): a core held up by an interrupt
// for longer than the FIFO covers stops the serial clock until it catches up.
//
// The NOR chip sees each frame whole (sim/storage_models.h): a read at the start
// of its data phase, anything else when chip select rises at the frame's end,
// even when the HAL call gave up waiting before then. The chip is wired to the
// board's pins (PA2 NCS, PA3 CLK, PA6 IO3, PA7 IO2, PB0 IO1, PB1 IO0, alternate
// function 10); with any of them set otherwise the chip sees nothing.
#include <string>
#include <vector>

#include "sim/hal_timeout.h"
#include "sim/handle.h"
#include "sim/storage_models.h"
#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

namespace sim {

namespace {

constexpr std::uint32_t kFifoBytes = 16;
constexpr std::uint32_t kQspiAlternateFunction = 10;

struct QspiPin {
    char port;
    unsigned pin;
    const char *signal;
};
constexpr QspiPin kPins[] = {{'A', 2, "NCS"}, {'A', 3, "CLK"}, {'A', 6, "IO3"},
                             {'A', 7, "IO2"}, {'B', 0, "IO1"}, {'B', 1, "IO0"}};

unsigned lines_of(std::uint32_t mode_field) {
    return mode_field == 0 ? 0u : mode_field == 1 ? 1u : mode_field == 2 ? 2u : 4u;
}

class QspiModel final : public Board::Model, public EventSink {
  public:
    explicit QspiModel(Board &b) : b_(b) {}

    // The frame the last HAL_QSPI_Command configured.
    QspiFrame frame;
    std::uint32_t header_cycles = 0;    // instruction, address, alternate bytes, dummy
    std::uint32_t cycles_per_byte = 0;  // data phase
    Time bus_free_at = 0;               // the peripheral's BUSY flag clears (kNever: stuck)

    void configure(const QSPI_CommandTypeDef &cmd) {
        if (cmd.DdrMode != QSPI_DDR_MODE_DISABLE)
            b_.halt("QUADSPI double data rate mode is not modelled");
        if (cmd.SIOOMode != QSPI_SIOO_INST_EVERY_CMD)
            b_.halt("QUADSPI send-instruction-only-once mode is not modelled");
        QspiFrame f;
        f.instruction_lines = lines_of((cmd.InstructionMode >> QUADSPI_CCR_IMODE_Pos) & 3u);
        f.has_instruction = f.instruction_lines != 0;
        f.instruction = static_cast<std::uint8_t>(cmd.Instruction);
        f.address_lines = lines_of((cmd.AddressMode >> QUADSPI_CCR_ADMODE_Pos) & 3u);
        f.address_bits =
            f.address_lines ? 8u * (((cmd.AddressSize >> QUADSPI_CCR_ADSIZE_Pos) & 3u) + 1u) : 0u;
        f.address = cmd.Address;
        const unsigned alt_lines = lines_of((cmd.AlternateByteMode >> QUADSPI_CCR_ABMODE_Pos) & 3u);
        f.alternate_bits =
            alt_lines ? 8u * (((cmd.AlternateBytesSize >> QUADSPI_CCR_ABSIZE_Pos) & 3u) + 1u) : 0u;
        f.dummy_cycles = cmd.DummyCycles & 0x1Fu;
        f.data_lines = lines_of((cmd.DataMode >> QUADSPI_CCR_DMODE_Pos) & 3u);
        f.nbytes = f.data_lines ? cmd.NbData : 0u;
        frame = f;
        header_cycles = (f.has_instruction ? 8u / f.instruction_lines : 0u) +
                        (f.address_bits ? f.address_bits / f.address_lines : 0u) +
                        (alt_lines ? f.alternate_bits / alt_lines : 0u) + f.dummy_cycles;
        cycles_per_byte = f.data_lines ? 8u / f.data_lines : 0u;
    }

    // Time of `cycles` serial clocks from the prescaler and HCLK, rounded up.
    Time span(std::uint64_t cycles) const {
        const std::uint64_t div =
            ((QUADSPI_regs.CR & QUADSPI_CR_PRESCALER) >> QUADSPI_CR_PRESCALER_Pos) + 1u;
        const std::uint64_t hclk = HAL_RCC_GetHCLKFreq();
        return scaled_ceil(cycles * div, 1000000000u, hclk ? hclk : 1u);
    }

    bool enabled() const { return (QUADSPI_regs.CR & QUADSPI_CR_EN) != 0; }

    // The chip gets the frame at `at` (an event, so that it happens at its time
    // whatever the core is doing then).
    void deliver_at(Time at, const QspiFrame &f, std::vector<std::uint8_t> tx) {
        pending_frame_ = f;
        pending_tx_ = std::move(tx);
        rx_.assign(f.read ? f.nbytes : 0u, 0);
        b_.sched().schedule(at, this, ++gen_);
        pending_ = true;
    }
    void on_event(Time when, std::uint64_t tag) override {
        if (tag != gen_ || !pending_)
            return;
        pending_ = false;
        std::string why;
        if (!pins_connected(why)) {
            if (b_.trace().enabled())
                b_.trace()
                    .begin(when, "nor_ignored")
                    .field("opcode", pending_frame_.instruction)
                    .field("why", why)
                    .end();
            return;
        }
        nor_frame(pending_frame_, pending_tx_.data(), rx_.data(), when);
    }
    // Drops a frame that will never complete (an abort).
    void cancel() { pending_ = false; }
    const std::vector<std::uint8_t> &rx() const { return rx_; }

  private:
    bool pins_connected(std::string &why) const {
        for (const QspiPin &p : kPins) {
            const GPIO_TypeDef *g = p.port == 'A' ? &GPIOA_regs : &GPIOB_regs;
            const std::uint32_t mode = (g->MODER >> (2u * p.pin)) & 3u;
            const std::uint32_t af = (g->AFR[p.pin >> 3] >> (4u * (p.pin & 7u))) & 0xFu;
            if (mode != 2u || af != kQspiAlternateFunction) {
                why = std::string("QUADSPI pin P") + p.port + std::to_string(p.pin) + " (" +
                      p.signal + ") is not set to alternate function 10";
                return false;
            }
        }
        return true;
    }

    Board &b_;
    std::uint64_t gen_ = 0;
    bool pending_ = false;
    QspiFrame pending_frame_;
    std::vector<std::uint8_t> pending_tx_;
    std::vector<std::uint8_t> rx_;
};

QspiModel &model() {
    return board().model<QspiModel>();
}

// A flag wait that ran out: the vendor's wait leaves the handle in ERROR.
HAL_StatusTypeDef timed_out(QSPI_HandleTypeDef *h) {
    h->State = HAL_QSPI_STATE_ERROR;
    h->ErrorCode |= HAL_QSPI_ERROR_TIMEOUT;
    return HAL_ERROR;
}

// The data phase of a write (`tx`) or read (`rx`) frame of n bytes, started now,
// with the FIFO between the core and the bus. Each byte waits, with the vendor's
// time-out rule, for the FIFO flag that lets the core move it. Returns HAL_OK with
// the frame delivered at its end (write) or read out (read), or HAL_ERROR after a
// time-out, with the bus left stopped mid-frame.
HAL_StatusTypeDef data_phase(QSPI_HandleTypeDef *h, const std::uint8_t *tx, std::uint8_t *rx,
                             std::uint32_t n, std::uint32_t tickstart, std::uint32_t timeout,
                             const char *call) {
    QspiModel &m = model();
    Board &b = board();
    QspiFrame f = m.frame;
    f.read = rx != nullptr;
    f.nbytes = n;
    const std::uint32_t cpb = m.cycles_per_byte;
    if (!m.enabled()) {
        // A disabled peripheral never starts the frame: the first flag never comes.
        hal_wait_until(kNever, tickstart, timeout, call);
        return timed_out(h);
    }
    // Byte j (j >= first) shifts over cycles [H + j cpb, H + (j + 1) cpb) counted
    // from `anchor` at cycle `anchor_cycle`; bytes before `first` are already done.
    Time anchor = b.now();
    std::uint64_t anchor_cycle = 0;
    std::uint32_t first = 0;
    auto at_cycle = [&](std::uint64_t c) { return anchor + m.span(c - anchor_cycle); };
    auto shift_start = [&](std::uint32_t j) {
        return j < first ? 0 : at_cycle(m.header_cycles + std::uint64_t{j} * cpb);
    };
    auto shift_end = [&](std::uint32_t j) {
        return j < first ? 0 : at_cycle(m.header_cycles + std::uint64_t{j + 1} * cpb);
    };
    std::vector<std::uint8_t> sent;
    if (rx) {
        std::vector<std::uint8_t> none;
        m.deliver_at(at_cycle(m.header_cycles), f, none);
    } else {
        sent.reserve(n);
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        if (tx) {
            // Room in the FIFO once byte i - 16 has started shifting out.
            const Time room = i >= kFifoBytes ? shift_start(i - kFifoBytes) : 0;
            if (!hal_wait_until(room, tickstart, timeout, call)) {
                m.bus_free_at = kNever;  // the frame waits for data that never comes
                return timed_out(h);
            }
            if (b.now() > shift_start(i)) {
                // The FIFO ran dry: the clock stopped until this byte came.
                anchor = b.now();
                anchor_cycle = m.header_cycles + std::uint64_t{i} * cpb;
                first = i;
            }
            sent.push_back(tx[i]);
        } else {
            if (!hal_wait_until(shift_end(i), tickstart, timeout, call)) {
                m.bus_free_at = kNever;  // the FIFO fills and the frame stops
                return timed_out(h);
            }
            rx[i] = i < m.rx().size() ? m.rx()[i] : 0;
            // The bus could only start byte i + 16 once this one left the FIFO.
            const std::uint32_t later = i + kFifoBytes;
            if (later < n && b.now() > shift_start(later)) {
                anchor = b.now();
                anchor_cycle = m.header_cycles + std::uint64_t{later} * cpb;
                first = later;
            }
        }
    }
    const Time end = at_cycle(m.header_cycles + std::uint64_t{n} * cpb);
    m.bus_free_at = end;
    if (tx)
        m.deliver_at(end, f, std::move(sent));
    return hal_wait_until(end, tickstart, timeout, call) ? HAL_OK : timed_out(h);
}

// Blocking data phase as the vendor's HAL_QSPI_Transmit / _Receive (and the
// firmware's 16-bit twins): lock, state, the data count from the command, the
// state back to READY whatever the outcome.
HAL_StatusTypeDef transfer(QSPI_HandleTypeDef *h, std::uint8_t *pData, std::uint32_t Timeout,
                           bool receive, bool half_words, const char *call) {
    const std::uint32_t tickstart = HAL_GetTick();
    __HAL_LOCK(h);
    HAL_StatusTypeDef status = HAL_OK;
    if (h->State == HAL_QSPI_STATE_READY) {
        require_instance(h, call);
        h->ErrorCode = HAL_QSPI_ERROR_NONE;
        const std::uint32_t n = h->Instance->DLR + 1u;
        if (pData == nullptr || (half_words && (n & 1u))) {
            h->ErrorCode |= HAL_QSPI_ERROR_INVALID_PARAM;
            status = HAL_ERROR;
        } else {
            if (n == 0u)
                board().halt(std::string(call) +
                             ": a data phase of undefined length (NbData 0) is not modelled");
            h->State = receive ? HAL_QSPI_STATE_BUSY_INDIRECT_RX : HAL_QSPI_STATE_BUSY_INDIRECT_TX;
            if (receive) {
                h->RxXferSize = h->RxXferCount = n;
                h->pRxBuffPtr = pData;
                MODIFY_REG(h->Instance->CCR, QUADSPI_CCR_FMODE, QUADSPI_CCR_FMODE_0);
            } else {
                h->TxXferSize = h->TxXferCount = n;
                h->pTxBuffPtr = pData;
                MODIFY_REG(h->Instance->CCR, QUADSPI_CCR_FMODE, 0u);
            }
            status = data_phase(h, receive ? nullptr : pData, receive ? pData : nullptr, n,
                                tickstart, Timeout, call);
            if (status == HAL_OK) {
                if (receive) {
                    h->pRxBuffPtr = pData + n;
                    h->RxXferCount = 0;
                } else {
                    h->pTxBuffPtr = pData + n;
                    h->TxXferCount = 0;
                }
            }
            h->State = HAL_QSPI_STATE_READY;
        }
    } else {
        status = HAL_BUSY;
    }
    __HAL_UNLOCK(h);
    return status;
}

[[noreturn]] void not_modelled(const char *what) {
    board().halt(std::string(what) + " is not modelled by the simulated board");
}

}  // namespace

void install_qspi(Board &b) {
    b.model<QspiModel>();
}

}  // namespace sim

using sim::model;

extern "C" {

HAL_StatusTypeDef HAL_QSPI_Init(QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    const uint32_t tickstart = HAL_GetTick();
    if (hqspi == nullptr)
        return HAL_ERROR;
    sim::require_instance(hqspi, "HAL_QSPI_Init");
    if (hqspi->State == HAL_QSPI_STATE_RESET) {
        hqspi->Lock = HAL_UNLOCKED;
        {
            const sim::FirmwareCode firmware;
            HAL_QSPI_MspInit(hqspi);
        }
        HAL_QSPI_SetTimeout(hqspi, HAL_QSPI_TIMEOUT_DEFAULT_VALUE);
    }
    QUADSPI_TypeDef *r = hqspi->Instance;
    MODIFY_REG(r->CR, QUADSPI_CR_FTHRES, (hqspi->Init.FifoThreshold - 1u) << QUADSPI_CR_FTHRES_Pos);
    HAL_StatusTypeDef status = HAL_OK;
    if (!sim::hal_wait_until(model().bus_free_at, tickstart, hqspi->Timeout, "HAL_QSPI_Init"))
        status = sim::timed_out(hqspi);
    if (status == HAL_OK) {
        MODIFY_REG(r->CR,
                   QUADSPI_CR_PRESCALER | QUADSPI_CR_SSHIFT | QUADSPI_CR_FSEL | QUADSPI_CR_DFM,
                   (hqspi->Init.ClockPrescaler << QUADSPI_CR_PRESCALER_Pos) |
                       hqspi->Init.SampleShifting | hqspi->Init.FlashID | hqspi->Init.DualFlash);
        MODIFY_REG(r->DCR, QUADSPI_DCR_FSIZE | QUADSPI_DCR_CSHT | QUADSPI_DCR_CKMODE,
                   (hqspi->Init.FlashSize << QUADSPI_DCR_FSIZE_Pos) |
                       hqspi->Init.ChipSelectHighTime | hqspi->Init.ClockMode);
        r->CR |= QUADSPI_CR_EN;
        hqspi->ErrorCode = HAL_QSPI_ERROR_NONE;
        hqspi->State = HAL_QSPI_STATE_READY;
    }
    __HAL_UNLOCK(hqspi);
    return status;
}

HAL_StatusTypeDef HAL_QSPI_DeInit(QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    if (hqspi == nullptr)
        return HAL_ERROR;
    sim::require_instance(hqspi, "HAL_QSPI_DeInit");
    hqspi->Instance->CR &= ~QUADSPI_CR_EN;
    {
        const sim::FirmwareCode firmware;
        HAL_QSPI_MspDeInit(hqspi);
    }
    hqspi->ErrorCode = HAL_QSPI_ERROR_NONE;
    hqspi->State = HAL_QSPI_STATE_RESET;
    __HAL_UNLOCK(hqspi);
    return HAL_OK;
}

__weak void HAL_QSPI_MspInit(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_MspDeInit(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}

HAL_StatusTypeDef HAL_QSPI_Command(QSPI_HandleTypeDef *hqspi, QSPI_CommandTypeDef *cmd,
                                   uint32_t Timeout) {
    const sim::HalCall hal_call;
    const uint32_t tickstart = HAL_GetTick();
    __HAL_LOCK(hqspi);
    HAL_StatusTypeDef status;
    if (hqspi->State == HAL_QSPI_STATE_READY) {
        sim::require_instance(hqspi, "HAL_QSPI_Command");
        hqspi->ErrorCode = HAL_QSPI_ERROR_NONE;
        hqspi->State = HAL_QSPI_STATE_BUSY;
        sim::QspiModel &m = model();
        if (sim::hal_wait_until(m.bus_free_at, tickstart, Timeout, "HAL_QSPI_Command")) {
            // The registers as the vendor's configuration writes them.
            QUADSPI_TypeDef *r = hqspi->Instance;
            if (cmd->DataMode != QSPI_DATA_NONE)
                r->DLR = cmd->NbData - 1u;
            r->ABR = cmd->AlternateBytes;
            r->CCR = cmd->DdrMode | cmd->DdrHoldHalfCycle | cmd->SIOOMode | cmd->DataMode |
                     (cmd->DummyCycles << QUADSPI_CCR_DCYC_Pos) | cmd->AlternateBytesSize |
                     cmd->AlternateByteMode | cmd->AddressSize | cmd->AddressMode |
                     cmd->InstructionMode | cmd->Instruction;
            r->AR = cmd->AddressMode != QSPI_ADDRESS_NONE ? cmd->Address : 0u;
            m.configure(*cmd);
            if (cmd->DataMode == QSPI_DATA_NONE) {
                // No data phase: the frame goes out now; wait for transfer complete.
                sim::Time end = sim::kNever;
                if (m.enabled()) {
                    end = sim::board().now() + m.span(m.header_cycles);
                    m.bus_free_at = end;
                    m.deliver_at(end, m.frame, {});
                }
                if (sim::hal_wait_until(end, tickstart, Timeout, "HAL_QSPI_Command")) {
                    hqspi->State = HAL_QSPI_STATE_READY;
                    status = HAL_OK;
                } else {
                    status = sim::timed_out(hqspi);
                }
            } else {
                hqspi->State = HAL_QSPI_STATE_READY;
                status = HAL_OK;
            }
        } else {
            status = sim::timed_out(hqspi);
        }
    } else {
        status = HAL_BUSY;
    }
    __HAL_UNLOCK(hqspi);
    return status;
}

HAL_StatusTypeDef HAL_QSPI_Transmit(QSPI_HandleTypeDef *hqspi, uint8_t *pData, uint32_t Timeout) {
    const sim::HalCall hal_call;
    return sim::transfer(hqspi, pData, Timeout, false, false, "HAL_QSPI_Transmit");
}
HAL_StatusTypeDef HAL_QSPI_Receive(QSPI_HandleTypeDef *hqspi, uint8_t *pData, uint32_t Timeout) {
    const sim::HalCall hal_call;
    return sim::transfer(hqspi, pData, Timeout, true, false, "HAL_QSPI_Receive");
}
// The half-word data register accesses move the same bytes, in memory order, in
// the same bus time.
HAL_StatusTypeDef HAL_QSPI_Transmit_16(QSPI_HandleTypeDef *hqspi, uint8_t *pData,
                                       uint32_t Timeout) {
    const sim::HalCall hal_call;
    return sim::transfer(hqspi, pData, Timeout, false, true, "HAL_QSPI_Transmit_16");
}
HAL_StatusTypeDef HAL_QSPI_Receive_16(QSPI_HandleTypeDef *hqspi, uint8_t *pData, uint32_t Timeout) {
    const sim::HalCall hal_call;
    return sim::transfer(hqspi, pData, Timeout, true, true, "HAL_QSPI_Receive_16");
}

HAL_StatusTypeDef HAL_QSPI_Command_IT(QSPI_HandleTypeDef *, QSPI_CommandTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Command_IT");
}
HAL_StatusTypeDef HAL_QSPI_Transmit_IT(QSPI_HandleTypeDef *, uint8_t *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Transmit_IT");
}
HAL_StatusTypeDef HAL_QSPI_Receive_IT(QSPI_HandleTypeDef *, uint8_t *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Receive_IT");
}
HAL_StatusTypeDef HAL_QSPI_Transmit_DMA(QSPI_HandleTypeDef *, uint8_t *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Transmit_DMA");
}
HAL_StatusTypeDef HAL_QSPI_Receive_DMA(QSPI_HandleTypeDef *, uint8_t *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Receive_DMA");
}
HAL_StatusTypeDef HAL_QSPI_AutoPolling(QSPI_HandleTypeDef *, QSPI_CommandTypeDef *,
                                       QSPI_AutoPollingTypeDef *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_AutoPolling");
}
HAL_StatusTypeDef HAL_QSPI_AutoPolling_IT(QSPI_HandleTypeDef *, QSPI_CommandTypeDef *,
                                          QSPI_AutoPollingTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_AutoPolling_IT");
}
HAL_StatusTypeDef HAL_QSPI_MemoryMapped(QSPI_HandleTypeDef *, QSPI_CommandTypeDef *,
                                        QSPI_MemoryMappedTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("QUADSPI memory-mapped mode");
}
HAL_StatusTypeDef HAL_QSPI_Abort_IT(QSPI_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("HAL_QSPI_Abort_IT");
}

// The simulated peripheral raises no interrupt flags (indirect mode is blocking).
void HAL_QSPI_IRQHandler(QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    sim::require_instance(hqspi, "HAL_QSPI_IRQHandler");
}

// Aborting a frame stopped part-way lets chip select rise without the frame
// reaching the chip (the bytes of a half-sent program are not programmed).
HAL_StatusTypeDef HAL_QSPI_Abort(QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    if ((static_cast<uint32_t>(hqspi->State) & 0x2u) != 0u) {
        sim::require_instance(hqspi, "HAL_QSPI_Abort");
        __HAL_UNLOCK(hqspi);
        sim::QspiModel &m = model();
        if (m.bus_free_at > sim::board().now()) {
            m.cancel();
            m.bus_free_at = sim::board().now();
        }
        CLEAR_BIT(hqspi->Instance->CCR, QUADSPI_CCR_FMODE);
        hqspi->State = HAL_QSPI_STATE_READY;
    }
    return HAL_OK;
}

__weak void HAL_QSPI_ErrorCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_AbortCpltCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_FifoThresholdCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_CmdCpltCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_RxCpltCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_TxCpltCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_StatusMatchCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}
__weak void HAL_QSPI_TimeOutCallback(QSPI_HandleTypeDef *hqspi) {
    (void)hqspi;
}

HAL_QSPI_StateTypeDef HAL_QSPI_GetState(const QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    return hqspi->State;
}
uint32_t HAL_QSPI_GetError(const QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    return hqspi->ErrorCode;
}
void HAL_QSPI_SetTimeout(QSPI_HandleTypeDef *hqspi, uint32_t Timeout) {
    const sim::HalCall hal_call;
    hqspi->Timeout = Timeout;
}

HAL_StatusTypeDef HAL_QSPI_SetFifoThreshold(QSPI_HandleTypeDef *hqspi, uint32_t Threshold) {
    const sim::HalCall hal_call;
    __HAL_LOCK(hqspi);
    HAL_StatusTypeDef status = HAL_OK;
    if (hqspi->State == HAL_QSPI_STATE_READY) {
        sim::require_instance(hqspi, "HAL_QSPI_SetFifoThreshold");
        hqspi->Init.FifoThreshold = Threshold;
        MODIFY_REG(hqspi->Instance->CR, QUADSPI_CR_FTHRES,
                   (Threshold - 1u) << QUADSPI_CR_FTHRES_Pos);
    } else {
        status = HAL_BUSY;
    }
    __HAL_UNLOCK(hqspi);
    return status;
}

uint32_t HAL_QSPI_GetFifoThreshold(const QSPI_HandleTypeDef *hqspi) {
    const sim::HalCall hal_call;
    sim::require_instance(hqspi, "HAL_QSPI_GetFifoThreshold");
    return ((hqspi->Instance->CR & QUADSPI_CR_FTHRES) >> QUADSPI_CR_FTHRES_Pos) + 1u;
}

HAL_StatusTypeDef HAL_QSPI_SetFlashID(QSPI_HandleTypeDef *hqspi, uint32_t FlashID) {
    const sim::HalCall hal_call;
    __HAL_LOCK(hqspi);
    HAL_StatusTypeDef status = HAL_OK;
    if (hqspi->State == HAL_QSPI_STATE_READY) {
        sim::require_instance(hqspi, "HAL_QSPI_SetFlashID");
        hqspi->Init.FlashID = FlashID;
        MODIFY_REG(hqspi->Instance->CR, QUADSPI_CR_FSEL, FlashID);
    } else {
        status = HAL_BUSY;
    }
    __HAL_UNLOCK(hqspi);
    return status;
}

}  // extern "C"
