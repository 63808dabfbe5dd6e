#include "sim/cli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "board_dir.h"
#include "scenario.h"
#include "sim/devices.h"
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
           "                      (0.000001 to 1000000000)\n"
           "  --off-time TIME     the board stayed without power this long before this run\n"
           "                      (the RTC's calendar advances by it), e.g. 90s, 3600s\n"
           "  --pty-wait          with --console pty: hold the board in reset until a\n"
           "                      program opens the terminal\n"
           "  --reflash           run on a board directory that another firmware image\n"
           "                      wrote last (its flash keeps what that image stored)\n"
           "  --help              this text\n"
           "\n"
           "Every option at most once. Exit status: 0 run completed, 1 firmware halted,\n"
           "2 bad input, 3 internal error, 4 stopped by SIGINT/SIGTERM (summary and trace\n"
           "still written), 5 the scenario cut the power, 6 an output could not be written\n"
           "in full.\n";
}

bool parse_cli(const std::vector<std::string> &args, CliOptions &out, std::string &error) {
    CliOptions o;
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        // Every option once: a repeated one would silently win over the first.
        if (a.rfind("--", 0) == 0) {
            for (const std::string &s : seen) {
                if (s == a) {
                    error = "option " + a + " given twice";
                    return false;
                }
            }
            seen.push_back(a);
        }
        auto value = [&](std::string &dst) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            const std::string &v = args[++i];
            if (v.empty()) {
                error = "option " + a + " needs a value, not an empty one";
                return false;
            }
            if (v.rfind("--", 0) == 0) {
                error = "option " + a + " needs a value, not the option " + v;
                return false;
            }
            dst = v;
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
        } else if (a == "--pty-wait") {
            o.pty_wait = true;
        } else if (a == "--reflash") {
            o.reflash = true;
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
            if (*end != '\0' || !std::isfinite(f) || f < kMinPace || f > kMaxPace) {
                error = "--pace takes a number from 0.000001 to 1000000000, not '" + v + "'";
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
        if (o.pty_wait && o.console != ConsoleMode::Pty) {
            error = "--pty-wait needs --console pty";
            return false;
        }
    }
    out = o;
    return true;
}

bool check_output_paths(const CliOptions &opt, std::string &error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    auto canonical = [&ec](const std::string &p) { return fs::weakly_canonical(fs::absolute(p), ec); };
    const fs::path board = canonical(opt.board_dir);
    const fs::path scenario = canonical(opt.scenario);
    struct Output {
        const char *option;
        const std::string *path;
        fs::path canon;
    };
    std::vector<Output> outs;
    for (Output o : {Output{"--trace", &opt.trace, {}}, Output{"--phone-out", &opt.phone_out, {}}}) {
        if (o.path->empty())
            continue;
        const std::string &p = *o.path;
        o.canon = canonical(p);
        const std::string what = std::string(o.option) + " " + p;
        if (o.canon == scenario) {
            error = what + ": is the scenario file";
            return false;
        }
        const std::string b = board.string(), c = o.canon.string();
        if (c == b || c.rfind(b + "/", 0) == 0) {
            error = what + ": lies in the board directory " + opt.board_dir;
            return false;
        }
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                error = what + ": is a directory";
                return false;
            }
            if (::access(p.c_str(), W_OK) != 0) {
                error = what + ": cannot write: " + std::strerror(errno);
                return false;
            }
        } else {
            fs::path dir = fs::path(p).parent_path();
            if (dir.empty())
                dir = ".";
            if (!fs::is_directory(dir, ec) || ::access(dir.c_str(), W_OK) != 0) {
                error = what + ": cannot create a file in " + dir.string() +
                        (fs::is_directory(dir, ec) ? ": " + std::string(std::strerror(errno))
                                                   : ": no such directory");
                return false;
            }
        }
        for (const Output &other : outs) {
            if (other.canon == o.canon) {
                error = what + ": is the same file as " + other.option + " " + *other.path;
                return false;
            }
        }
        outs.push_back(o);
    }
    return true;
}

int sim_main(int argc, char **argv, void (*firmware)(), const char *image) {
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
    // The motion recording too, with its own file and line in messages.
    DeviceSetup devices;
    devices.plan = scenario.devices;
    if (!devices.plan.motion.path.empty() &&
        !load_motion_recording(devices.plan.motion.path, devices.motion, error)) {
        std::fprintf(stderr, "%s: bad scenario: %s:%u: motion: %s\n", program.c_str(),
                     opt.scenario.c_str(), devices.plan.motion.line, error.c_str());
        return kExitBadInput;
    }
    // So are the output files: each is checked, against the inputs and against the
    // other, before anything is created or truncated.
    if (!check_output_paths(opt, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kExitBadInput;
    }
    BoardDir dir;
    if (!dir.open(opt.board_dir, error)) {
        std::fprintf(stderr, "%s: bad board directory: %s\n", program.c_str(), error.c_str());
        return kExitBadInput;
    }
    // The two firmware images keep different things at the same flash addresses: a
    // board written by one would read as damaged logs to the other.
    if (!dir.image().empty() && dir.image() != image && !opt.reflash) {
        std::fprintf(stderr,
                     "%s: bad board directory: %s was last run with the image '%s', whose flash "
                     "contents mean something else to '%s'; give --reflash to run it anyway "
                     "(the board keeps what '%s' stored)\n",
                     program.c_str(), opt.board_dir.c_str(), dir.image().c_str(), image,
                     dir.image().c_str());
        return kExitBadInput;
    }
    if (dir.image() != image && !dir.set_image(image, error)) {
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
    cfg.console.wait_for_client = opt.pty_wait;
    cfg.board_dir = &dir;
    cfg.storage = scenario.storage;
    cfg.devices = std::move(devices);
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
    if (!r.output_error.empty())
        std::fprintf(stderr, "%s: %s\n", program.c_str(), r.output_error.c_str());
    return exit_status(r);
}

}  // namespace sim
