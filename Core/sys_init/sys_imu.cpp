// Motion sensor acquisition: so far the error counter the status-event log records.
#include "sys_imu.h"

volatile uint16_t __sys_imu_read_data_error = 0;
