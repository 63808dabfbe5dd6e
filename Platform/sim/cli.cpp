#include "sim/cli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board_dir.h"
#include "scenario.h"
#include "sim/run.h"

namespace sim {

std::string cli_usage(const std::string &program) {
    return "usage: " + program +
           " --board DIR --scenario FILE [options]\n"
           "\n"
           "Runs the firmware on the simulated board for the scenario's run length.\n"
           "\n"
           "  --board DIR         board directory (persistent state; created on first use)\n"
           "  --scenario FILE     timed inputs and run length\n"
           "  --console MODE      stdout (default), pty (prints the terminal's path), none\n"
           "  --phone-out FILE    write the phone-link output (USART1 transmit) to FILE\n"
           "  --trace FILE        write the JSON-lines trace to FILE\n"
           "  --trace-systick     include SysTick entries and exits in the trace\n"
           "  --pace FACTOR       keep virtual time at most FACTOR x wall-clock time\n"
           "  --off-time TIME     the board stayed without power this long before this run\n"
           "                      (the RTC's calendar advances by it), e.g. 90s, 3600s\n"
           "  --help              this text\n"
           "\n"
           "Exit status: 0 run completed, 1 firmware halted, 2 bad input, 3 internal error,\n"
           "4 stopped by SIGINT/SIGTERM (summary and trace still written), 5 the scenario cut\n"
           "the power.\n";
}

bool parse_cli(const std::vector<std::string> &args, CliOptions &out, std::string &error) {
    CliOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &dst) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            dst = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--board") {
            if (!value(o.board_dir))
                return false;
        } else if (a == "--scenario") {
            if (!value(o.scenario))
                return false;
        } else if (a == "--phone-out") {
            if (!value(o.phone_out))
                return false;
        } else if (a == "--trace") {
            if (!value(o.trace))
                return false;
        } else if (a == "--trace-systick") {
            o.trace_systick = true;
        } else if (a == "--console") {
            std::string m;
            if (!value(m))
                return false;
            if (m == "stdout") {
                o.console = ConsoleMode::Stdout;
            } else if (m == "pty") {
                o.console = ConsoleMode::Pty;
            } else if (m == "none") {
                o.console = ConsoleMode::Discard;
            } else {
                error = "--console takes stdout, pty or none, not '" + m + "'";
                return false;
            }
        } else if (a == "--pace") {
            std::string v;
            if (!value(v))
                return false;
            char *end = nullptr;
            const double f = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(f) || f <= 0.0) {
                error = "--pace takes a positive number, not '" + v + "'";
                return false;
            }
            o.pace = f;
        } else if (a == "--off-time") {
            std::string v;
            if (!value(v))
                return false;
            std::string msg;
            if (!parse_scenario_time(v, o.off_time_ns, msg)) {
                error = "--off-time: " + msg;
                return false;
            }
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (!o.help) {
        if (o.board_dir.empty()) {
            error = "--board DIR is required";
            return false;
        }
        if (o.scenario.empty()) {
            error = "--scenario FILE is required";
            return false;
        }
    }
    out = o;
    return true;
}

int sim_main(int argc, char **argv, void (*firmware)()) {
    const std::string program = argc > 0 ? argv[0] : "sim";
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    CliOptions opt;
    std::string error;
    if (!parse_cli(args, opt, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                     cli_usage(program).c_str());
        return kExitBadInput;
    }
    if (opt.help) {
        std::fputs(cli_usage(program).c_str(), stdout);
        return kExitCompleted;
    }
    // The scenario is checked before the board directory is touched, so that a bad
    // scenario leaves the board as it was.
    Scenario scenario;
    if (!load_scenario(opt.scenario, scenario, error)) {
        std::fprintf(stderr, "%s: bad scenario: %s\n", program.c_str(), error.c_str());
        return kExitBadInput;
    }
    // So are the output files: a path that cannot be written is refused before the
    // board directory is created or locked.
    for (const std::string *out : {&opt.trace, &opt.phone_out}) {
        if (out->empty())
            continue;
        std::FILE *f = std::fopen(out->c_str(), "wb");
        if (!f) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", program.c_str(), out->c_str(),
                         std::strerror(errno));
            return kExitBadInput;
        }
        std::fclose(f);
    }
    BoardDir dir;
    if (!dir.open(opt.board_dir, error)) {
        std::fprintf(stderr, "%s: bad board directory: %s\n", program.c_str(), error.c_str());
        return kExitBadInput;
    }
    RunConfig cfg;
    cfg.length_ns = scenario.length_ns;
    cfg.events = scenario.events;
    cfg.trace_path = opt.trace;
    cfg.trace_systick = opt.trace_systick;
    cfg.console.mode = opt.console;
    cfg.console.phone_path = opt.phone_out;
    cfg.console.pace = opt.pace;
    cfg.board_dir = &dir;
    cfg.storage = scenario.storage;
    cfg.unpowered_ns = opt.off_time_ns;
    const RunResult r = run_firmware(cfg, firmware);
    if (r.setup_failed) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), r.reason.c_str());
        return kExitBadInput;
    }
    std::fflush(stdout);
    std::fputs(r.summary.text().c_str(), stderr);
    if (!r.state_error.empty())
        std::fprintf(stderr, "%s: the board's state was not saved: %s\n", program.c_str(),
                     r.state_error.c_str());
    return exit_status(r);
}

}  // namespace sim
