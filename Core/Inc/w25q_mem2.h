#pragma once
// Non-blocking erases of the external NOR flash: the command is issued and the call
// returns; the caller polls W25Q_IsBusy before its next access.
#include "w25q_mem.h"

W25Q_STATE W25Q_EraseSectorAsync(u32_t SectAddr);
W25Q_STATE W25Q_EraseBlockAsync(u32_t BlockAddr, u8_t size);
