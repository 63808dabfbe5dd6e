#include "Semihost.h"

namespace target {

namespace {
uint32_t call(uint32_t op, const void *arg) {
    register uint32_t r0 __asm__("r0") = op;
    register const void *r1 __asm__("r1") = arg;
    __asm volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
    return r0;
}
constexpr uint32_t kSysWrite0 = 0x04;
constexpr uint32_t kSysExit = 0x18;
constexpr uint32_t kApplicationExit = 0x20026;
constexpr uint32_t kRunTimeError = 0x20024;
}  // namespace

void print(const char *text) { call(kSysWrite0, text); }

void printLine(const char *text) {
    print(text);
    print("\n");
}

void exitWith(int status) {
    // The 32-bit form of SYS_EXIT carries only a reason: application exit means success,
    // any other reason makes QEMU exit with status 1.
    call(kSysExit, reinterpret_cast<const void *>(status == 0 ? kApplicationExit : kRunTimeError));
    for (;;) {
    }
}

void fail(const char *reason) {
    print("FAIL: ");
    printLine(reason);
    exitWith(1);
}

}  // namespace target

// Any fault ends the run with a failure instead of hanging until the test's timeout.
extern "C" void Fault_Handler() { target::exitWith(1); }
