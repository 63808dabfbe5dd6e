// Sensor-data log. The block ahead is erased without blocking (started here, polled
// on later ticks), and its first record waits for a heartbeat that names it: the
// next start-up opens the block after the last one a heartbeat names, so a record
// in a block no heartbeat named would be erased by it.
#include "sys_sdata.h"

#include "main.h"
#include "w25q_mem2.h"

exflash_info __sys_sdata_info = {0, 0, 0, 0};

namespace {

int __sys_sdata_write_mode = 0;  // 0 idle, 1 block erase running, 2 erased
uint32_t __sys_sdata_logged_block = 0;
exflash_backoff __sys_sdata_backoff = {};

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

void block_dump_check(void) {}
