// Hex dump formatter of the console. Each line is sent in one piece; the bytes on
// the port are those of printing field by field.
#include "hexa_dump.h"

#include <cstdio>

#include "sys_uart.h"

int hexa_dump2(uint32_t base_addr, uint8_t *data, int len) {
    char line[96];
    int n = 0;
    for (int i = 0; i < len; ++i) {
        if (i % 16 == 0)
            n = std::snprintf(line, sizeof line, "%04X : ",
                              static_cast<unsigned>(base_addr + static_cast<uint32_t>(i)));
        n += std::snprintf(line + n, sizeof line - n, " %02X", data[i]);
        if (i % 16 == 7)
            n += std::snprintf(line + n, sizeof line - n, " -");
        else if (i % 16 == 15)
            n += std::snprintf(line + n, sizeof line - n, "\r\n");
        if (i % 16 == 15 || i == len - 1)
            UART5_Printf("%s", line);
    }
    return 0;
}
