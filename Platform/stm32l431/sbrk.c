/* Heap of the firmware images (newlib's malloc and operator new end here): from the end
 * of .bss up to the bottom of the stack reservation (stm32l431.ld). A request that would
 * reach the stack fails with ENOMEM instead of growing into it. */
#include <errno.h>
#include <stddef.h>
#include <stdint.h>

extern uint8_t end[];           /* first byte after .bss */
extern uint8_t __stack_limit[]; /* bottom of the main stack's reservation */

void *_sbrk(ptrdiff_t increment);

void *_sbrk(ptrdiff_t increment) {
    static uint8_t *heap_end = end;
    uint8_t *const previous = heap_end;
    const size_t used = (size_t)(heap_end - end);
    const size_t left = (size_t)(__stack_limit - heap_end);
    if ((increment < 0 && (size_t)(-increment) > used) ||
        (increment > 0 && (size_t)increment > left)) {
        errno = ENOMEM;
        return (void *)-1;
    }
    heap_end += increment;
    return previous;
}
