#include "sim/dma.h"

#include "sim/handle.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr int kChannels = 7;

DMA_Channel_TypeDef *channel_regs(int ch) {
    static DMA_Channel_TypeDef *const all[kChannels] = {
        &DMA1_Channel1_regs, &DMA1_Channel2_regs, &DMA1_Channel3_regs, &DMA1_Channel4_regs,
        &DMA1_Channel5_regs, &DMA1_Channel6_regs, &DMA1_Channel7_regs};
    return all[ch - 1];
}

IRQn_Type channel_irq(int ch) {
    return static_cast<IRQn_Type>(DMA1_Channel1_IRQn + (ch - 1));
}

std::uint32_t flag(int ch, std::uint32_t first_channel_bit) {
    return first_channel_bit << (4 * (ch - 1));
}

class DmaModel final : public Board::Model {
  public:
    explicit DmaModel(Board &b) : b_(b) {}

    struct Channel {
        std::uint8_t *memory = nullptr;
        volatile void *periph = nullptr;
        std::uint32_t size = 0;  // programmed count, reloaded in circular mode
    };
    Channel ch_[kChannels + 1];

    // The channel's interrupt line: any raised flag whose interrupt is enabled.
    static bool line(int ch) {
        const std::uint32_t ccr = channel_regs(ch)->CCR;
        const std::uint32_t isr = DMA1_regs.ISR;
        return ((ccr & DMA_CCR_TCIE) && (isr & flag(ch, DMA_ISR_TCIF1))) ||
               ((ccr & DMA_CCR_HTIE) && (isr & flag(ch, DMA_ISR_HTIF1))) ||
               ((ccr & DMA_CCR_TEIE) && (isr & flag(ch, DMA_ISR_TEIF1)));
    }

    // Flag clear register: a write of ones clears the matching flags (CGIF all four).
    void watch_ifcr() {
        const std::uint32_t ifcr = DMA1_regs.IFCR;
        if (!ifcr)
            return;
        std::uint32_t clear = ifcr;
        for (int ch = 1; ch <= kChannels; ++ch)
            if (ifcr & flag(ch, DMA_ISR_GIF1))
                clear |= flag(ch, 0xFu);
        DMA1_regs.ISR &= ~clear;
        DMA1_regs.IFCR = 0;
    }

    void raise(int ch, std::uint32_t flags) {
        DMA1_regs.ISR |= flags | flag(ch, DMA_ISR_GIF1);
        if (line(ch))
            b_.nvic().set_pending(channel_irq(ch));
    }

  private:
    Board &b_;
};

DmaModel &model() {
    return board().model<DmaModel>();
}

}  // namespace

int dma_channel_number(const void *regs) {
    for (int ch = 1; ch <= kChannels; ++ch)
        if (channel_regs(ch) == regs)
            return ch;
    return 0;
}

void install_dma(Board &b) {
    DmaModel &m = b.model<DmaModel>();
    b.add_watcher([&m] { m.watch_ifcr(); });
    for (int ch = 1; ch <= kChannels; ++ch)
        b.set_level_source(channel_irq(ch), [ch] { return DmaModel::line(ch); });
}

