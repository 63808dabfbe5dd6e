// The sample log and the read-back mode.
#include "SensorDataTransfer.h"

#include <cstring>

#include "exflash.h"
#include "hs_uart5.h"
#include "main.h"
#include "w25q_mem.h"
#include "w25q_mem2.h"

SENSORDATA_TRANSFER __sData_transfer;
uint8_t SD_block = 1, SD_sector = 0, SD_page = 0, SD_count = 0;
uint8_t BlockPoint[2];
SensorData_TypeDef sData_;

namespace {

// Where the writer is within its block: a new block is erased, then named by a
// periodic record (so that a power-up after a cut never erases a block that already
// holds samples), then written.
enum BlockState : uint8_t { kBlockStart, kErasing, kNaming, kWriting };
BlockState __sData_block = kBlockStart;
uint8_t __sData_tries = 0;
uint32_t __sData_lost = 0;
bool __sData_overflow = false;  // records dropped since the ring was last empty

constexpr uint32_t kOddByteMs = 100;       // a request's second byte follows within 87 µs
constexpr uint32_t kLatestStartUs = 2500;  // into the tick (TIM7 counts microseconds)

int32_t next(int32_t i) {
    return (i + 1) % SENSORDATA_TRANSFER_SLOTS;
}

bool ring_empty() {
    return __sData_transfer.wptr == __sData_transfer.rptr;
}

uint32_t position_page() {
    return logger_sample_page(SD_block, SD_sector, SD_page);
}

void advance() {
    __sData_tries = 0;
    if (++SD_count < LOGGER_RECORDS_PER_PAGE)
        return;
    SD_count = 0;
    if (++SD_page < LOGGER_PAGES_PER_SECTOR)
        return;
    SD_page = 0;
    if (++SD_sector < LOGGER_PAGES_PER_SECTOR)
        return;
    // The block is full: what still waits goes into the next block, after its erase.
    SD_sector = 0;
    SD_block = logger_next_block(SD_block);
    __sData_block = kBlockStart;
}

void write_oldest() {
    SensorData_TypeDef *d = SensorDataTransfer_Peek(&__sData_transfer);
    if (!d)
        return;
    const uint8_t offset = static_cast<uint8_t>(SD_count * sizeof(SensorData_TypeDef));
    if (exflash_program_checked(d, sizeof *d, offset, position_page(), true) != 0) {
        // Kept for a retry on a later tick; a slot that keeps refusing is cleared, so
        // that a read-back goes on past it, and its record is lost.
        if (++__sData_tries < EXFLASH_PROGRAM_TRIES)
            return;
        exflash_clear_slot(sizeof *d, offset, position_page());
        ++__sData_lost;
    }
    SensorDataTransfer_Pop(&__sData_transfer);
    advance();
    if (ring_empty() && __sData_overflow) {
        __sData_overflow = false;
        UART5_Printf("sData: %lu records lost \r\n", static_cast<unsigned long>(__sData_lost));
    }
}

// One chip operation with the chip idle.
void service_step() {
    if (DnT_Pending()) {
        DnT_Service();
        return;
    }
    switch (__sData_block) {
        case kBlockStart:
            if (ring_empty())
                return;
            W25Q_EraseBlockAsync(SD_block, 64);
            UART5_Printf("W25Q_EraseBlockAsync(%08lX)\r\n",
                         static_cast<unsigned long>(HAL_GetTick()));
            __sData_block = kErasing;
            return;
        case kErasing:
            if (DnT_NamedBlock() != SD_block) {
                DnT_WriteFromTick();
                __sData_block = kNaming;
                return;
            }
            __sData_block = kWriting;
            break;
        case kNaming:
            // DnT_Pending was false: the naming record is written (or given up).
            __sData_block = kWriting;
            break;
        case kWriting:
            break;
    }
    write_oldest();
}

bool pending() {
    return DnT_Pending() || !ring_empty();
}

void print_record(const SensorData_TypeDef &d) {
    UART5_Printf(SD_LINE_FORMAT, d.num, d.accX, d.accY, d.accZ, d.gyroX, d.gyroY, d.gyroZ);
}

// Every byte that came while no request was armed is stale: an early byte, one sent
// during a dump, the first byte of a request whose second never came.
void flush_console() {
    UART_StopConsoleReception();
    __HAL_UART_CLEAR_FLAG(&huart3, UART_CLEAR_OREF);
    __HAL_UART_FLUSH_DRREGISTER(&huart3);
}

// Waits for a whole two-byte request. Runs inside the tick interrupt, where the
// console's DMA interrupt cannot come: the DMA's count says what has arrived.
void receive_request() {
    for (;;) {
        flush_console();
        BlockPoint[0] = BlockPoint[1] = 0;
        HAL_UART_Receive_DMA(&huart3, BlockPoint, 2);
        bool one = false;
        uint32_t one_at = 0;
        for (;;) {
            const uint32_t left = __HAL_DMA_GET_COUNTER(huart3.hdmarx);
            if (left == 0) {
                HAL_UART_AbortReceive(&huart3);
                return;
            }
            if (left == 1 && !one) {
                one = true;
                one_at = HAL_GetTick();
            } else if (one && HAL_GetTick() - one_at > kOddByteMs) {
                break;  // an odd byte: dropped, the reception starts again
            }
            HAL_Delay(1);
        }
    }
}

}  // namespace

