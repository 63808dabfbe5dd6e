#pragma once
// The fatal path of the board's initialisation code.

// Prints "System failure in <module>-<step>." on the console, disables interrupts
// and halts.
[[noreturn]] void sys_error_handler(const char *module, int step);
