// Driver of the external quad-SPI NOR flash. Every command sends its instruction on
// one line, no alternate bytes, single data rate; every HAL call waits at most
// 5000 ms. The chip is kept in 4-byte address mode with the quad lines enabled.
#include "w25q_mem.h"

#include "stm32l4xx_hal_additions.h"

QSPI_HandleTypeDef hqspi;
W25Q_STATUS_REG w25q_status;

namespace {

constexpr u8_t kReadStatus[3] = {0x05, 0x35, 0x15};
constexpr u8_t kWriteStatus[3] = {0x01, 0x31, 0x11};
constexpr u8_t kWriteEnable = 0x06;
constexpr u8_t kWriteDisable = 0x04;
constexpr u8_t kEnter4Byte = 0xB7;
constexpr u8_t kExit4Byte = 0xE9;
constexpr u8_t kFastReadQuadIo = 0xEC;   // 4-byte address on 4 lines, 6 dummy cycles
constexpr u8_t kQuadPageProgram = 0x34;  // 4-byte address on 1 line, data on 4 lines
constexpr u8_t kSectorErase = 0x21;      // 4 KB, 4-byte address
constexpr u8_t kPowerDown = 0xB9;
constexpr u8_t kReleaseId = 0xAB;  // release from power-down, device ID
constexpr u8_t kReadDummyCycles = 6;

u32_t page_to_addr(u32_t pageNum, u8_t pageShift) {
    return (pageNum << 8) | pageShift;
}

// The page API's checks, before any bus traffic.
bool page_args_ok(u16_t len, u8_t pageShift, u32_t pageNum) {
    if (pageNum >= 0x20000u || len == 0 || len > 256)
        return false;
    if (256u - len < pageShift)
        return false;  // would cross the page end
    if (pageShift != 0 && pageNum >= 0x1FFFFu)
        return false;  // an offset access into the last page is refused
    return true;
}

QSPI_CommandTypeDef w25q_command(u8_t opcode) {
    QSPI_CommandTypeDef cmd = {};
    cmd.Instruction = opcode;
    cmd.InstructionMode = QSPI_INSTRUCTION_1_LINE;
    cmd.AddressMode = QSPI_ADDRESS_NONE;
    cmd.AddressSize = QSPI_ADDRESS_32_BITS;
    cmd.AlternateByteMode = QSPI_ALTERNATE_BYTES_NONE;
    cmd.DataMode = QSPI_DATA_NONE;
    cmd.DummyCycles = 0;
    cmd.NbData = 0;
    cmd.DdrMode = QSPI_DDR_MODE_DISABLE;
    cmd.DdrHoldHalfCycle = QSPI_DDR_HHC_ANALOG_DELAY;
    cmd.SIOOMode = QSPI_SIOO_INST_EVERY_CMD;
    return cmd;
}

QSPI_CommandTypeDef w25q_address_command(u8_t opcode, u32_t address) {
    QSPI_CommandTypeDef cmd = w25q_command(opcode);
    cmd.AddressMode = QSPI_ADDRESS_1_LINE;
    cmd.AddressSize = QSPI_ADDRESS_32_BITS;
    cmd.Address = address;
    return cmd;
}

bool raw_len_ok(u16_t data_len) {
    return data_len >= 1 && data_len <= 256;
}

W25Q_STATE send(QSPI_CommandTypeDef &cmd) {
    return HAL_QSPI_Command(&hqspi, &cmd, W25Q_HAL_TIMEOUT_MS) == HAL_OK ? W25Q_OK : W25Q_SPI_ERR;
}

QSPI_CommandTypeDef read_command(u32_t rawAddr, u16_t len) {
    QSPI_CommandTypeDef cmd = w25q_address_command(kFastReadQuadIo, rawAddr);
    cmd.AddressMode = QSPI_ADDRESS_4_LINES;
    cmd.DummyCycles = kReadDummyCycles;
    cmd.DataMode = QSPI_DATA_4_LINES;
    cmd.NbData = len;
    return cmd;
}

QSPI_CommandTypeDef program_command(u32_t rawAddr, u16_t len) {
    QSPI_CommandTypeDef cmd = w25q_address_command(kQuadPageProgram, rawAddr);
    cmd.DataMode = QSPI_DATA_4_LINES;
    cmd.NbData = len;
    return cmd;
}

W25Q_STATE read_raw(u8_t *buf, u16_t data_len, u32_t rawAddr, bool wide) {
    if (!raw_len_ok(data_len))
        return W25Q_PARAM_ERR;
    W25Q_STATE r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    QSPI_CommandTypeDef cmd = read_command(rawAddr, data_len);
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    const HAL_StatusTypeDef s = wide ? HAL_QSPI_Receive_16(&hqspi, buf, W25Q_HAL_TIMEOUT_MS)
                                     : HAL_QSPI_Receive(&hqspi, buf, W25Q_HAL_TIMEOUT_MS);
    return s == HAL_OK ? W25Q_OK : W25Q_SPI_ERR;
}

W25Q_STATE program_raw(u8_t *buf, u16_t data_len, u32_t rawAddr, bool wide) {
    if (!raw_len_ok(data_len))
        return W25Q_PARAM_ERR;
    W25Q_STATE r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    r = W25Q_WriteEnable(true);
    if (r != W25Q_OK)
        return r;
    QSPI_CommandTypeDef cmd = program_command(rawAddr, data_len);
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    const HAL_StatusTypeDef s = wide ? HAL_QSPI_Transmit_16(&hqspi, buf, W25Q_HAL_TIMEOUT_MS)
                                     : HAL_QSPI_Transmit(&hqspi, buf, W25Q_HAL_TIMEOUT_MS);
    if (s != HAL_OK)
        return W25Q_SPI_ERR;
    return w25q_wait_idle(W25Q_WAIT_PROGRAM_MS);
}

// Sets `bit` of status register `reg` when it is clear (the chip keeps it).
W25Q_STATE set_status_bit(u8_t reg, u8_t bit) {
    u8_t v = 0;
    W25Q_STATE r = W25Q_ReadStatusReg(&v, reg);
    if (r != W25Q_OK)
        return r;
    return W25Q_WriteStatusReg(static_cast<u8_t>(v | bit), reg);
}

}  // namespace

