#pragma once
// Motion sensor acquisition: the error counter the status-event log records.
#include <cstdint>

// Failed sample reads since start-up (wraps at 65536).
extern volatile uint16_t __sys_imu_read_data_error;
