// Sensor-data log. The block ahead is erased without blocking (started here, polled
// on later ticks), and its first record waits for a heartbeat that names it: the
// next start-up opens the block after the last one a heartbeat names, so a record
// in a block no heartbeat named would be erased by it.
#include "sys_sdata.h"

#include "main.h"
#include "sys_onoff.h"
#include "sys_uart.h"
#include "w25q_mem2.h"

exflash_info __sys_sdata_info = {0, 0, 0, 0};

namespace {

int __sys_sdata_write_mode = 0;  // 0 idle, 1 block erase running, 2 erased
uint32_t __sys_sdata_logged_block = 0;
exflash_backoff __sys_sdata_backoff = {};

constexpr uint32_t kDumpHoldMs = BLOCK_DUMP_HOLD_CHECKS * 20;
constexpr uint32_t kDumpPollMs = 20;      // waiting for a request, the input watched between
constexpr uint32_t kDumpPairGapMs = 100;  // the second byte of a request, at most this late

uint32_t __sys_dump_low_checks = 0;     // check ticks the input has been low
volatile bool __sys_dump_held = false;  // the tick found it held
bool __sys_dump_low = false;            // the main loop has seen it low since ...
uint32_t __sys_dump_low_since = 0;      // ... this ms

bool dump_input_low() {
    return HAL_GPIO_ReadPin(BLOCK_DUMP_GPIO_Port, BLOCK_DUMP_Pin) == GPIO_PIN_RESET;
}

// What arrived while a listing ran (one byte waiting, the rest overrun) is stale.
void dump_flush() {
    __HAL_UART_CLEAR_FLAG(&huart3, UART_CLEAR_OREF);
    __HAL_UART_FLUSH_DRREGISTER(&huart3);
}

void dump_serve(uint8_t first, uint8_t last) {
    if (first == 0xFF && last == 0xFF)
        sys_onoff_print_all();
    else if (first != 0 && last != 0)
        sys_sdata_print(first, last);
}

bool at_block_start(const exflash_info &p) {
    return p.sector == 0 && p.page == 0 && p.count == 0;
}

}  // namespace

int sys_sdata_init(void) {
    __sys_sdata_info.sector = 0;
    __sys_sdata_info.page = 0;
    __sys_sdata_info.count = 0;
    if (__sys_sdata_info.block < SYS_SDATA_FIRST_BLOCK ||
        __sys_sdata_info.block > SYS_SDATA_LAST_BLOCK)
        __sys_sdata_info.block = SYS_SDATA_FIRST_BLOCK;
    return 0;
}

void sys_sdata_block_logged(uint32_t block) {
    __sys_sdata_logged_block = block;
}

int sys_sdata_write(SensorData_TypeDef *pData) {
    if (!exflash_backoff_ready(&__sys_sdata_backoff))
        return -1;
    exflash_info &p = __sys_sdata_info;
    if (__sys_sdata_write_mode == 1) {
        if (W25Q_IsBusy() != W25Q_OK)  // busy, or the status could not be read
            return -1;
        __sys_sdata_write_mode = 2;
    }
    if (at_block_start(p)) {
        if (__sys_sdata_write_mode == 0) {
            if (exflash_backoff_holds_erase(&__sys_sdata_backoff))
                return -1;
            if (W25Q_EraseBlockAsync(p.block, 64) != W25Q_OK) {
                exflash_count_error();
                exflash_backoff_failed(&__sys_sdata_backoff, false);
                return -3;
            }
            __sys_sdata_write_mode = 1;
            __sys_sdata_logged_block = 0;
            // The heartbeat naming the block is due at once; the scheduler writes it
            // on the first tick the erase leaves the chip idle.
            set_sys_dnt_write();
            return -2;
        }
        if (__sys_sdata_logged_block != p.block)
            return -1;
        __sys_sdata_write_mode = 0;
    }
    const uint32_t start = HAL_GetTick();
    const W25Q_STATE w = exflash_program_checked_16(
        reinterpret_cast<int16_t *>(pData), SYS_SDATA_RECORD_SIZE,
        static_cast<uint8_t>(p.count * SYS_SDATA_RECORD_SIZE),
        p.block * EXFLASH_PAGES_PER_BLOCK + p.sector * EXFLASH_PAGES_PER_SECTOR + p.page);
    if (HAL_GetTick() - start > 200)
        exflash_count_error();
    exflash_info_update_sdata(&p);
    if (w != W25Q_OK) {
        exflash_count_error();
        exflash_backoff_failed(&__sys_sdata_backoff, true);
        return -3;
    }
    exflash_backoff_ok(&__sys_sdata_backoff);
    return 0;
}

// The block a start-up has chosen is listed as empty until this run has erased it:
// what it holds is the ring's stale past, or an erase the power cut short.
int sys_sdata_print(int start_block, int end_block) {
    const uint32_t opening = at_block_start(__sys_sdata_info) && __sys_sdata_write_mode != 2
                                 ? __sys_sdata_info.block
                                 : 0;
    return exflash_list_sdata(exflash_chip_16, exflash_console_listing, start_block, end_block,
                              opening);
}

void block_dump_check(void) {
    if (!dump_input_low()) {
        __sys_dump_low_checks = 0;
        return;
    }
    if (++__sys_dump_low_checks < BLOCK_DUMP_HOLD_CHECKS)
        return;
    __sys_dump_held = true;
    enter_service_mode();
}

bool block_dump_service_check(void) {
    if (!dump_input_low()) {
        __sys_dump_low = false;
        __sys_dump_held = false;
        return false;
    }
    const uint32_t now = HAL_GetTick();
    if (!__sys_dump_low) {
        __sys_dump_low = true;
        __sys_dump_low_since = now;
    }
    return __sys_dump_held || now - __sys_dump_low_since >= kDumpHoldMs;
}

// A request is assembled from single bytes polled off the port. A time-out between
// its two bytes, or an overrun (bytes lost), drops what came of it, so the next
// request starts a fresh pair instead of pairing with a stale byte.
void block_dump_service(void) {
    __sys_dump_held = false;
    __sys_dump_low = false;
    uint32_t have = 0;
    bool released = false;
    uint32_t released_at = 0;
    for (;;) {
        const uint32_t now = HAL_GetTick();
        if (dump_input_low()) {
            released = false;
        } else if (!released) {
            released = true;
            released_at = now;
        } else if (now - released_at >= kDumpHoldMs) {
            return;
        }
        uint8_t byte;
        if (HAL_UART_Receive(&huart3, &byte, 1, have != 0 ? kDumpPairGapMs : kDumpPollMs) !=
            HAL_OK) {
            have = 0;
            continue;
        }
        BlockPoint[have++] = byte;
        if (have < 2)
            continue;
        have = 0;
        dump_serve(BlockPoint[0], BlockPoint[1]);
        BlockPoint[0] = 0;
        BlockPoint[1] = 0;
        dump_flush();
    }
}
