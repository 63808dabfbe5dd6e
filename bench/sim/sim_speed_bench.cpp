// Speed of the simulated board: the demo firmware (10 ms tick toggling a pin, one
// 16-byte line a second) run for a stretch of virtual time, once without and once
// with a trace file. Prints virtual seconds per wall second. Each run is a fresh
// child process, since a firmware image's statics belong to one power cycle.
//
//   sim_speed_bench [virtual seconds, default 600] [trace file, default /tmp/sim_speed_trace.jsonl]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/run.h"

int firmware_main();

namespace {

void run_image() {
    (void)firmware_main();
}

double measure(double virtual_s, const std::string &trace, sim::RunResult &result) {
    sim::RunConfig cfg;
    cfg.length_ns = static_cast<sim::Time>(virtual_s * 1e9);
    cfg.trace_path = trace;
    cfg.console.mode = sim::ConsoleMode::Discard;
    const auto t0 = std::chrono::steady_clock::now();
    result = sim::run_firmware(cfg, &run_image);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

}  // namespace

int main(int argc, char **argv) {
    const double virtual_s = argc > 1 ? std::atof(argv[1]) : 600.0;
    const std::string trace = argc > 2 ? argv[2] : "/tmp/sim_speed_trace.jsonl";
    if (!(virtual_s > 0.0)) {
        std::fprintf(stderr, "usage: %s [virtual seconds] [trace file]\n", argv[0]);
        return 2;
    }
    int failures = 0;
    for (const bool traced : {false, true}) {
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            sim::RunResult r;
            const double wall = measure(virtual_s, traced ? trace : std::string(), r);
            if (r.ending != sim::Ending::Completed || r.setup_failed) {
                std::fprintf(stderr, "run did not complete: %s\n", r.reason.c_str());
                std::_Exit(1);
            }
            std::printf("%-14s %8.1f virtual s in %7.3f wall s: %8.0f x real time\n",
                        traced ? "trace to file:" : "no trace:", virtual_s, wall, virtual_s / wall);
            std::fflush(stdout);
            std::_Exit(0);
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
