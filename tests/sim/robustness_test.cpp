// The simulator executables run as programs: the demo's determinism, the script that
// builds and runs an image, and what happens when things go wrong around the
// firmware: exit and abort in the image, outputs that cannot be written, signals
// while the firmware spins or pacing sleeps, clashing output paths, the command
// line, and a console pseudo-terminal whose reader is late or absent.
#include "fixture_fw.h"
#include "sim/cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "program_runs.h"

using Clock = std::chrono::steady_clock;

namespace {

using namespace programs;

// A scenario of `length` holding PC0/PC1 at the edge firmware's mode.
std::string scenario(const fs::path &dir, const std::string &length, unsigned mode) {
    return write(dir / "s.scn", "version 1\nlength " + length + "\nat 0 pin PC0 " +
                                    std::to_string(mode & 1u) + "\nat 0 pin PC1 " +
                                    std::to_string(mode >> 1) + "\n");
}

// Starts `argv` with stderr to `err`; returns the child.
pid_t spawn(const std::vector<std::string> &argv, const fs::path &err, int stderr_pipe = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = stderr_pipe >= 0 ? stderr_pipe
                                        : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char *> args;
        for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int wait_status(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Robustness, ExitAndAbortInTheFirmwareHaltWithTraceAndSummary) {
    const struct {
        unsigned mode;
        const char *reason;
        const char *console;
    } rows[] = {
        {1, "halted (the firmware called exit(3)", "before exit\r\n"},
        {2, "halted (fault: abort() was called", "before abort\r\n"},
    };
    for (const auto &row : rows) {
        const fs::path d = scratch("robust-exit" + std::to_string(row.mode));
        const Exec e =
            run(std::string(EDGE_FW_EXE) + " --board " + (d / "b").string() + " --scenario " +
                    scenario(d, "1s", row.mode) + " --trace " + (d / "t").string(),
                d);
        EXPECT_EQ(e.status, 1) << e.err;
        EXPECT_NE(e.err.find(std::string("ended:        ") + row.reason), std::string::npos)
            << e.err;
        EXPECT_EQ(e.out, row.console);
        const std::string t = slurp(d / "t");
        EXPECT_NE(t.find("\"type\":\"halt\""), std::string::npos);
        EXPECT_NE(t.find("\"type\":\"summary\""), std::string::npos);
    }
}

TEST(Robustness, TraceThatCannotBeWrittenEndsWithStatusSix) {
    const fs::path d = scratch("robust-full");
    const Exec e = run(std::string(DEMO_FW_EXE) + " --board " + (d / "b").string() +
                           " --scenario " + SCENARIO_DIR + "/demo.scn --trace /dev/full",
                       d);
    EXPECT_EQ(e.status, 6) << e.err;
    EXPECT_NE(e.err.find("cannot write trace file /dev/full: No space left on device"),
              std::string::npos)
        << e.err;
    EXPECT_NE(e.err.find("ended:        completed"), std::string::npos);
}

// A stop request is honoured within a fraction of a second while the firmware
// spins without letting time pass and while pacing sleeps.
TEST(Robustness, SignalsStopSpinningAndPacedRunsPromptly) {
    const struct {
        const char *exe;
        unsigned mode;
        const char *pace;
    } rows[] = {{EDGE_FW_EXE, 3, nullptr}, {DEMO_FW_EXE, 0, "0.001"}};
    for (const auto &row : rows) {
        const fs::path d = scratch(std::string("robust-signal") + (row.pace ? "-paced" : "-spin"));
        std::vector<std::string> argv = {row.exe,
                                         "--board",
                                         (d / "b").string(),
                                         "--scenario",
                                         scenario(d, "600s", row.mode),
                                         "--trace",
                                         (d / "t").string()};
        if (row.pace) {
            argv.push_back("--pace");
            argv.push_back(row.pace);
        }
        const pid_t pid = spawn(argv, d / "err");
        usleep(500000);
        const auto t0 = Clock::now();
        kill(pid, SIGINT);
        const int status = wait_status(pid);
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        EXPECT_EQ(status, 4) << slurp(d / "err");
        EXPECT_LT(took, 1.0);
        EXPECT_NE(slurp(d / "err").find("ended:        interrupted"), std::string::npos);
        EXPECT_NE(slurp(d / "t").find("\"type\":\"summary\""), std::string::npos);
    }
}

// A pacing sleep longer than the hang check's limit is waiting, not hanging.
TEST(Robustness, LongPacingSleepIsNotTakenForAHang) {
    sim::RunConfig cfg;
    cfg.length_ns = 1500000;  // 1.5 ms of virtual time at a thousandth of real time
    cfg.console.mode = sim::ConsoleMode::Discard;
    cfg.console.pace = 0.001;
    cfg.hang_seconds = 1;
    const sim::RunResult r = sim::run_firmware(cfg, [] {
        HAL_Init();
        for (;;) __WFI();
    });
    EXPECT_EQ(r.ending, sim::Ending::Completed) << r.reason;
}

TEST(Robustness, CommandLineRefusals) {
    const std::vector<std::string> base = {"--board", "b", "--scenario", "s.scn"};
    const struct {
        std::vector<std::string> extra;
        const char *fragment;
    } rows[] = {
        {{"--trace-systick", "--trace-systick"}, "--trace-systick given twice"},
        {{"--trace", ""}, "needs a value, not an empty one"},
        {{"--trace", "--pace"}, "needs a value, not the option --pace"},
        {{"--pace", "1e-20"}, "--pace takes a number from 0.000001"},
        {{"--pace", "2e9"}, "--pace takes a number from 0.000001"},
        {{"--pty-wait"}, "--pty-wait needs --console pty"},
        {{"--off-time", "1h"}, "--off-time: "},
    };
    for (const auto &row : rows) {
        std::vector<std::string> args = base;
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        sim::CliOptions opt;
        std::string error;
        EXPECT_FALSE(sim::parse_cli(args, opt, error)) << row.fragment;
        EXPECT_NE(error.find(row.fragment), std::string::npos) << error;
    }
}

// Bad command lines, bad board directories and clashing output paths are bad
// input (status 2), checked before anything is created or truncated.
TEST(Robustness, BadInputIsRefusedBeforeAnythingIsTouched) {
    const fs::path d = scratch("robust-paths");
    const std::string scn = scenario(d, "10ms", 0);
    const std::string scn_before = slurp(scn);
    write(d / "old-trace", "keep");
    fs::create_directories(d / "notaboard");
    write(d / "notaboard" / "x", "x");
    const std::string b = (d / "b").string();
    const struct {
        std::string args;
        const char *fragment;
    } rows[] = {
        {"--board " + b + " --trace " + (d / "o").string() + " --phone-out " + (d / "o").string(),
         "is the same file as --trace"},
        {"--board " + b + " --trace " + scn, "is the scenario file"},
        {"--board " + b + " --trace " + b + "/t.jsonl", "lies in the board directory"},
        {"--board " + b + " --phone-out " + (d / "nodir" / "p").string(), "no such directory"},
        {"--board " + b + " --trace " + d.string(), "is a directory"},
        // A refused board directory leaves an existing trace as it was.
        {"--board " + (d / "notaboard").string() + " --trace " + (d / "old-trace").string(),
         "bad board directory"},
        {"--board " + b + " --console tty", "--console"},
        {"--trace " + (d / "t").string(), "--board DIR is required"},
    };
    for (const auto &row : rows) {
        const Exec e = run(EDGE_FW_EXE + (" " + row.args) + " --scenario " + scn, d);
        EXPECT_EQ(e.status, 2) << row.args;
        EXPECT_NE(e.err.find(row.fragment), std::string::npos) << e.err;
        EXPECT_FALSE(fs::exists(b)) << row.args;
    }
    EXPECT_EQ(slurp(scn), scn_before);
    EXPECT_EQ(slurp(d / "old-trace"), "keep");
    EXPECT_EQ(slurp(d / "notaboard" / "x"), "x");
    const Exec h = run(EDGE_FW_EXE " --help", d);
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("--scenario FILE"), std::string::npos);
}

// What is left in `fd` until its other side closes.
std::string rest_of(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Output waits for a reader that connects late, is drained at the end, and what
// nobody reads is counted; with --pty-wait the board waits for the reader.
TEST(Robustness, PseudoTerminalKeepsOutputForItsReader) {
    const struct {
        bool wait_option;
        double connect_after_s;  // < 0: nobody connects
        std::size_t expect_read;
        const char *dropped;
    } rows[] = {
        {false, 0.5, 20000, "console pty: 0 bytes dropped"},
        {true, 1.0, 20000, "console pty: 0 bytes dropped"},
        {false, -1, 0, "console pty: 20000 bytes dropped"},
    };
    for (const auto &row : rows) {
        const fs::path d = scratch("robust-pty");
        int err_pipe[2];
        ASSERT_EQ(pipe(err_pipe), 0);
        std::vector<std::string> argv = {EDGE_FW_EXE, "--board", (d / "b").string(),
                                         "--scenario", scenario(d, "3s", 0), "--console", "pty"};
        if (row.wait_option)
            argv.push_back("--pty-wait");
        const pid_t pid = spawn(argv, {}, err_pipe[1]);
        close(err_pipe[1]);
        std::string first;  // "console on /dev/pts/N"
        for (char c; read(err_pipe[0], &c, 1) == 1 && c != '\n';) first += c;
        std::string seen;
        if (row.connect_after_s >= 0) {
            usleep(static_cast<useconds_t>(row.connect_after_s * 1e6));
            int status = 0;
            EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0);  // waiting for its reader
            const int fd = open(first.substr(first.find("/dev/")).c_str(), O_RDONLY | O_NOCTTY);
            seen = rest_of(fd);  // the board's terminal is raw from the start
            close(fd);
        }
        const int status = wait_status(pid);
        const std::string err = rest_of(err_pipe[0]);
        close(err_pipe[0]);
        EXPECT_EQ(status, 0) << err;
        EXPECT_EQ(seen.size(), row.expect_read);
        EXPECT_EQ(seen.rfind("000 ", 0), row.expect_read ? 0u : std::string::npos);
        EXPECT_NE(err.find(row.dropped), std::string::npos) << err;
    }
}

TEST(Executable, SameScenarioTwiceGivesByteIdenticalTraces) {
    const fs::path d = scratch("determinism");
    const std::string demo = std::string(DEMO_FW_EXE) + " --board " + (d / "board").string() +
                             " --scenario " + SCENARIO_DIR + "/demo.scn --trace ";
    const Exec a =
        run(demo + (d / "a.jsonl").string() + " --phone-out " + (d / "phone.txt").string(), d);
    const Exec b = run(demo + (d / "b.jsonl").string(), d);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string ta = slurp(d / "a.jsonl"), tb = slurp(d / "b.jsonl");
    EXPECT_GT(ta.size(), 10000u);
    EXPECT_EQ(ta, tb);
    EXPECT_EQ(a.out, b.out);
    // The uptime lines and the echo of what was typed.
    EXPECT_NE(a.out.find("uptime 00003 s\r\n"), std::string::npos);
    EXPECT_NE(a.out.find("rtc\r"), std::string::npos);
    EXPECT_NE(a.err.find("irq TIM7"), std::string::npos);
    EXPECT_TRUE(fs::exists(d / "phone.txt"));
    // The tick toggles the heartbeat pin every 10 ms: 4 s of 10 ms ticks, the one at
    // exactly 4 s not run; before them, the console pins' pull-ups and the status LED.
    EXPECT_EQ(fixture::records(ta, "pin").size(), 3u + 399u);
    EXPECT_EQ(fixture::entries(ta, "TIM7").size(), 399u);
}

// scripts/run.sh takes relative paths from the caller's directory, and --board and
// --scenario replace its defaults.
TEST(Executable, RunScriptTakesRelativePathsFromTheCallersDirectory) {
    const fs::path d = scratch("run-sh");
    fs::create_directories(d / "sub");
    write(d / "sub" / "short.scn", "version 1\nlength 5ms\n");
    const Exec e = run("cd " + d.string() + " && FIRMWARE=" + DEMO_FW_EXE + " " + RUN_SH +
                           " --scenario sub/short.scn --board sub/board --trace sub/t.jsonl",
                       d);
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.err.find("run length:   0.005000000 s"), std::string::npos) << e.err;
    EXPECT_EQ(e.out, "demo firmware\r\n");
    EXPECT_TRUE(fs::exists(d / "sub" / "board" / "board.txt"));
    EXPECT_NE(slurp(d / "sub" / "t.jsonl").find("\"type\":\"summary\""), std::string::npos);
}

}  // namespace
