// The board's devices for one run, set up from the scenario (sim/devices.h).
#include "sim/devices.h"

namespace sim {

void install_devices(Board &b, const DeviceSetup &setup) {
    install_motion_sensor(b, setup.plan, setup.motion);
    install_battery(b, setup.plan.battery);
    install_radio(b, setup.plan.radio);
    install_tick_accounting(b);
    install_firing_watch(b);
}

}  // namespace sim