static std::uint32_t low32(volatile const void *p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

void dma_start(int ch, volatile void *periph, void *memory, std::uint32_t count) {
    DmaModel::Channel &c = model().ch_[ch];
    c.memory = static_cast<std::uint8_t *>(memory);
    c.periph = periph;
    c.size = count;
    DMA_Channel_TypeDef *r = channel_regs(ch);
    r->CNDTR = count & 0xFFFFu;
    r->CPAR = low32(periph);
    r->CMAR = low32(memory);
}

bool dma_rx_ready(int ch, std::uint32_t request) {
    const DMA_Channel_TypeDef *r = channel_regs(ch);
    const std::uint32_t sel = (DMA1_CSELR_regs.CSELR >> (4 * (ch - 1))) & 0xFu;
    return (r->CCR & DMA_CCR_EN) && !(r->CCR & (DMA_CCR_DIR | DMA_CCR_MEM2MEM)) && sel == request &&
           r->CNDTR != 0 && model().ch_[ch].memory != nullptr;
}

bool dma_request_rx(int ch, std::uint32_t request, std::uint8_t byte) {
    if (!dma_rx_ready(ch, request))
        return false;
    DmaModel &m = model();
    DmaModel::Channel &c = m.ch_[ch];
    DMA_Channel_TypeDef *r = channel_regs(ch);
    // Addresses written to the channel by the firmware itself cannot name host
    // memory: the transfer fails as one to an address outside memory does on the
    // chip (transfer error, channel disabled), and the item is not taken.
    if (r->CMAR != low32(c.memory) || r->CPAR != low32(c.periph)) {
        r->CCR &= ~DMA_CCR_EN;
        m.raise(ch, flag(ch, DMA_ISR_TEIF1));
        return false;
    }
    const std::uint32_t remaining = r->CNDTR;
    const std::uint32_t index = (r->CCR & DMA_CCR_MINC) ? c.size - remaining : 0u;
    c.memory[index] = byte;
    const std::uint32_t left = remaining - 1u;
    std::uint32_t flags = 0;
    // Half transfer when the remaining count reaches size / 2 (rounded down), i.e.
    // after ceil(size / 2) items; with one item it coincides with completion.
    if (left == c.size / 2u)
        flags |= flag(ch, DMA_ISR_HTIF1);
    if (left == 0u) {
        flags |= flag(ch, DMA_ISR_TCIF1);
        r->CNDTR = (r->CCR & DMA_CCR_CIRC) ? c.size : 0u;
    } else {
        r->CNDTR = left;
    }
    if (flags)
        m.raise(ch, flags);
    return true;
}

}  // namespace sim

using sim::dma_channel_number;

