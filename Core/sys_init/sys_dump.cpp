// Console "dump": hex dump of whole external flash sectors.
#include "sys_dump.h"

#include <cstdint>

#include "exflash_format.h"
#include "hexa_dump.h"
#include "sys_uart.h"
#include "w25q_mem.h"

namespace {

// A decimal number as atoi reads it (sign, digits, stop at the first other
// character), saturated at the int32 range, so that a long digit string cannot wrap
// onto a small sector number.
int32_t parse_sector(const char *s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > INT32_MAX)
            return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -v : v);
}

}  // namespace

int sys_dump_sector(int argc, char **argv) {
    uint8_t buffer[EXFLASH_PAGE_SIZE];
    for (int a = 1; a < argc; ++a) {
        const int32_t n = parse_sector(argv[a]);
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
