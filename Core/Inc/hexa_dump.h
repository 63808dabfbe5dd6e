#pragma once
// Hex dump formatter of the console.
#include <cstdint>

// Lines of "OOOO :  XX XX XX XX XX XX XX XX - XX XX XX XX XX XX XX XX\r\n": the offset
// base_addr + i in four hex digits, sixteen bytes with " -" after the eighth. With
// `len` not a multiple of 16 the last line has no line end.
int hexa_dump2(uint32_t base_addr, uint8_t *data, int len);
