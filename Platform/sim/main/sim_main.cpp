// Entry point of a simulator executable: the firmware image's own main was renamed
// to firmware_main at build time (add_sim_firmware) and runs on the simulated board.
#include "sim/cli.h"

int firmware_main();

namespace {
void run_image() { (void)firmware_main(); }
}  // namespace

int main(int argc, char** argv) { return sim::sim_main(argc, argv, &run_image); }
