// The external NOR flash through the HAL's QUADSPI calls, made as the device's driver
// makes them, for the in-process storage tests. The firmware side owns the handle
// `hqspi`; every command waits at most kTimeout ms.
#pragma once

#include "stm32l4xx_hal.h"

extern QSPI_HandleTypeDef hqspi;

namespace nor {

constexpr uint32_t kTimeout = 5000;

// An instruction on one line with no address, alternate bytes or data phase; callers
// add what their command needs.
inline QSPI_CommandTypeDef command(uint8_t op) {
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

inline QSPI_CommandTypeDef addressed(uint8_t op, uint32_t addr, uint32_t bits, uint32_t lines) {
    QSPI_CommandTypeDef c = command(op);
    c.Address = addr;
    c.AddressSize = bits == 24 ? QSPI_ADDRESS_24_BITS : QSPI_ADDRESS_32_BITS;
    c.AddressMode = lines == 4 ? QSPI_ADDRESS_4_LINES : QSPI_ADDRESS_1_LINE;
    return c;
}

// The instruction alone, with the time-out given.
inline HAL_StatusTypeDef simple(uint8_t op, uint32_t timeout = kTimeout) {
    QSPI_CommandTypeDef c = command(op);
    return HAL_QSPI_Command(&hqspi, &c, timeout);
}

// `c` with a data phase of `n` bytes (none when 0) on `lines` lines, received into or
// sent from `data`; the data phase waits at most `timeout` ms.
inline HAL_StatusTypeDef frame(QSPI_CommandTypeDef c, uint8_t *data, uint32_t n, bool receive,
                               uint32_t lines = 1, uint32_t timeout = kTimeout) {
    if (n) {
        c.DataMode = lines == 4 ? QSPI_DATA_4_LINES : QSPI_DATA_1_LINE;
        c.NbData = n;
    }
    const HAL_StatusTypeDef s = HAL_QSPI_Command(&hqspi, &c, kTimeout);
    if (s != HAL_OK || !n)
        return s;
    return receive ? HAL_QSPI_Receive(&hqspi, data, timeout)
                   : HAL_QSPI_Transmit(&hqspi, data, timeout);
}

// A status register read by its instruction (0x05, 0x35, 0x15); 0xEE when it failed.
inline uint8_t status(uint8_t op) {
    uint8_t v = 0xEE;
    frame(command(op), &v, 1, true);
    return v;
}

// A status register write by its instruction (0x01, 0x31, 0x11), after a write enable.
inline HAL_StatusTypeDef write_status(uint8_t op, uint8_t value) {
    simple(0x06);
    return frame(command(op), &value, 1, false);
}

inline void wait_idle() {
    while (status(0x05) & 0x01) HAL_Delay(1);
}

// Page program on four data lines, the address on one.
inline HAL_StatusTypeDef program(uint32_t addr, uint8_t *data, uint32_t n,
                                 bool write_enable = true) {
    if (write_enable)
        simple(0x06);
    return frame(addressed(0x34, addr, 32, 1), data, n, false, 4);
}

inline HAL_StatusTypeDef erase(uint8_t op, uint32_t addr, uint32_t bits = 32) {
    simple(0x06);
    return frame(addressed(op, addr, bits, 1), nullptr, 0, false);
}

// Fast read on four lines, address and data, with six dummy cycles.
inline HAL_StatusTypeDef read(uint32_t addr, uint8_t *data, uint32_t n,
                              uint32_t timeout = kTimeout) {
    QSPI_CommandTypeDef c = addressed(0xEC, addr, 32, 4);
    c.DummyCycles = 6;
    return frame(c, data, n, true, 4, timeout);
}

// Release from power-down; the device ID, 0 when the chip did not answer.
inline uint8_t device_id() {
    uint8_t id = 0;
    frame(addressed(0xAB, 0, 24, 1), &id, 1, true);
    return id;
}

}  // namespace nor
