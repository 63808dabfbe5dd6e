#pragma once
// The console command interpreter.
//
// The console's receive interrupt assembles lines and hands each one here
// (sys_uart3_command_submit). A line whose first word is a command of the table
// puts the device into service mode (the tick stops for good, nothing is sensed or
// fired until reset) and waits for the main loop, which runs it
// (sys_uart3_command_run_waiting): a listing then never holds an interrupt, and
// never cuts into what the thread does with the console port, the external flash
// or the internal flash. Any other line (an unknown word, noise) changes nothing.
#include <cstdint>

// Lines of a command word wait here, at most this many; more are dropped.
constexpr uint32_t SYS_UART3_COMMAND_WAITING = 4;
constexpr uint32_t SYS_UART3_COMMAND_LINE = 256;  // 255 characters and the NUL
constexpr int SYS_UART3_COMMAND_TOKENS = 10;

// Console receive interrupt: one complete line (NUL-terminated, printable). True
// when it is a command of the table (service mode entered, the line waiting).
bool sys_uart3_command_submit(const uint8_t *line);
// Main loop: runs the lines that wait, oldest first.
void sys_uart3_command_run_waiting(void);

// Interprets one line: nothing for an empty line, more than 10 tokens or a word not
// in the table; otherwise the dashed banner, the command, the hashed banner.
void sys_uart3_command(char *szCommand);
// Splits `szCommand` in place at any character of `szDelimiter` (runs count as one,
// leading ones are skipped) into `argv`: the number of tokens, or -1 for none or
// more than `argv_num`. Unlike strtok it keeps no state, so the receive interrupt
// and the thread may both use it.
int parse_command(char *szCommand, const char *szDelimiter, char **argv, int argv_num);
// A decimal number as atoi reads it (blanks, sign, digits up to the first other
// character; 0 for none), saturated at the int32 range so that a long digit string
// cannot wrap onto a small value.
int32_t sys_uart3_command_atoi(const char *s);

int sys_uart3_command_dnt(int argc, char **argv);
int sys_uart3_command_sdata(int argc, char **argv);
int sys_uart3_command_set(int argc, char **argv);
int sys_uart3_command_show(int argc, char **argv);
int sys_uart3_command_ster(int argc, char **argv);
