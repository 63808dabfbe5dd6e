// Storage test firmware: a small log writer for power-cut runs on the simulated
// board. At every start it finds its place again (the last complete record of a
// two-sector log in the external NOR flash), prints what it found on the console,
// and then appends a 16-byte record every 20 ms, erasing the other sector when the
// log wraps onto it.
//
// A record is {sequence, boot, sequence ^ boot ^ 0xA5A5A5A5, 0}: a record that a cut
// left half programmed fails its check word and is counted as torn. The boot number
// is one more than that of the last complete record.
#include <cstdio>
#include <cstring>

#include "../sim/board_setup.h"
#include "../sim/nor_calls.h"
#include "stm32l4xx_hal.h"

UART_HandleTypeDef huart3;
QSPI_HandleTypeDef hqspi;

namespace {

constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kRecordSize = 16;
constexpr uint32_t kRecordsPerSector = kSectorSize / kRecordSize;
constexpr uint32_t kLogRecords = 2 * kRecordsPerSector;  // sectors 0 and 1
constexpr uint32_t kCheck = 0xA5A5A5A5u;

[[noreturn]] void fail() {
    for (;;) __WFI();
}

void print(const char *text) {
    HAL_UART_Transmit(&huart3, reinterpret_cast<const uint8_t *>(text),
                      static_cast<uint16_t>(std::strlen(text)), 1000);
}

// ---- external NOR flash, through the driver's calls (nor_calls.h) ---------------

bool nor_start() {
    if (nor::device_id() == 0)  // also the release from power-down
        return false;
    nor::simple(0xB7);  // 4-byte addresses
    if (!(nor::status(0x35) & 0x02)) {
        nor::write_status(0x31, static_cast<uint8_t>(nor::status(0x35) | 0x02));  // quad lines
        nor::wait_idle();
    }
    return true;
}

void nor_program(uint32_t addr, uint8_t *buf, uint32_t n) {
    nor::wait_idle();
    nor::program(addr, buf, n);
    nor::wait_idle();
}

void nor_erase_sector(uint32_t sector) {
    nor::wait_idle();
    nor::erase(0x21, sector * kSectorSize);
    nor::wait_idle();
}

// ---- the log -----------------------------------------------------------------

struct Record {
    uint32_t sequence;
    uint32_t boot;
    uint32_t check;
    uint32_t zero;
};

uint32_t next_slot = 0;
uint32_t next_sequence = 1;
uint32_t last_boot = 0;

// The last complete record wins; erased slots after it are where writing goes on.
void log_recover(uint32_t &torn) {
    uint32_t best = 0, best_slot = kLogRecords - 1;
    torn = 0;
    for (uint32_t slot = 0; slot < kLogRecords; ++slot) {
        Record r;
        nor::read(slot * kRecordSize, reinterpret_cast<uint8_t *>(&r), kRecordSize);
        if (r.sequence == 0xFFFFFFFFu && r.boot == 0xFFFFFFFFu && r.check == 0xFFFFFFFFu &&
            r.zero == 0xFFFFFFFFu)
            continue;
        if (r.check != (r.sequence ^ r.boot ^ kCheck) || r.zero != 0) {
            ++torn;
            continue;
        }
        if (r.sequence >= best) {
            best = r.sequence;
            best_slot = slot;
            last_boot = r.boot;
        }
    }
    next_sequence = best + 1;
    next_slot = (best_slot + 1) % kLogRecords;
}

void log_append(uint32_t boot) {
    if (next_slot % kRecordsPerSector == 0)
        nor_erase_sector(next_slot / kRecordsPerSector);
    Record r = {next_sequence, boot, next_sequence ^ boot ^ kCheck, 0};
    nor_program(next_slot * kRecordSize, reinterpret_cast<uint8_t *>(&r), kRecordSize);
    ++next_sequence;
    next_slot = (next_slot + 1) % kLogRecords;
}

}  // namespace

int main(void) {
    HAL_Init();
    // The external flash, then the console on PB10 and PB11 (the GPIOB clock is on by then).
    if (board_setup::qspi(hqspi) != HAL_OK)
        fail();
    GPIO_InitTypeDef console_pins = {GPIO_PIN_10 | GPIO_PIN_11, GPIO_MODE_AF_PP, GPIO_PULLUP,
                                     GPIO_SPEED_FREQ_VERY_HIGH, GPIO_AF7_USART3};
    HAL_GPIO_Init(GPIOB, &console_pins);
    if (board_setup::console(huart3) != HAL_OK)
        fail();
    if (!nor_start()) {
        print("no external flash\r\n");
        fail();
    }
    uint32_t torn = 0;
    log_recover(torn);
    const uint32_t boot = last_boot + 1;
    char line[64];
    std::snprintf(line, sizeof line, "boot %lu: log at %lu, torn %lu\r\n",
                  static_cast<unsigned long>(boot), static_cast<unsigned long>(next_sequence - 1),
                  static_cast<unsigned long>(torn));
    print(line);
    for (;;) {
        log_append(boot);
        HAL_Delay(20);
    }
}

extern "C" {

void SysTick_Handler(void) {
    HAL_IncTick();
}

}  // extern "C"
