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
    bool help = false;
};

// False with a message for anything unknown, missing or malformed.
bool parse_cli(const std::vector<std::string> &args, CliOptions &out, std::string &error);
std::string cli_usage(const std::string &program);

// The whole executable: parse, load the scenario, open the board directory, run,
// print the summary; returns the exit status.
int sim_main(int argc, char **argv, void (*firmware)());

}  // namespace sim
