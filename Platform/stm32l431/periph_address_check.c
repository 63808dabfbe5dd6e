/* Links every peripheral object of the instance list with the generated linker
 * fragment; the test then reads the symbol table of this program and compares
 * each object's address with the list. */
#include "stm32l4xx_hal.h"

void periph_address_check_entry(void);

#define PERIPH(type, name, address) (const volatile void*)&name##_regs,
const volatile void* const periph_objects[] = {
#include "stm32l431xx_instances.def"
};
#undef PERIPH

void periph_address_check_entry(void) {
  for (;;) {
    (void)periph_objects[0];
  }
}
