// exit() and its relatives called by a firmware image. The simulator executable of
// an image is linked with --wrap for them (add_sim_firmware), so the image's calls
// land here: on the chip the C library's exit ends in a loop that spins for ever,
// so the board halts, with the trace and the summary written, instead of the
// process ending with the firmware's number as its status (which would read as one
// of the simulator's own statuses). Outside a run they do what they always do.
#include <cstdlib>
#include <string>

#include "sim/board.h"

extern "C" {

[[noreturn]] void __real_exit(int status);
[[noreturn]] void __real__exit(int status);
[[noreturn]] void __real__Exit(int status);
[[noreturn]] void __real_quick_exit(int status);

namespace {
void halt_if_running(const char *what, int status) {
    if (sim::board_exists() && !sim::board().ended())
        sim::board().halt(std::string("the firmware called ") + what + "(" +
                          std::to_string(status) + ") (the chip would spin in the C library)");
}
}  // namespace

[[noreturn]] void __wrap_exit(int status) {
    halt_if_running("exit", status);
    __real_exit(status);
}
[[noreturn]] void __wrap__exit(int status) {
    halt_if_running("_exit", status);
    __real__exit(status);
}
[[noreturn]] void __wrap__Exit(int status) {
    halt_if_running("_Exit", status);
    __real__Exit(status);
}
[[noreturn]] void __wrap_quick_exit(int status) {
    halt_if_running("quick_exit", status);
    __real_quick_exit(status);
}

}  // extern "C"