int SensorDataTransfer_Init(SENSORDATA_TRANSFER *t) {
    t->wptr = 0;
    t->rptr = 0;
    return 0;
}

int SensorDataTransfer_Push(SENSORDATA_TRANSFER *t, const SensorData_TypeDef *d) {
    const int32_t w = t->wptr;
    if (next(w) == t->rptr)
        return -1;
    t->items[w] = *d;
    t->wptr = next(w);
    return 0;
}

SensorData_TypeDef *SensorDataTransfer_Peek(SENSORDATA_TRANSFER *t) {
    return t->wptr == t->rptr ? nullptr : &t->items[t->rptr];
}

SensorData_TypeDef *SensorDataTransfer_Pop(SENSORDATA_TRANSFER *t) {
    SensorData_TypeDef *d = SensorDataTransfer_Peek(t);
    if (d)
        t->rptr = next(t->rptr);
    return d;
}

void sData_FindPoint(void) {
    SD_block = block_point;
}

void sData_Init(void) {
    sData_FindPoint();
    SD_count = SD_page = SD_sector = 0;
    __sData_block = kBlockStart;
    SensorDataTransfer_Init(&__sData_transfer);
}

void sData_WriteSafe(const SensorData_TypeDef *d) {
    if (SensorDataTransfer_Push(&__sData_transfer, d) != 0) {
        ++__sData_lost;
        __sData_overflow = true;
    }
    sData_Service();
}

void sData_Service(void) {
    // A chip operation takes up to about 7 ms (a record: write enable, program, the
    // wait for it, read-back). Started later in the tick it would run into the next one;
    // it waits for the next tick instead.
    if (__HAL_TIM_GET_COUNTER(&htim7) > kLatestStartUs)
        return;
    if (W25Q_IsBusy() != W25Q_OK)
        return;
    service_step();
}

void sData_Flush(uint32_t limit_ms) {
    const uint32_t begin = HAL_GetTick();
    while (pending() && HAL_GetTick() - begin < limit_ms) {
        if (W25Q_IsBusy() == W25Q_OK)
            service_step();
        else
            HAL_Delay(1);
    }
}

void sData_Load(int first, int last) {
    uint32_t b = static_cast<uint32_t>(first);
    for (;;) {
        UART5_Printf(SD_BLOCK_FORMAT, static_cast<int>(b));
        for (uint32_t sector = 0; sector < LOGGER_PAGES_PER_SECTOR; ++sector) {
            for (uint32_t page = 0; page < LOGGER_PAGES_PER_SECTOR; ++page) {
                SensorData_TypeDef recs[LOGGER_RECORDS_PER_PAGE];
                if (W25Q_ReadData_16(reinterpret_cast<i16_t *>(recs), sizeof recs, 0,
                                     logger_sample_page(b, sector, page)) != W25Q_OK)
                    std::memset(recs, 0xFF, sizeof recs);
                for (const SensorData_TypeDef &d : recs) {
                    if (logger_sample_erased(d)) {
                        UART5_Printf(SD_END_LINE);
                        return;
                    }
                    print_record(d);
                }
            }
        }
        if (b == static_cast<uint32_t>(last))
            break;
        b = logger_next_block(b);
    }
    UART5_Printf(SD_END_LINE);
}

void sData_ReadBack(void) {
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    Logger_StopSampling();
    for (;;) {
        UART5_Printf("Read-back ready\r\n");
        receive_request();
        const uint8_t a = BlockPoint[0], b = BlockPoint[1];
        if (a == 0xFF && b == 0xFF)
            DnT_Load_All();
        else if (a >= LOGGER_FIRST_BLOCK && a <= LOGGER_LAST_BLOCK && b >= LOGGER_FIRST_BLOCK &&
                 b <= LOGGER_LAST_BLOCK)
            sData_Load(a, b);
        else
            UART5_Printf("Bad request %02X %02X\r\n", a, b);
    }
}
