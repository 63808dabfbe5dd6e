// Non-blocking erases of the external NOR flash. The log writers run in the 10 ms
// tick, where an erase of up to two seconds cannot be waited for: they start it
// here and poll W25Q_IsBusy on later ticks.
#include "w25q_mem2.h"

namespace {

constexpr u8_t kSectorErase = 0x21;     // 4 KB, 4-byte address
constexpr u8_t kHalfBlockErase = 0x52;  // 32 KB, address of the current mode (4 bytes)
constexpr u8_t kBlockErase = 0xDC;      // 64 KB, 4-byte address

}  // namespace

W25Q_STATE W25Q_EraseSectorAsync(u32_t SectAddr) {
    if (SectAddr >= 8192)
        return W25Q_PARAM_ERR;
    return w25q_start_erase(kSectorErase, SectAddr * 4096u);
}

W25Q_STATE W25Q_EraseBlockAsync(u32_t BlockAddr, u8_t size) {
    if (size == 64)
        return BlockAddr >= 512 ? W25Q_PARAM_ERR
                                : w25q_start_erase(kBlockErase, BlockAddr * 65536u);
    if (size == 32)
        return BlockAddr >= 1024 ? W25Q_PARAM_ERR
                                 : w25q_start_erase(kHalfBlockErase, BlockAddr * 32768u);
    return W25Q_PARAM_ERR;
}
