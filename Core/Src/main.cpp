// The device image's main module: so far the application clock, the sample ring and
// the date-and-time re-phasing that the storage modules use.
#include "main.h"

volatile uint32_t timer7_10ms_counter = 0;
volatile uint32_t __dnt_write_time_check = 3037;
SENSORDATASTORE __sensordata_store;

void set_sys_dnt_write(void) {
    const uint32_t now = timer7_10ms_counter;
    const uint32_t r = now % 100;
    __dnt_write_time_check = now - r + (r < 37 ? 37 : 137);
}
