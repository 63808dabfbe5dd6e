#pragma once
// Minimal semihosting for the QEMU test programs: text output and an exit that QEMU turns
// into its own exit status.
#include <cstdint>

namespace target {

void print(const char *text);
void printLine(const char *text);
// Ends the program: status 0 = success (QEMU exits 0), anything else = failure (QEMU exits 1).
[[noreturn]] void exitWith(int status);
// Reports a failure with its reason and ends the program with a failure status.
[[noreturn]] void fail(const char *reason);

}  // namespace target
