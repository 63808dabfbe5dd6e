#pragma once
// Driver of the external quad-SPI NOR flash (W25Q family, 32 MiB) on QUADSPI: the
// only code that talks to the chip. Page-addressed and raw reads and programs,
// 4 KB sector erase, status registers, power-down and the device-ID read used as
// the start-up presence test. The non-blocking erases are in w25q_mem2.
//
// Every operation returns a W25Q_STATE. The driver has no queue and no lock: the
// HAL handle's lock turns an overlapping call into W25Q_SPI_ERR.
#include <cstdint>

#include "stm32l4xx_hal.h"

typedef uint8_t u8_t;
typedef uint16_t u16_t;
typedef uint32_t u32_t;
typedef int16_t i16_t;

typedef enum : uint8_t {
    W25Q_OK = 0,          // success; from W25Q_IsBusy: chip idle
    W25Q_BUSY = 1,        // only from W25Q_IsBusy: chip busy
    W25Q_PARAM_ERR = 2,   // argument out of range, nothing sent
    W25Q_CHIP_ERR = 3,    // the chip stayed busy past the longest time any operation takes
    W25Q_SPI_ERR = 4,     // a HAL QUADSPI call did not return HAL_OK
    W25Q_CHIP_IGNORE = 5  // the chip did not take a program (read back differs; exflash)
} W25Q_STATE;

typedef struct {
    bool BUSY;   // status register 1 bit 0
    bool WEL;    // status register 1 bit 1, write enable latch
    bool QE;     // status register 2 bit 1, quad enable
    bool SUS;    // status register 2 bit 7, suspend
    bool ADS;    // status register 3 bit 0, current address mode is 4-byte
    bool ADP;    // status register 3 bit 1, power-up address mode is 4-byte
    bool SLEEP;  // set by W25Q_Sleep, never cleared
} W25Q_STATUS_REG;

extern QSPI_HandleTypeDef hqspi;
extern W25Q_STATUS_REG w25q_status;

// Longest busy times the driver waits for (W25Q256JV maxima with margin): before an
// operation, a 64 KB erase started earlier (2 s); after a page program (3 ms); after
// a blocking 4 KB erase (400 ms). A chip still busy then is stuck: W25Q_CHIP_ERR.
constexpr uint32_t W25Q_WAIT_BEFORE_MS = 2500;
constexpr uint32_t W25Q_WAIT_PROGRAM_MS = 20;
constexpr uint32_t W25Q_WAIT_SECTOR_ERASE_MS = 1000;
constexpr uint32_t W25Q_HAL_TIMEOUT_MS = 5000;

W25Q_STATE W25Q_Init(void);
W25Q_STATE W25Q_ReadStatusReg(u8_t *reg_data, u8_t reg_num);
W25Q_STATE W25Q_WriteStatusReg(u8_t reg_data, u8_t reg_num);
W25Q_STATE W25Q_ReadStatusStruct(W25Q_STATUS_REG *status);
W25Q_STATE W25Q_IsBusy(void);

W25Q_STATE W25Q_ReadData(u8_t *buf, u16_t len, u8_t pageShift, u32_t pageNum);
W25Q_STATE W25Q_ProgramData(u8_t *buf, u16_t len, u8_t pageShift, u32_t pageNum);
W25Q_STATE W25Q_ReadData_16(i16_t *buf, u16_t len, u8_t pageShift, u32_t pageNum);
W25Q_STATE W25Q_ProgramData_16(i16_t *buf, u16_t len, u8_t pageShift, u32_t pageNum);

W25Q_STATE W25Q_ReadRaw(u8_t *buf, u16_t data_len, u32_t rawAddr);
W25Q_STATE W25Q_ReadRaw_16(i16_t *buf, u16_t data_len, u32_t rawAddr);
W25Q_STATE W25Q_ProgramRaw(u8_t *buf, u16_t data_len, u32_t rawAddr);
W25Q_STATE W25Q_ProgramRaw_16(i16_t *buf, u16_t data_len, u32_t rawAddr);

W25Q_STATE W25Q_EraseSector(u32_t SectAddr);
W25Q_STATE W25Q_Sleep(void);
W25Q_STATE W25Q_ReadID(u8_t *buf);
W25Q_STATE W25Q_WriteEnable(bool enable);
W25Q_STATE W25Q_Enter4ByteMode(bool enable);

// Shared with w25q_mem2: waits until the chip is idle, at most `limit_ms`.
// W25Q_OK when idle; a status read error or W25Q_CHIP_ERR ends the wait.
W25Q_STATE w25q_wait_idle(uint32_t limit_ms);
// Shared with w25q_mem2: busy wait, write enable, then the erase command; returns
// without waiting for the erase.
W25Q_STATE w25q_start_erase(u8_t opcode, u32_t address);
