// Vector table and reset code of the Cortex-M4F test programs under QEMU (mps2-an386).
// Reset enables the FPU before any code that may use it, then hands over to the C library's
// semihosting start-up (_start: clears .bss, runs constructors, calls main, exits).
#include <stdint.h>

extern uint32_t _estack;
extern void _start(void);
void Reset_Handler(void);
void Fault_Handler(void);  // in Semihost.cpp

__attribute__((naked, noreturn)) void Reset_Handler(void) {
    __asm volatile(
        "ldr r0, =0xE000ED88\n"   // CPACR: full access to CP10 and CP11 (the FPU)
        "ldr r1, [r0]\n"
        "orr r1, r1, #(0xF << 20)\n"
        "str r1, [r0]\n"
        "dsb\n"
        "isb\n"
        "ldr r0, =_estack\n"
        "mov sp, r0\n"
        "b _start\n");
}

__attribute__((section(".isr_vector"), used)) const void *const g_vectors[16] = {
    &_estack,       (void *)Reset_Handler, (void *)Fault_Handler, (void *)Fault_Handler,
    (void *)Fault_Handler, (void *)Fault_Handler, (void *)Fault_Handler, 0,
    0,              0,                     0,                     (void *)Fault_Handler,
    (void *)Fault_Handler, 0,              (void *)Fault_Handler, (void *)Fault_Handler,
};