// The wait has a bound: a chip that never clears its busy bit must not hold the
// caller (the 10 ms tick among them) for ever. A status read that fails ends the
// wait with its error instead of letting the operation go on as if the chip were
// idle.
W25Q_STATE w25q_wait_idle(uint32_t limit_ms) {
    const uint32_t start = HAL_GetTick();
    for (;;) {
        const W25Q_STATE r = W25Q_IsBusy();
        if (r != W25Q_BUSY)
            return r;
        if (HAL_GetTick() - start >= limit_ms)
            return W25Q_CHIP_ERR;
        HAL_Delay(1);
    }
}

W25Q_STATE W25Q_ReadStatusReg(u8_t *reg_data, u8_t reg_num) {
    if (reg_num < 1 || reg_num > 3)
        return W25Q_PARAM_ERR;
    QSPI_CommandTypeDef cmd = w25q_command(kReadStatus[reg_num - 1]);
    cmd.DataMode = QSPI_DATA_1_LINE;
    cmd.NbData = 1;
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    return HAL_QSPI_Receive(&hqspi, reg_data, W25Q_HAL_TIMEOUT_MS) == HAL_OK ? W25Q_OK
                                                                             : W25Q_SPI_ERR;
}

W25Q_STATE W25Q_WriteStatusReg(u8_t reg_data, u8_t reg_num) {
    W25Q_STATE r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    r = W25Q_WriteEnable(true);
    if (r != W25Q_OK)
        return r;
    if (reg_num < 1 || reg_num > 3)
        return W25Q_PARAM_ERR;
    QSPI_CommandTypeDef cmd = w25q_command(kWriteStatus[reg_num - 1]);
    cmd.DataMode = QSPI_DATA_1_LINE;
    cmd.NbData = 1;
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    return HAL_QSPI_Transmit(&hqspi, &reg_data, W25Q_HAL_TIMEOUT_MS) == HAL_OK ? W25Q_OK
                                                                               : W25Q_SPI_ERR;
}

W25Q_STATE W25Q_ReadStatusStruct(W25Q_STATUS_REG *status) {
    u8_t reg[3] = {0, 0, 0};
    for (u8_t i = 0; i < 3; ++i) {
        const W25Q_STATE r = W25Q_ReadStatusReg(&reg[i], static_cast<u8_t>(i + 1));
        if (r != W25Q_OK)
            return r;
    }
    w25q_status.BUSY = (reg[0] & 0x01) != 0;
    w25q_status.WEL = (reg[0] & 0x02) != 0;
    w25q_status.QE = (reg[1] & 0x02) != 0;
    w25q_status.SUS = (reg[1] & 0x80) != 0;
    w25q_status.ADS = (reg[2] & 0x01) != 0;
    w25q_status.ADP = (reg[2] & 0x02) != 0;
    if (status != nullptr)
        *status = w25q_status;
    return W25Q_OK;
}

W25Q_STATE W25Q_IsBusy(void) {
    u8_t reg = 0;
    const W25Q_STATE r = W25Q_ReadStatusReg(&reg, 1);
    if (r != W25Q_OK)
        return r;
    w25q_status.BUSY = (reg & 0x01) != 0;
    return w25q_status.BUSY ? W25Q_BUSY : W25Q_OK;
}

W25Q_STATE W25Q_ReadData(u8_t *buf, u16_t len, u8_t pageShift, u32_t pageNum) {
    if (!page_args_ok(len, pageShift, pageNum))
        return W25Q_PARAM_ERR;
    return W25Q_ReadRaw(buf, len, page_to_addr(pageNum, pageShift));
}

W25Q_STATE W25Q_ProgramData(u8_t *buf, u16_t len, u8_t pageShift, u32_t pageNum) {
    if (!page_args_ok(len, pageShift, pageNum))
        return W25Q_PARAM_ERR;
    return W25Q_ProgramRaw(buf, len, page_to_addr(pageNum, pageShift));
}

