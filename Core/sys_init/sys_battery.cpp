// Battery measurement: so far the value and the percentage the storage modules use.
#include "sys_battery.h"

volatile uint32_t g_battAdcVal = 0;

uint32_t sys_battery_get_percent(void) {
    return g_battAdcVal * 100u / 2300u;
}