extern "C" {

namespace {
uint32_t channel_index(const DMA_HandleTypeDef *hdma) {
    return 4u * static_cast<uint32_t>(dma_channel_number(hdma->Instance) - 1);
}
}  // namespace

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    if (hdma == nullptr)
        return HAL_ERROR;
    sim::require_instance(hdma, "HAL_DMA_Init");
    if (dma_channel_number(hdma->Instance) == 0)
        return HAL_ERROR;
    hdma->ChannelIndex = channel_index(hdma);
    hdma->DmaBaseAddress = DMA1;
    hdma->State = HAL_DMA_STATE_BUSY;
    uint32_t ccr = hdma->Instance->CCR;
    ccr &= ~(DMA_CCR_PL | DMA_CCR_MSIZE | DMA_CCR_PSIZE | DMA_CCR_MINC | DMA_CCR_PINC |
             DMA_CCR_CIRC | DMA_CCR_DIR | DMA_CCR_MEM2MEM);
    ccr |= hdma->Init.Direction | hdma->Init.PeriphInc | hdma->Init.MemInc |
           hdma->Init.PeriphDataAlignment | hdma->Init.MemDataAlignment | hdma->Init.Mode |
           hdma->Init.Priority;
    hdma->Instance->CCR = ccr;
    if (hdma->Init.Direction != DMA_MEMORY_TO_MEMORY) {
        DMA1_CSELR_regs.CSELR &= ~(DMA_CSELR_C1S << hdma->ChannelIndex);
        DMA1_CSELR_regs.CSELR |= (hdma->Init.Request & DMA_CSELR_C1S) << hdma->ChannelIndex;
    }
    hdma->ErrorCode = HAL_DMA_ERROR_NONE;
    hdma->State = HAL_DMA_STATE_READY;
    hdma->Lock = HAL_UNLOCKED;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_DeInit(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    if (hdma == nullptr)
        return HAL_ERROR;
    sim::require_instance(hdma, "HAL_DMA_DeInit");
    if (dma_channel_number(hdma->Instance) == 0)
        return HAL_ERROR;
    hdma->Instance->CCR = 0;
    hdma->Instance->CNDTR = 0;
    hdma->Instance->CPAR = 0;
    hdma->Instance->CMAR = 0;
    hdma->ChannelIndex = channel_index(hdma);
    DMA1_regs.ISR &= ~(0xFu << hdma->ChannelIndex);
    DMA1_CSELR_regs.CSELR &= ~(DMA_CSELR_C1S << hdma->ChannelIndex);
    hdma->XferCpltCallback = nullptr;
    hdma->XferHalfCpltCallback = nullptr;
    hdma->XferErrorCallback = nullptr;
    hdma->XferAbortCallback = nullptr;
    hdma->ErrorCode = HAL_DMA_ERROR_NONE;
    hdma->State = HAL_DMA_STATE_RESET;
    hdma->Lock = HAL_UNLOCKED;
    return HAL_OK;
}

// Addresses given as 32-bit numbers cannot name host memory; the UART functions of
// this backend start their channels with real pointers instead.
HAL_StatusTypeDef HAL_DMA_Start(DMA_HandleTypeDef *, uint32_t, uint32_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::board().halt(
        "HAL_DMA_Start with 32-bit addresses is not available on the simulated board");
}
HAL_StatusTypeDef HAL_DMA_Start_IT(DMA_HandleTypeDef *, uint32_t, uint32_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::board().halt(
        "HAL_DMA_Start_IT with 32-bit addresses is not available on the simulated board");
}

HAL_StatusTypeDef HAL_DMA_Abort(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    if (hdma->State != HAL_DMA_STATE_BUSY) {
        hdma->ErrorCode = HAL_DMA_ERROR_NO_XFER;
        __HAL_UNLOCK(hdma);
        return HAL_ERROR;
    }
    hdma->Instance->CCR &= ~(DMA_CCR_TCIE | DMA_CCR_HTIE | DMA_CCR_TEIE);
    hdma->Instance->CCR &= ~DMA_CCR_EN;
    DMA1_regs.ISR &= ~(0xFu << hdma->ChannelIndex);
    hdma->State = HAL_DMA_STATE_READY;
    __HAL_UNLOCK(hdma);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_Abort_IT(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    if (hdma->State != HAL_DMA_STATE_BUSY) {
        hdma->ErrorCode = HAL_DMA_ERROR_NO_XFER;
        return HAL_ERROR;
    }
    hdma->Instance->CCR &= ~(DMA_CCR_TCIE | DMA_CCR_HTIE | DMA_CCR_TEIE);
    hdma->Instance->CCR &= ~DMA_CCR_EN;
    DMA1_regs.ISR &= ~(0xFu << hdma->ChannelIndex);
    hdma->State = HAL_DMA_STATE_READY;
    __HAL_UNLOCK(hdma);
    if (hdma->XferAbortCallback != nullptr)
        {
            const sim::FirmwareCode firmware;
            hdma->XferAbortCallback(hdma);
        }
    return HAL_OK;
}

// Memory-to-memory and polled transfers are not used by the firmware and not
// modelled.
HAL_StatusTypeDef HAL_DMA_PollForTransfer(DMA_HandleTypeDef *, HAL_DMA_LevelCompleteTypeDef,
                                          uint32_t) {
    const sim::HalCall hal_call;
    sim::board().halt("HAL_DMA_PollForTransfer is not modelled by the simulated board");
}

// As the vendor HAL: one event per call, half transfer first; the line stays
// asserted while another enabled flag is up, so the handler is entered again.
void HAL_DMA_IRQHandler(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    sim::require_instance(hdma, "HAL_DMA_IRQHandler");
    const uint32_t flags = DMA1_regs.ISR;
    const uint32_t source = hdma->Instance->CCR;
    const uint32_t idx = hdma->ChannelIndex;
    if ((flags & (DMA_FLAG_HT1 << idx)) && (source & DMA_IT_HT)) {
        if (!(hdma->Instance->CCR & DMA_CCR_CIRC))
            hdma->Instance->CCR &= ~DMA_IT_HT;
        DMA1_regs.ISR &= ~(DMA_FLAG_HT1 << idx);
        if (hdma->XferHalfCpltCallback != nullptr)
            {
                const sim::FirmwareCode firmware;
                hdma->XferHalfCpltCallback(hdma);
            }
    } else if ((flags & (DMA_FLAG_TC1 << idx)) && (source & DMA_IT_TC)) {
        if (!(hdma->Instance->CCR & DMA_CCR_CIRC)) {
            hdma->Instance->CCR &= ~(DMA_IT_TE | DMA_IT_TC);
            hdma->State = HAL_DMA_STATE_READY;
        }
        DMA1_regs.ISR &= ~(DMA_FLAG_TC1 << idx);
        __HAL_UNLOCK(hdma);
        if (hdma->XferCpltCallback != nullptr)
            {
                const sim::FirmwareCode firmware;
                hdma->XferCpltCallback(hdma);
            }
    } else if ((flags & (DMA_FLAG_TE1 << idx)) && (source & DMA_IT_TE)) {
        hdma->Instance->CCR &= ~(DMA_IT_TE | DMA_IT_TC | DMA_IT_HT);
        DMA1_regs.ISR &= ~(0xFu << idx);
        hdma->ErrorCode = HAL_DMA_ERROR_TE;
        hdma->State = HAL_DMA_STATE_READY;
        __HAL_UNLOCK(hdma);
        if (hdma->XferErrorCallback != nullptr)
            {
                const sim::FirmwareCode firmware;
                hdma->XferErrorCallback(hdma);
            }
    }
}

HAL_StatusTypeDef HAL_DMA_RegisterCallback(DMA_HandleTypeDef *hdma,
                                           HAL_DMA_CallbackIDTypeDef CallbackID,
                                           void (*pCallback)(DMA_HandleTypeDef *_hdma)) {
    const sim::HalCall hal_call;
    if (hdma->State != HAL_DMA_STATE_READY)
        return HAL_ERROR;
    switch (CallbackID) {
        case HAL_DMA_XFER_CPLT_CB_ID:
            hdma->XferCpltCallback = pCallback;
            break;
        case HAL_DMA_XFER_HALFCPLT_CB_ID:
            hdma->XferHalfCpltCallback = pCallback;
            break;
        case HAL_DMA_XFER_ERROR_CB_ID:
            hdma->XferErrorCallback = pCallback;
            break;
        case HAL_DMA_XFER_ABORT_CB_ID:
            hdma->XferAbortCallback = pCallback;
            break;
        default:
            return HAL_ERROR;
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_DMA_UnRegisterCallback(DMA_HandleTypeDef *hdma,
                                             HAL_DMA_CallbackIDTypeDef CallbackID) {
    if (hdma->State != HAL_DMA_STATE_READY)
        return HAL_ERROR;
    switch (CallbackID) {
        case HAL_DMA_XFER_CPLT_CB_ID:
            hdma->XferCpltCallback = nullptr;
            break;
        case HAL_DMA_XFER_HALFCPLT_CB_ID:
            hdma->XferHalfCpltCallback = nullptr;
            break;
        case HAL_DMA_XFER_ERROR_CB_ID:
            hdma->XferErrorCallback = nullptr;
            break;
        case HAL_DMA_XFER_ABORT_CB_ID:
            hdma->XferAbortCallback = nullptr;
            break;
        case HAL_DMA_XFER_ALL_CB_ID:
            hdma->XferCpltCallback = nullptr;
            hdma->XferHalfCpltCallback = nullptr;
            hdma->XferErrorCallback = nullptr;
            hdma->XferAbortCallback = nullptr;
            break;
        default:
            return HAL_ERROR;
    }
    return HAL_OK;
}

HAL_DMA_StateTypeDef HAL_DMA_GetState(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    return hdma->State;
}
uint32_t HAL_DMA_GetError(DMA_HandleTypeDef *hdma) {
    const sim::HalCall hal_call;
    return hdma->ErrorCode;
}

}  // extern "C"

namespace sim {

// Used by the UART functions: the vendor's HAL_DMA_Start_IT with host pointers.
HAL_StatusTypeDef dma_start_it(DMA_HandleTypeDef *hdma, volatile void *periph, void *memory,
                               uint32_t count) {
    __HAL_LOCK(hdma);
    if (hdma->State != HAL_DMA_STATE_READY) {
        __HAL_UNLOCK(hdma);
        return HAL_BUSY;
    }
    hdma->State = HAL_DMA_STATE_BUSY;
    hdma->ErrorCode = HAL_DMA_ERROR_NONE;
    hdma->Instance->CCR &= ~DMA_CCR_EN;
    DMA1_regs.ISR &= ~(0xFu << hdma->ChannelIndex);
    dma_start(dma_channel_number(hdma->Instance), periph, memory, count);
    if (hdma->XferHalfCpltCallback != nullptr) {
        hdma->Instance->CCR |= DMA_IT_TC | DMA_IT_HT | DMA_IT_TE;
    } else {
        hdma->Instance->CCR = (hdma->Instance->CCR & ~DMA_IT_HT) | DMA_IT_TC | DMA_IT_TE;
    }
    hdma->Instance->CCR |= DMA_CCR_EN;
    return HAL_OK;
}

}  // namespace sim