W25Q_STATE W25Q_ReadData_16(i16_t *buf, u16_t len, u8_t pageShift, u32_t pageNum) {
    if (!page_args_ok(len, pageShift, pageNum))
        return W25Q_PARAM_ERR;
    return W25Q_ReadRaw_16(buf, len, page_to_addr(pageNum, pageShift));
}

W25Q_STATE W25Q_ProgramData_16(i16_t *buf, u16_t len, u8_t pageShift, u32_t pageNum) {
    if (!page_args_ok(len, pageShift, pageNum))
        return W25Q_PARAM_ERR;
    return W25Q_ProgramRaw_16(buf, len, page_to_addr(pageNum, pageShift));
}

W25Q_STATE W25Q_ReadRaw(u8_t *buf, u16_t data_len, u32_t rawAddr) {
    return read_raw(buf, data_len, rawAddr, false);
}

W25Q_STATE W25Q_ReadRaw_16(i16_t *buf, u16_t data_len, u32_t rawAddr) {
    return read_raw(reinterpret_cast<u8_t *>(buf), data_len, rawAddr, true);
}

W25Q_STATE W25Q_ProgramRaw(u8_t *buf, u16_t data_len, u32_t rawAddr) {
    return program_raw(buf, data_len, rawAddr, false);
}

W25Q_STATE W25Q_ProgramRaw_16(i16_t *buf, u16_t data_len, u32_t rawAddr) {
    return program_raw(reinterpret_cast<u8_t *>(buf), data_len, rawAddr, true);
}

W25Q_STATE w25q_start_erase(u8_t opcode, u32_t address) {
    W25Q_STATE r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    r = W25Q_WriteEnable(true);
    if (r != W25Q_OK)
        return r;
    QSPI_CommandTypeDef cmd = w25q_address_command(opcode, address);
    return send(cmd);
}

W25Q_STATE W25Q_EraseSector(u32_t SectAddr) {
    if (SectAddr >= 8192)
        return W25Q_PARAM_ERR;
    const W25Q_STATE r = w25q_start_erase(kSectorErase, SectAddr * 4096u);
    return r != W25Q_OK ? r : w25q_wait_idle(W25Q_WAIT_SECTOR_ERASE_MS);
}

W25Q_STATE W25Q_Sleep(void) {
    QSPI_CommandTypeDef cmd = w25q_command(kPowerDown);
    const W25Q_STATE r = send(cmd);
    HAL_Delay(1);
    w25q_status.SLEEP = true;
    return r;
}

W25Q_STATE W25Q_ReadID(u8_t *buf) {
    QSPI_CommandTypeDef cmd = w25q_address_command(kReleaseId, 0);
    cmd.AddressSize = QSPI_ADDRESS_24_BITS;
    cmd.DataMode = QSPI_DATA_1_LINE;
    cmd.NbData = 1;
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    return HAL_QSPI_Receive(&hqspi, buf, W25Q_HAL_TIMEOUT_MS) == HAL_OK ? W25Q_OK : W25Q_SPI_ERR;
}

W25Q_STATE W25Q_WriteEnable(bool enable) {
    QSPI_CommandTypeDef cmd = w25q_command(enable ? kWriteEnable : kWriteDisable);
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    HAL_Delay(1);
    if (enable)
        w25q_status.WEL = true;
    return W25Q_OK;
}

W25Q_STATE W25Q_Enter4ByteMode(bool enable) {
    const W25Q_STATE r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    QSPI_CommandTypeDef cmd = w25q_command(enable ? kEnter4Byte : kExit4Byte);
    if (send(cmd) != W25Q_OK)
        return W25Q_SPI_ERR;
    HAL_Delay(1);
    return W25Q_ReadStatusStruct(nullptr);
}

// Wakes the chip (the ID read releases power-down), then makes sure it powers up in
// 4-byte address mode, is in it now, and has its quad lines enabled. A chip that
// already has all three receives only reads. A status register write keeps the chip
// busy for up to 15 ms, during which it ignores the ID read of the presence test
// that follows: the last step waits for it, or a fresh chip would fail that test.
W25Q_STATE W25Q_Init(void) {
    u8_t id = 0;
    W25Q_STATE r = W25Q_ReadID(&id);
    if (r != W25Q_OK)
        return r;
    r = W25Q_ReadStatusStruct(nullptr);
    if (r != W25Q_OK)
        return r;
    if (!w25q_status.ADP) {
        r = set_status_bit(3, 0x02);
        if (r != W25Q_OK)
            return r;
    }
    if (!w25q_status.ADS) {
        r = W25Q_Enter4ByteMode(true);
        if (r != W25Q_OK)
            return r;
    }
    if (!w25q_status.QE) {
        r = set_status_bit(2, 0x02);
        if (r != W25Q_OK)
            return r;
    }
    r = w25q_wait_idle(W25Q_WAIT_BEFORE_MS);
    if (r != W25Q_OK)
        return r;
    return W25Q_ReadStatusStruct(nullptr);
}
