// Command line of a simulator executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/console.h"

namespace sim {

struct CliOptions {
    std::string board_dir;
    std::string scenario;
    ConsoleMode console = ConsoleMode::Stdout;
    std::string phone_out;
    std::string trace;
    bool trace_systick = false;
    double pace = 0.0;
    std::uint64_t off_time_ns = 0;  // --off-time: the board stayed without power this long
    bool pty_wait = false;
    bool reflash = false;  // the board may have been written by another image
    bool help = false;
};

// Pacing factors the simulator can honour: slower than a millionth of real time
// would wait days for a millisecond, faster than 1e9 is no pacing at all.
constexpr double kMinPace = 1e-6;
constexpr double kMaxPace = 1e9;

// Checks the output files against each other and against the inputs, before
// anything is created or truncated: each must be writable (an existing file or
// device, or a new file in an existing directory), none may be the scenario, lie
// in the board directory, or be the same file as another output.
bool check_output_paths(const CliOptions &opt, std::string &error);

// False with a message for anything unknown, missing or malformed.
bool parse_cli(const std::vector<std::string> &args, CliOptions &out, std::string &error);
std::string cli_usage(const std::string &program);

// The whole executable: parse, load the scenario, open the board directory, run,
// print the summary; returns the exit status. `image` names the firmware image, so
// that a board written by another one is refused (BoardDir::image).
int sim_main(int argc, char **argv, void (*firmware)(), const char *image);

}  // namespace sim
