#include "sim/peripherals.h"

#include "sim/board.h"
#include "sim/dma.h"
#include "sim/gpio.h"
#include "sim/rcc.h"
#include "sim/systick.h"
#include "sim/tim.h"
#include "sim/uart.h"

namespace sim {

void reset_registers();
void reset_hal_globals();

void install_core_models(Board &b) {
    reset_registers();
    reset_hal_globals();
    rcc_reset_registers();
    install_rcc(b);
    install_core_registers(b);
    install_systick(b);
    install_gpio(b);
    install_dma(b);
    install_timers(b);
    install_uarts(b);
}

}  // namespace sim
