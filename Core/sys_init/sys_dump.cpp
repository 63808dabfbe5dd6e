// Console "dump": hex dump of whole external flash sectors.
#include "sys_dump.h"

#include <cstdint>

#include "exflash_format.h"
#include "hexa_dump.h"
#include "sys_uart.h"
#include "sys_uart3_command.h"
#include "w25q_mem.h"

int sys_dump_sector(int argc, char **argv) {
    uint8_t buffer[EXFLASH_PAGE_SIZE];
    for (int a = 1; a < argc; ++a) {
        const int32_t n = sys_uart3_command_atoi(argv[a]);
        if (n < 0)
            break;
        UART5_Printf("\r\nSector %ld\r\n\n", static_cast<long>(n));
        if (static_cast<uint32_t>(n) >= EXFLASH_SECTOR_COUNT)
            continue;
        for (uint32_t j = 0; j < EXFLASH_PAGES_PER_SECTOR; ++j) {
            if (W25Q_ReadData(buffer, EXFLASH_PAGE_SIZE, 0,
                              static_cast<uint32_t>(n) * EXFLASH_PAGES_PER_SECTOR + j) != W25Q_OK)
                break;
            hexa_dump2(j * EXFLASH_PAGE_SIZE, buffer, EXFLASH_PAGE_SIZE);
        }
    }
    return 0;
}
