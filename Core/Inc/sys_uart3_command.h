#pragma once
// The console command interpreter: runs one received line (NUL-terminated) in the
// console receive interrupt.
#include <cstdint>

int sys_uart3_command(uint8_t *line);
