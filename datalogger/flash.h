#pragma once
// The trigger snapshot in the last 4 KB of the internal flash: the 150 samples
// before a firing (3 s), the battery reading and the trigger type, saved at the
// firing and again 1.2 s later, printed at every start-up, erased on request. Its
// layout: logger_flash_format.h.
#include <cstdint>

#include "logger_flash_format.h"
#include "stm32l4xx_hal.h"

// A FIFO of the last 150 entries, appended and trimmed in the tick: a fixed ring.
struct FlashSaveList {
    uint32_t entries[SNAPSHOT_SAMPLES];
    uint32_t head;   // oldest entry
    uint32_t count;  // 0..150
};
extern FlashSaveList flashSaveList_A1, flashSaveList_A2, flashSaveList_G1, flashSaveList_G2;

// Sensor tick: the sample joins the four lists (the oldest entry goes beyond 150).
void Flash_Append_SensorData(const SensorData_TypeDef *d);

// Saves the snapshot: HAL_OK, or the failing step's status (reported on the console;
// the caller goes on).
HAL_StatusTypeDef Flash_Save_SensorData(int type);
// Prints the stored snapshot; one that is not whole prints as an erased area does.
void Flash_Load_SensorData(void);
// Erases the snapshot area.
HAL_StatusTypeDef Flash_Reset_Userdata(void);
// The snapshot erase mode, entered from a check tick; never returns.
[[noreturn]] void Flash_EraseMode(void);
