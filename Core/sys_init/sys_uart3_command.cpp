// The console command interpreter. Commands are not served yet: a line is taken
// and ignored, and the device keeps running.
#include "sys_uart3_command.h"

int sys_uart3_command(uint8_t *line) {
    (void)line;
    return 0;
}
