// Entry point of a simulator executable: the firmware image's own main was renamed
// to firmware_main at build time (add_sim_firmware) and runs on the simulated board.
#include <cstdio>
#include <exception>

#include "sim/cli.h"
#include "sim/run.h"

int firmware_main();

namespace {
void run_image() {
    (void)firmware_main();
}
}  // namespace

int main(int argc, char **argv) {
    try {
        return sim::sim_main(argc, argv, &run_image, SIM_IMAGE_NAME);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "simulator internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "simulator internal error\n");
    }
    return sim::kExitInternalError;
}
