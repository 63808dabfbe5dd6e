#pragma once
// QUADSPI to the external NOR flash: 48 MHz / 256 = 187.5 kHz, 2^26 bytes
// addressable, clock mode 0.

// 0, or -1 after the error handler's report ("spi", 1).
int sys_spi_init(void);
