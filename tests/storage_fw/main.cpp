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
#include "stm32l4xx_hal.h"

UART_HandleTypeDef huart3;
QSPI_HandleTypeDef hqspi;

namespace {

constexpr uint32_t kTimeout = 5000;
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

// ---- external NOR flash, as the firmware's driver talks to it ------------------

QSPI_CommandTypeDef command(uint8_t op) {
    QSPI_CommandTypeDef c = {};
    c.Instruction = op;
    c.InstructionMode = QSPI_INSTRUCTION_1_LINE;
    c.AddressMode = QSPI_ADDRESS_NONE;
    c.AlternateByteMode = QSPI_ALTERNATE_BYTES_NONE;
    c.DataMode = QSPI_DATA_NONE;
    c.DdrMode = QSPI_DDR_MODE_DISABLE;
    c.SIOOMode = QSPI_SIOO_INST_EVERY_CMD;
    return c;
}

bool transfer(QSPI_CommandTypeDef c, uint8_t *data, uint32_t n, bool receive) {
    if (n) {
        c.DataMode =
            c.Instruction == 0xEC || c.Instruction == 0x34 ? QSPI_DATA_4_LINES : QSPI_DATA_1_LINE;
        c.NbData = n;
    }
    if (HAL_QSPI_Command(&hqspi, &c, kTimeout) != HAL_OK)
        return false;
    if (!n)
        return true;
    return (receive ? HAL_QSPI_Receive(&hqspi, data, kTimeout)
                    : HAL_QSPI_Transmit(&hqspi, data, kTimeout)) == HAL_OK;
}

uint8_t status(uint8_t op) {
    uint8_t v = 0;
    transfer(command(op), &v, 1, true);
    return v;
}

void wait_idle() {
    while (status(0x05) & 0x01) HAL_Delay(1);
}

QSPI_CommandTypeDef addressed(uint8_t op, uint32_t addr, bool quad_address) {
    QSPI_CommandTypeDef c = command(op);
    c.Address = addr;
    c.AddressSize = QSPI_ADDRESS_32_BITS;
    c.AddressMode = quad_address ? QSPI_ADDRESS_4_LINES : QSPI_ADDRESS_1_LINE;
    return c;
}

void write_status(uint8_t reg_op, uint8_t value) {
    transfer(command(0x06), nullptr, 0, false);
    transfer(command(reg_op), &value, 1, false);
    wait_idle();
}

bool nor_start() {
    QSPI_CommandTypeDef id = command(0xAB);  // release from power-down, device ID
    id.Address = 0;
    id.AddressSize = QSPI_ADDRESS_24_BITS;
    id.AddressMode = QSPI_ADDRESS_1_LINE;
    uint8_t device = 0;
    if (!transfer(id, &device, 1, true) || device == 0)
        return false;
    transfer(command(0xB7), nullptr, 0, false);  // 4-byte addresses
    if (!(status(0x35) & 0x02))
        write_status(0x31, static_cast<uint8_t>(status(0x35) | 0x02));  // quad lines
    return true;
}

void nor_read(uint32_t addr, uint8_t *buf, uint32_t n) {
    QSPI_CommandTypeDef c = addressed(0xEC, addr, true);
    c.DummyCycles = 6;
    transfer(c, buf, n, true);
}

void nor_program(uint32_t addr, uint8_t *buf, uint32_t n) {
    wait_idle();
    transfer(command(0x06), nullptr, 0, false);
    transfer(addressed(0x34, addr, false), buf, n, false);
    wait_idle();
}

void nor_erase_sector(uint32_t sector) {
    wait_idle();
    transfer(command(0x06), nullptr, 0, false);
    transfer(addressed(0x21, sector * kSectorSize, false), nullptr, 0, false);
    wait_idle();
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
        nor_read(slot * kRecordSize, reinterpret_cast<uint8_t *>(&r), kRecordSize);
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

// ---- board -------------------------------------------------------------------

// The external flash, then the console on PB10 and PB11 (the GPIOB clock is on by then).
void peripherals() {
    if (board_setup::qspi(hqspi) != HAL_OK)
        fail();
    GPIO_InitTypeDef console_pins = {GPIO_PIN_10 | GPIO_PIN_11, GPIO_MODE_AF_PP, GPIO_PULLUP,
                                     GPIO_SPEED_FREQ_VERY_HIGH, GPIO_AF7_USART3};
    HAL_GPIO_Init(GPIOB, &console_pins);
    if (board_setup::console(huart3) != HAL_OK)
        fail();
}

}  // namespace

int main(void) {
    HAL_Init();
    peripherals();
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
